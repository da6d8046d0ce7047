#!/usr/bin/env bash
# Every cell of the real-clock monitoring benchmark: taps of real remotes on the simulated
# receiver, watched by a qvxctl monitor process as root and as a plain user, each on the machine
# as it is and beside a busy loop on every core, for this tree's qvxctl and for the one of commit
# 182f8e5 (before the light gate), printed side by side. Run it as root on a quiet machine; with
# the default 24 taps per family a cell takes about two minutes, the whole run about 17.
#
#   bash bench/monitor/run.sh [--taps N] [--port TARGET] [--user NAME]
#
# --taps N        taps per remote family (NEC, SONY 12, SONY 15, RC5), half short, half long
# --port TARGET   the receiver COM1 maps to (sim:ir; a kernel infrared device's simulated peer)
# --user NAME     the unprivileged user (made with useradd when missing; default qvxbench)
# BASELINE_QVXCTL=PATH takes that qvxctl for the earlier figures instead of building 182f8e5.
set -euo pipefail
cd "$(dirname "$0")/../.."
root=$PWD
taps=24
port=sim:ir
user=qvxbench
baseline_commit=182f8e5
while [ $# -gt 0 ]; do
  case "$1" in
    --taps) taps=$2; shift 2 ;;
    --port) port=$2; shift 2 ;;
    --user) user=$2; shift 2 ;;
    *) echo "unknown option $1" >&2; exit 2 ;;
  esac
done
if [ "$(id -u)" != 0 ]; then
  echo "run.sh runs cells as root and as $user, so it must run as root" >&2
  exit 2
fi

echo "== building"
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
nice cmake --build build/release --target qvxctl bench_monitor_taps >/dev/null
after=$root/build/release/bin/qvxctl
bench=$root/build/release/bin/bench_monitor_taps
before=${BASELINE_QVXCTL:-$root/build/baseline-$baseline_commit/bin/qvxctl}
if [ ! -x "$before" ]; then
  src=$(mktemp -d /tmp/qvx-baseline.XXXXXX)
  git worktree add --detach "$src" "$baseline_commit" >/dev/null
  cmake -S "$src" -B "build/baseline-$baseline_commit" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  nice cmake --build "build/baseline-$baseline_commit" --target qvxctl >/dev/null
  git worktree remove --force "$src"
fi

id -u "$user" >/dev/null 2>&1 || useradd --system --no-create-home --shell /usr/sbin/nologin "$user"

load_pids=()
start_load() {
  for _ in $(seq "$(nproc)"); do
    bash -c 'while :; do :; done' &
    load_pids+=($!)
  done
}
stop_load() {
  for pid in "${load_pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${load_pids[@]}"; do wait "$pid" 2>/dev/null || true; done
  load_pids=()
}
trap stop_load EXIT

log=$(mktemp /tmp/bench_monitor_run.XXXXXX)
echo "== machine: $(nproc) cores, $(uname -r), load before: $(cut -d' ' -f1-3 /proc/loadavg)"
for who in root user; do
  for load in quiet busy; do
    [ "$load" = busy ] && start_load
    for version in before after; do
      qvxctl=$after
      [ "$version" = before ] && qvxctl=$before
      args=(--qvxctl "$qvxctl" --taps "$taps" --port "$port" --label "$version/$who/$load")
      if [ "$who" = root ]; then
        "$bench" "${args[@]}" | tee -a "$log"
      else
        runuser -u "$user" -- "$bench" "${args[@]}" | tee -a "$log"
      fi
    done
    [ "$load" = busy ] && stop_load
  done
done
echo "== load after: $(cut -d' ' -f1-3 /proc/loadavg)"

echo
echo "== side by side: taps named right once / fired twice / named wrong / lost, of all taps;"
echo "   the idle monitor's share of a core; median latency from a tap's first frame end, ms"
printf '%-22s | %-36s | %-36s\n' "" "before ($baseline_commit)" "after (this tree)"
printf '%-22s | %5s %5s %5s %5s %6s %6s | %5s %5s %5s %5s %6s %6s\n' cell \
  right twice wrong lost idle% lat right twice wrong lost idle% lat
for who in root user; do
  for load in quiet busy; do
    line=$(printf '%-22s' "$who, $([ "$load" = busy ] && echo 'busy loop' || echo quiet)")
    for version in before after; do
      result=$(grep "^RESULT $version/$who/$load " "$log" | tail -1)
      field() { sed -n "s/.* $1=\([^ ]*\).*/\1/p" <<<"$result"; }
      line+=$(printf ' | %2s/%-2s %5s %5s %5s %6s %6s' "$(field right)" "$(field taps)" \
        "$(field twice)" "$(field wrong)" "$(field lost)" "$(field idle)" "$(field latmed)")
    done
    echo "$line"
  done
done
rm -f "$log"
