#!/usr/bin/env bash
# Builds the programs and starts the web remote on simulated hardware: lighttpd on loopback
# serves the web and WAP gateways over a copy of the delivered configuration, with the infrared
# port on a simulated transmitter (sim:ir) and the X10 interface on a simulated CM11 (sim:cm11).
# QVX_WEB_PORT chooses the port (default 8080). Stop it with Ctrl-C.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh release
bin=$PWD/build/release/bin
work=$PWD/build/web-remote
port=${QVX_WEB_PORT:-8080}

rm -rf "$work"
mkdir -p "$work/www"
cp "$bin/pelgrin.cfg" "$work/www/pelgrin.cfg"
# The simulated CM11 gets a port of its own instead of sharing the infrared one.
"$bin/qvxctl" --config "$work/www/pelgrin.cfg" set X10COM 2

echo "Devices of the demonstration configuration:"
"$bin/qvxctl" --config "$work/www/pelgrin.cfg" devices | sed 's/^/  /'
echo
echo "Web remote:  http://127.0.0.1:$port/qvxweb.cgi"
echo "WAP deck:    http://127.0.0.1:$port/qvxwap.cgi"
echo "(Ctrl-C stops the server)"
exec scripts/serve-gateways.sh "$bin" "$work" "$port" \
  QVX_COM1=sim:ir QVX_COM2=sim:cm11 QVX_AUDIO_DEVICE=none
