#!/usr/bin/env bash
# The web remote's first page (no send) against a minimal C CGI program printing a page of the
# same size, both started by lighttpd's mod_cgi on loopback and loaded with wrk, in one run:
# requests per second, p50 and p99 latency, the cost ratio, the peak memory of one request and
# the number of shared libraries each program loads (its start-up cost).
#   bench/gateway/run.sh [SECONDS_PER_TARGET] [CONNECTIONS]
set -euo pipefail
cd "$(dirname "$0")/../.."
seconds=${1:-10}
connections=${2:-2}
target_ratio=1.5

for tool in wrk /usr/bin/time /usr/sbin/lighttpd; do
  command -v "$tool" >/dev/null || { echo "$tool is missing: run scripts/install-deps.sh" >&2; exit 1; }
done
scripts/build.sh release >/dev/null
bin=build/release/bin

# A loopback port nobody answers on.
port=0
for _ in $(seq 50); do
  candidate=$((20000 + RANDOM % 40000))
  if ! (exec 3<>"/dev/tcp/127.0.0.1/$candidate") 2>/dev/null; then port=$candidate; break; fi
done
[ "$port" != 0 ] || { echo "no free loopback port" >&2; exit 1; }

work=$(mktemp -d)
server=0
cleanup() {
  if [ "$server" != 0 ]; then kill "$server" 2>/dev/null || true; wait "$server" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

environment=(QVX_COM1=sim:ir QVX_SIM_CLOCK=virtual QVX_AUDIO_DEVICE=none)
mkdir -p "$work/www"
cp "$bin/minimal.cgi" "$work/www/"
scripts/serve-gateways.sh "$bin" "$work" "$port" "${environment[@]}" &
server=$!
for _ in $(seq 200); do
  (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null && break
  sleep 0.05
done

# Latency text of wrk ("812.00us", "1.20ms", "2.00s") in milliseconds.
to_ms() {
  awk -v v="$1" 'BEGIN {
    n = v + 0
    if (v ~ /us$/) n /= 1000; else if (v ~ /ms$/) n += 0; else if (v ~ /s$/) n *= 1000
    printf "%.3f", n }'
}

declare -A rps p50 p99 rss libs
measure() {
  local name=$1 url=$2 output status
  status=$( (exec 3<>"/dev/tcp/127.0.0.1/$port"; printf 'GET %s HTTP/1.0\r\nHost: 127.0.0.1\r\n\r\n' "$url" >&3; head -c 12 <&3) 2>/dev/null || true)
  [[ $status == "HTTP/1.0 200" ]] || { echo "$url does not answer 200: $status" >&2; exit 1; }
  output=$(wrk -t1 -c"$connections" -d"${seconds}s" --latency "http://127.0.0.1:$port$url")
  if grep -q 'Non-2xx' <<<"$output"; then echo "$output" >&2; exit 1; fi
  rps[$name]=$(awk '/^Requests\/sec:/ {print $2}' <<<"$output")
  p50[$name]=$(to_ms "$(awk '$1 == "50%" {print $2}' <<<"$output")")
  p99[$name]=$(to_ms "$(awk '$1 == "99%" {print $2}' <<<"$output")")
  # One request as the server runs it: its CGI environment only, in the served directory.
  rss[$name]=$(cd "$work/www" && env -i "${environment[@]}" REQUEST_METHOD=GET \
    SCRIPT_NAME="$url" GATEWAY_INTERFACE=CGI/1.1 SERVER_PROTOCOL=HTTP/1.1 \
    /usr/bin/time -f %M ".$url" 2>&1 >/dev/null | tail -1)
  libs[$name]=$(ldd "$work/www$url" | grep -c '=>' || true)
}

measure minimal /minimal.cgi
measure qvxweb /qvxweb.cgi

echo "wrk: ${seconds} s per target, ${connections} connections, lighttpd mod_cgi on 127.0.0.1:$port"
printf '%-14s %12s %10s %10s %14s %12s\n' target requests/s p50_ms p99_ms peak_rss_KiB shared_libs
for name in minimal qvxweb; do
  printf '%-14s %12.1f %10.3f %10.3f %14d %12d\n' "$name.cgi" "${rps[$name]}" "${p50[$name]}" \
    "${p99[$name]}" "${rss[$name]}" "${libs[$name]}"
done
awk -v m="${rps[minimal]}" -v q="${rps[qvxweb]}" -v pm="${p50[minimal]}" -v pq="${p50[qvxweb]}" \
    -v target="$target_ratio" 'BEGIN {
  ratio = m / q
  printf "cost ratio qvxweb/minimal: %.2f by requests per second, %.2f by p50 (target <= %.1f): %s\n",
         ratio, pq / pm, target, ratio <= target ? "met" : "NOT met" }'
