#!/usr/bin/env bash
# start: makes the private wine prefix of the Windows build (the first time only; it takes a
# while) and keeps one wine server running, so each Windows test process starts quickly.
# stop: ends that server. WINEPREFIX as in wine-run.sh.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
export WINEPREFIX="${WINEPREFIX:-$here/build/windows/wineprefix}"
export WINEDEBUG="${WINEDEBUG:--all}"
server=/usr/lib/wine/wineserver
[ -x "$server" ] || server=$(command -v wineserver64 || command -v wineserver)
case "${1:-}" in
  start)
    "$here/scripts/wine-run.sh" cmd.exe /c exit 0 >/dev/null 2>&1 || true
    "$server" -p
    "$here/scripts/wine-run.sh" cmd.exe /c exit 0
    ;;
  stop) "$server" -k || true ;;
  *) echo "usage: $0 start|stop" >&2; exit 2 ;;
esac
