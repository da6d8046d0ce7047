# Cross build for 32-bit Windows with Debian's mingw-w64 toolchain: the only Windows code in
# which the Windows API calling convention (the callee removes its arguments) differs from the C
# one, and the only Pulsio.dll a 32-bit host can load.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(QVX_MINGW_PREFIX i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
