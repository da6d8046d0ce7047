#!/usr/bin/env bash
# Configures and builds one variant: "release" (default), "asan" (Address+UB sanitizers),
# "windows" (64-bit Windows programs with the mingw-w64 cross compiler; tests run under wine) or
# "windows32" (the 32-bit Pulsio.dll and the tests of its interface, under wine's 32-bit half).
set -euo pipefail
cd "$(dirname "$0")/.."
variant=${1:-release}
case "$variant" in
  release) flags=(-DCMAKE_BUILD_TYPE=RelWithDebInfo) ;;
  asan) flags=(-DCMAKE_BUILD_TYPE=Debug -DQVX_SANITIZE=ON) ;;
  windows) flags=(-DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake) ;;
  windows32) flags=(-DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-i686.cmake
                    -DQVX_PULSIO_ONLY=ON) ;;
  *) echo "unknown build variant: $variant" >&2; exit 2 ;;
esac
werror=OFF
[ "${CI:-}" = true ] && werror=ON
cmake -S . -B "build/$variant" -G Ninja -DQVX_WERROR="$werror" "${flags[@]}" >/dev/null
cmake --build "build/$variant"
