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
    # The server belongs to the prefix's directory, so that comes first; a server left by an
    # earlier run that was cut off is ended, as only one can serve the prefix.
    mkdir -p "$WINEPREFIX"
    "$server" -k 2>/dev/null || true
    # The server and wine's own services outlive this script: they must not hold its output
    # open, which a caller (ctest) waits on.
    "$server" -p </dev/null >/dev/null 2>&1
    log="$WINEPREFIX/start.log"
    if ! "$here/scripts/wine-run.sh" cmd.exe /c exit 0 </dev/null >"$log" 2>&1; then
      cat "$log" >&2
      exit 1
    fi
    ;;
  stop) "$server" -k || true ;;
  *) echo "usage: $0 start|stop" >&2; exit 2 ;;
esac
