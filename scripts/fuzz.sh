#!/usr/bin/env bash
# Builds the fuzz targets (clang-14, libFuzzer, ASan and UBSan in build/fuzz) and runs each for
# SECONDS (default 60) over a copy of its seed corpus in fuzz/corpus, two at a time.
#   scripts/fuzz.sh [SECONDS] [TARGET...]     targets: fuzz_config fuzz_cgi fuzz_recording
#                                             fuzz_cm11 fuzz_phone (default all)
# FUZZ_TIMEOUT (seconds, default 1) makes a slower input a hang; FUZZ_RSS_MB (default 2048)
# caps memory. Fails, naming the reproducer, when a target finds a crash, hang, leak or
# sanitizer report; prints executions, seconds and executions per second of every run.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
shift || true
targets=("$@")
((${#targets[@]})) || targets=(fuzz_config fuzz_cgi fuzz_recording fuzz_cm11 fuzz_phone)
timeout_s=${FUZZ_TIMEOUT:-1}
rss_mb=${FUZZ_RSS_MB:-2048}

werror=OFF
[ "${CI:-}" = true ] && werror=ON
CC=clang-14 CXX=clang++-14 cmake -S . -B build/fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DQVX_FUZZ=ON -DQVX_WERROR="$werror" >/dev/null
cmake --build build/fuzz --target "${targets[@]}" -j2

runs=build/fuzz/runs
# The committed seeds stay as they are: each run grows a copy.
run_one() {
  local target=$1 dir="$runs/$1"
  rm -rf "$dir"
  mkdir -p "$dir/corpus"
  cp fuzz/corpus/"$target"/* "$dir/corpus/"
  local status=0
  "build/fuzz/bin/$target" -max_total_time="$seconds" -timeout="$timeout_s" \
    -rss_limit_mb="$rss_mb" -print_final_stats=1 -artifact_prefix="$dir/" \
    "$dir/corpus" >"$dir/log" 2>&1 || status=$?
  echo "$status" >"$dir/status"
}

for target in "${targets[@]}"; do
  [ -d "fuzz/corpus/$target" ] || { echo "no such fuzz target: $target" >&2; exit 2; }
done
for target in "${targets[@]}"; do
  # Two targets at a time: one per core.
  while (($(jobs -rp | wc -l) >= 2)); do wait -n || true; done
  echo "== $target: ${seconds}s"
  run_one "$target" &
done
wait

failed=0
printf '%-16s %12s %8s %10s\n' target executions seconds exec/s
for target in "${targets[@]}"; do
  dir="$runs/$target"
  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$dir/log" | tail -1)
  took=$(sed -n 's/^Done [0-9]* runs in \([0-9]*\) second.*/\1/p' "$dir/log" | tail -1)
  if [ -n "$execs" ] && [ -n "$took" ] && ((took > 0)); then
    printf '%-16s %12s %8s %10s\n' "$target" "$execs" "$took" $((execs / took))
  else
    printf '%-16s %12s %8s %10s\n' "$target" "${execs:--}" "${took:--}" -
  fi
  if [ "$(cat "$dir/status")" != 0 ]; then
    failed=1
    reproducer=$(ls "$dir"/crash-* "$dir"/timeout-* "$dir"/leak-* "$dir"/oom-* 2>/dev/null | head -1 || true)
    echo "$target found a fault; reproducer: ${reproducer:-none written}, log: $dir/log" >&2
    grep -m3 -E 'ERROR|invariant broken|SUMMARY' "$dir/log" >&2 || true
  fi
done
exit $failed
