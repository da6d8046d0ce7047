#!/usr/bin/env bash
# Runs a Windows program under wine: the emulator of the Windows build (CMake runs the tests
# through it). The prefix is private to the build (WINEPREFIX, default build/windows/wineprefix)
# and nothing needs a display; wine's own messages are off.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
export WINEPREFIX="${WINEPREFIX:-$here/build/windows/wineprefix}"
export WINEDEBUG="${WINEDEBUG:--all}"
# No Mono or Gecko installer prompts when the prefix is made.
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
wine=/usr/lib/wine/wine64
[ -x "$wine" ] || wine=$(command -v wine64 || command -v wine)
exec "$wine" "$@"
