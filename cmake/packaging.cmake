# The installed files of the two Debian packages, and CPack's settings for them
# (scripts/package.sh builds them into build/package/):
#   qvx-tools  everything a headless machine needs: qvxctl, Pulsio, the gateways, the shipped
#              default configuration and port map, the user unit of qvxctl monitor, the udev
#              rule of the kernel infrared devices
#   qvx        the desktop program with its icons, manual and desktop entry, and the user unit
#              that serves the gateways in the desktop session; needs qvx-tools
# The layout is in install_layout.cmake.

install(FILES data/pelgrin.cfg data/ports.cfg DESTINATION ${QVX_DATA_INSTALL_DIR} COMPONENT tools)
install(FILES data/qvx-monitor.service DESTINATION lib/systemd/user COMPONENT tools)
install(FILES data/70-qvx-infrared.rules DESTINATION lib/udev/rules.d COMPONENT tools)
install(FILES README.md DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/qvx-tools COMPONENT tools)

# The gateways read pelgrin.cfg and ports.cfg of their own folder; installed, those are links
# to the administrator's files in etc/qvx, which start as the shipped defaults.
install(FILES data/pelgrin.cfg data/ports.cfg DESTINATION ${QVX_SYSCONF_INSTALL_DIR} COMPONENT tools)
set(QVX_GATEWAY_LINKS ${CMAKE_BINARY_DIR}/gateway-links)
file(MAKE_DIRECTORY ${QVX_GATEWAY_LINKS})
foreach(name pelgrin.cfg ports.cfg)
  file(CREATE_LINK ${QVX_SYSCONF_FROM_CGI}/${name} ${QVX_GATEWAY_LINKS}/${name} SYMBOLIC)
  install(FILES ${QVX_GATEWAY_LINKS}/${name} DESTINATION ${QVX_CGI_INSTALL_DIR} COMPONENT tools)
endforeach()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME qvx)
set(CPACK_PACKAGE_VENDOR "Zarvel Rezoru Zazudaz")
set(CPACK_PACKAGE_CONTACT "Zarvel Rezoru Zazudaz maintainers <maintainers@qvx.invalid>")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_ENABLE_COMPONENT_DEPENDS ON)
# The C library, the C++ runtime and Qt come from dpkg-shlibdeps. The programs' own libraries
# are found in the build, so that it does not look for a package that holds them.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${CMAKE_BINARY_DIR}/bin)
if(CMAKE_CROSSCOMPILING AND CMAKE_SYSTEM_PROCESSOR STREQUAL aarch64)
  set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE arm64)
endif()

set(CPACK_COMPONENTS_ALL tools)
set(CPACK_DEBIAN_TOOLS_PACKAGE_NAME qvx-tools)
set(CPACK_COMPONENT_TOOLS_DESCRIPTION
  "PC infrared remote control: command-line tool, gateways, port library
Learns the codes of NEC, SONY and RC5 remote controls through a receiver on a serial port,
keeps them per device in pelgrin.cfg, sends them again through a transmitter, and in
monitoring mode turns received keys into actions: X10 powerline switching, programs and
sounds, the media player, an infrared dimmer.

This package holds what a machine without a desktop needs: qvxctl (lists, sends, learns,
decodes and monitors, also as a systemd user service), the web and WAP gateways for a web
server's CGI folder, and libpulsio, the library for microsecond timing on the port lines.")
# The desktop's audio, player and input services are opened when first used; without them
# beeps are silent and those outputs report their failure.
set(CPACK_DEBIAN_TOOLS_PACKAGE_RECOMMENDS "libasound2")
set(CPACK_DEBIAN_TOOLS_PACKAGE_SUGGESTS "lighttpd | httpd-cgi, mpv, libdbus-1-3, libxtst6")
configure_file(${CMAKE_SOURCE_DIR}/cmake/debian/tools.postinst
  ${CMAKE_BINARY_DIR}/debian-tools/postinst COPYONLY)
file(WRITE ${CMAKE_BINARY_DIR}/debian-tools/conffiles
  "${QVX_SYSCONF_INSTALL_DIR}/pelgrin.cfg\n${QVX_SYSCONF_INSTALL_DIR}/ports.cfg\n")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_TOOLS_PACKAGE_CONTROL_EXTRA
  ${CMAKE_BINARY_DIR}/debian-tools/postinst ${CMAKE_BINARY_DIR}/debian-tools/conffiles)

if(TARGET qvx)
  install(FILES data/qvx-web.service DESTINATION lib/systemd/user COMPONENT desktop)
  install(PROGRAMS scripts/serve-gateways.sh DESTINATION ${QVX_DATA_INSTALL_DIR} COMPONENT desktop)
  list(APPEND CPACK_COMPONENTS_ALL desktop)
  set(CPACK_DEBIAN_DESKTOP_PACKAGE_NAME qvx)
  set(CPACK_COMPONENT_DESKTOP_DEPENDS tools)
  set(CPACK_COMPONENT_DESKTOP_DESCRIPTION
    "PC infrared remote control: desktop program
Learns the codes of NEC, SONY and RC5 remote controls through a receiver on a serial port,
keeps them per device in pelgrin.cfg, sends them again through a transmitter, and in
monitoring mode turns received remote keys and Bluetooth phone keys into actions.

This package holds the desktop program qvx, its menu entry, icons and manual, and a user
service that serves the web and WAP gateways from the desktop session.")
  # Qt finds its X11 platform only in this package, which its libraries merely recommend.
  set(CPACK_DEBIAN_DESKTOP_PACKAGE_DEPENDS "qt6-qpa-plugins")
  set(CPACK_DEBIAN_DESKTOP_PACKAGE_RECOMMENDS "libasound2, libdbus-1-3, libxtst6")
  set(CPACK_DEBIAN_DESKTOP_PACKAGE_SUGGESTS "mpv, vlc, lighttpd")
endif()

include(CPack)
