#!/usr/bin/env bash
# Installs what is needed, then builds and tests the variants: plain and with sanitizers, the
# Windows programs (cross-built, tested under wine and against the plain Linux build) and the
# 64-bit ARM programs without the desktop (cross-built, tested under qemu and against the plain
# Linux build) and the 32-bit Pulsio.dll (under wine's 32-bit half).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
status=0
for variant in release asan windows windows32 aarch64; do
  echo "== $variant build"
  scripts/build.sh "$variant"
  ctest --test-dir "build/$variant" --output-on-failure -j2 || status=1
done
exit $status
