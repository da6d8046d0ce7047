#!/usr/bin/env bash
# Every cell of the real-clock monitoring benchmark: taps of real remotes on the simulated
# receiver, watched by a qvxctl monitor process as root and as a plain user, each on the machine
# as it is and beside a busy loop on every core, for this tree's qvxctl and for the one of an
# earlier commit (--baseline), printed side by side with the machine's load. Run it as root on a
# quiet machine; with the default 12 taps per family a cell takes about 66 s, the eight cells
# about 9 minutes (building the earlier commit the first time comes on top).
#
#   bash bench/monitor/run.sh [--taps N] [--idle-s S] [--port TARGET] [--user NAME] [--baseline REV]
#
# --taps N        taps per remote family (NEC, SONY 12, SONY 15, RC5), half short, half long
# --idle-s S      seconds before the first tap, over which the idle monitor is measured (6)
# --port TARGET   the receiver COM1 maps to (sim:ir; a kernel infrared device's simulated peer)
# --user NAME     the unprivileged user (made with useradd when missing; default qvxbench)
# --baseline REV  the commit of the earlier figures (182f8e5, before the light gate)
# BASELINE_QVXCTL=PATH takes that qvxctl for the earlier figures instead of building REV.
set -euo pipefail
cd "$(dirname "$0")/../.."
root=$PWD
taps=12
idle_s=6
port=sim:ir
user=qvxbench
baseline_commit=182f8e5
while [ $# -gt 0 ]; do
  case "$1" in
    --taps) taps=$2; shift 2 ;;
    --idle-s) idle_s=$2; shift 2 ;;
    --port) port=$2; shift 2 ;;
    --user) user=$2; shift 2 ;;
    --baseline) baseline_commit=$2; shift 2 ;;
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
command="bash bench/monitor/run.sh --taps $taps --idle-s $idle_s --port $port --user $user --baseline $baseline_commit"
echo "== $command"
echo "== machine: $(nproc) cores, $(uname -r); before: $(uptime)"
for who in root user; do
  for load in quiet busy; do
    [ "$load" = busy ] && start_load
    for version in before after; do
      qvxctl=$after
      [ "$version" = before ] && qvxctl=$before
      label=$version/$who/$load
      args=(--qvxctl "$qvxctl" --taps "$taps" --idle-s "$idle_s" --port "$port" --label "$label")
      if [ "$who" = root ]; then
        "$bench" "${args[@]}" | tee -a "$log"
      else
        runuser -u "$user" -- "$bench" "${args[@]}" | tee -a "$log"
      fi
      # The 1-minute load average at a cell's end stands for the load the cell ran under (the
      # busy loop's own share included).
      echo "LOAD $label $(cut -d' ' -f1 /proc/loadavg)" >>"$log"
    done
    [ "$load" = busy ] && stop_load
  done
done
echo "== after: $(uptime)"

echo
echo "== side by side: taps named right once (of all) / fired twice / named wrong / lost;"
echo "   the idle monitor's share of a core, %; median latency from a tap's first frame end"
echo "   to the executor, ms; the 1-minute load average at the cell's end"
printf '%-16s | %-42s | %-42s\n' "" "before ($baseline_commit)" "after (this tree)"
printf '%-16s | %7s %5s %5s %4s %6s %5s %5s | %7s %5s %5s %4s %6s %5s %5s\n' cell \
  right twice wrong lost idle lat load right twice wrong lost idle lat load
for who in root user; do
  for load in quiet busy; do
    line=$(printf '%-16s' "$who, $([ "$load" = busy ] && echo 'busy loop' || echo quiet)")
    for version in before after; do
      result=$(grep "^RESULT $version/$who/$load " "$log" | tail -1)
      field() { sed -n "s/.* $1=\([^ ]*\).*/\1/p" <<<"$result"; }
      cellLoad=$(sed -n "s|^LOAD $version/$who/$load ||p" "$log" | tail -1)
      line+=$(printf ' | %7s %5s %5s %4s %6s %5s %5s' "$(field right)/$(field taps)" \
        "$(field twice)" "$(field wrong)" "$(field lost)" "$(field idle)" "$(field latmed)" \
        "$cellLoad")
    done
    echo "$line"
  done
done
echo
echo "== to run it again: $command"
rm -f "$log"
