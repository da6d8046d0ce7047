#!/usr/bin/env bash
# Configures and builds one variant: "release" (default), "asan" (Address+UB sanitizers),
# "windows" (64-bit Windows programs with the mingw-w64 cross compiler; tests run under wine) or
# "windows32" (the 32-bit Pulsio.dll and the tests of its interface, under wine's 32-bit half) or
# "aarch64" (the programs without the desktop for 64-bit ARM Linux, a Raspberry Pi, with
# Debian's cross compiler; tests run under qemu).
set -euo pipefail
cd "$(dirname "$0")/.."
variant=${1:-release}
# The Linux builds install under /usr, as the Debian packages do (scripts/package.sh).
case "$variant" in
  release) flags=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_INSTALL_PREFIX=/usr) ;;
  asan) flags=(-DCMAKE_BUILD_TYPE=Debug -DQVX_SANITIZE=ON -DCMAKE_INSTALL_PREFIX=/usr) ;;
  windows) flags=(-DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake) ;;
  windows32) flags=(-DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-i686.cmake
                    -DQVX_PULSIO_ONLY=ON) ;;
  aarch64) flags=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_TOOLCHAIN_FILE=cmake/aarch64-linux-gnu.cmake
                  -DQVX_DESKTOP=OFF -DCMAKE_INSTALL_PREFIX=/usr) ;;
  *) echo "unknown build variant: $variant" >&2; exit 2 ;;
esac
werror=OFF
[ "${CI:-}" = true ] && werror=ON
cmake -S . -B "build/$variant" -G Ninja -DQVX_WERROR="$werror" "${flags[@]}" >/dev/null
cmake --build "build/$variant"
