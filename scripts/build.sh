#!/usr/bin/env bash
# Configures and builds one variant: "release" (default) or "asan" (Address+UB sanitizers).
set -euo pipefail
cd "$(dirname "$0")/.."
variant=${1:-release}
case "$variant" in
  release) flags=(-DCMAKE_BUILD_TYPE=RelWithDebInfo) ;;
  asan) flags=(-DCMAKE_BUILD_TYPE=Debug -DQVX_SANITIZE=ON) ;;
  *) echo "unknown build variant: $variant" >&2; exit 2 ;;
esac
werror=OFF
[ "${CI:-}" = true ] && werror=ON
cmake -S . -B "build/$variant" -G Ninja -DQVX_WERROR="$werror" "${flags[@]}" >/dev/null
cmake --build "build/$variant"
