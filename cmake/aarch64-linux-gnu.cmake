# Cross build for 64-bit ARM Linux (a Raspberry Pi with a 64-bit Debian) with Debian's aarch64
# cross compiler. Libraries and headers come from the arm64 packages of the same machine
# (multiarch: libgtest-dev:arm64, libasound2-dev:arm64, ...), which the compiler finds in
# /usr/lib/aarch64-linux-gnu and /usr/include/aarch64-linux-gnu by itself.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(CMAKE_LIBRARY_ARCHITECTURE aarch64-linux-gnu)

set(CMAKE_C_COMPILER aarch64-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++)
# The wrapper that answers with the arm64 packages' .pc files.
set(PKG_CONFIG_EXECUTABLE aarch64-linux-gnu-pkg-config CACHE FILEPATH "")

# Tests and the programs they compare run under user-mode emulation; the arm64 loader and C
# library are the machine's own multiarch ones, so qemu needs no separate root.
find_program(QVX_QEMU_AARCH64 qemu-aarch64 REQUIRED)
set(CMAKE_CROSSCOMPILING_EMULATOR ${QVX_QEMU_AARCH64})

# Debian's multiarch library folder, as the arm64 packages install theirs. GNUInstallDirs picks
# it for native builds only; a plain variable here also outranks a folder cached before.
set(CMAKE_INSTALL_LIBDIR lib/${CMAKE_LIBRARY_ARCHITECTURE})
