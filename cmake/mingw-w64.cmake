# What both Windows cross builds share; the including toolchain file sets QVX_MINGW_PREFIX and
# CMAKE_SYSTEM_PROCESSOR. Debian's mingw-w64 posix thread model, which std::thread and std::mutex
# need. Programs are linked statically, so they run on a Windows PC that has none of the
# toolchain's libraries.
set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_C_COMPILER ${QVX_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QVX_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${QVX_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${QVX_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Tests and programs built here run through wine (scripts/wine-run.sh sets up its prefix).
find_program(QVX_WINE_RUN NAMES wine-run.sh PATHS ${CMAKE_CURRENT_LIST_DIR}/../scripts NO_DEFAULT_PATH)
set(CMAKE_CROSSCOMPILING_EMULATOR ${QVX_WINE_RUN})
