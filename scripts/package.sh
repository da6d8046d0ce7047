#!/usr/bin/env bash
# Builds the Debian packages with CPack into build/package/:
#   package.sh            qvx and qvx-tools for this machine, from the release build
#   package.sh aarch64    qvx-tools for arm64, from the cross build
# Each builds its variant first (scripts/build.sh), which does nothing when it is up to date.
set -euo pipefail
cd "$(dirname "$0")/.."
variant=${1:-release}
case "$variant" in
  release | aarch64) ;;
  *) echo "usage: $0 [release|aarch64]" >&2; exit 2 ;;
esac
scripts/build.sh "$variant"
mkdir -p build/package
staging=$(mktemp -d build/package/staging.XXXXXX)
trap 'rm -rf "$staging"' EXIT
cpack --config "build/$variant/CPackConfig.cmake" -B "$staging" >"$staging/cpack.log" 2>&1 ||
  { cat "$staging/cpack.log" >&2; exit 1; }
for deb in "$staging"/*.deb; do
  mv -f "$deb" build/package/
  echo "build/package/$(basename "$deb")"
done
