# The installed layout, relative to the prefix (/usr for the Debian packages):
#   bin/                       qvx, qvxctl
#   lib/<triplet>/             libpulsio.so.1, the library other hosts load
#   lib/<triplet>/qvx/         libqvx_registry.so, private to the programs and Pulsio
#   lib/cgi-bin/qvx/           the gateways, where Debian's web servers look for CGI programs,
#                              with pelgrin.cfg and ports.cfg linked to the ones in etc/qvx
#   share/qvx/                 the shipped default pelgrin.cfg and ports.cfg, the icons, the manual
#   etc/qvx/ (/etc/qvx)        the gateways' configuration and port map, kept by the administrator
include(GNUInstallDirs)

set(QVX_DATA_INSTALL_DIR ${CMAKE_INSTALL_DATADIR}/qvx)
set(QVX_PRIVATE_LIB_INSTALL_DIR ${CMAKE_INSTALL_LIBDIR}/qvx)
set(QVX_CGI_INSTALL_DIR lib/cgi-bin/qvx)
set(QVX_SYSCONF_INSTALL_DIR ${CMAKE_INSTALL_FULL_SYSCONFDIR}/qvx)

# Paths from one installed folder to another, so that an installation works under any prefix
# (and under DESTDIR) without absolute paths compiled in.
function(qvx_install_relative variable from to)
  file(RELATIVE_PATH relative ${CMAKE_INSTALL_PREFIX}/${from} ${to})
  set(${variable} ${relative} PARENT_SCOPE)
endfunction()
qvx_install_relative(QVX_DATA_FROM_PROGRAM ${CMAKE_INSTALL_BINDIR}
  ${CMAKE_INSTALL_PREFIX}/${QVX_DATA_INSTALL_DIR})
qvx_install_relative(QVX_LIBDIR_FROM_PROGRAM ${CMAKE_INSTALL_BINDIR}
  ${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_LIBDIR})
qvx_install_relative(QVX_SYSCONF_FROM_CGI ${QVX_CGI_INSTALL_DIR} ${QVX_SYSCONF_INSTALL_DIR})

# Installed programs find the private registry, and Pulsio under any prefix; libpulsio finds the
# registry beside it.
set(CMAKE_INSTALL_RPATH
  "$ORIGIN/${QVX_LIBDIR_FROM_PROGRAM}/qvx" "$ORIGIN/${QVX_LIBDIR_FROM_PROGRAM}")
set(QVX_PULSIO_INSTALL_RPATH "$ORIGIN/qvx")
