#!/usr/bin/env bash
# Builds the programs and shows the delivered configuration through qvxctl.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh release
bin=build/release/bin
echo "Devices of $bin/pelgrin.cfg:"
"$bin/qvxctl" devices | while IFS= read -r device; do
  printf '  %s:' "$device"
  "$bin/qvxctl" commands "$device" | paste -sd, - | sed 's/^/ /'
done
