#!/usr/bin/env bash
# Builds the programs and runs them on simulated hardware. With a display (DISPLAY set) it
# starts the desktop program qvx over a copy of the delivered configuration: COM1 is a
# simulated infrared receiver and transmitter (sim:ir) whose remote presses a key of the
# delivered devices whenever a recording starts, COM2 a simulated CM11 X10 interface
# (sim:cm11), and no other port exists. Without a display it serves the web remote instead:
# lighttpd on loopback with the web and WAP gateways over the same simulated ports
# (QVX_WEB_PORT chooses the port, default 8080). Stop either with Ctrl-C.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh release
bin=$PWD/build/release/bin

# Only the simulated ports exist; nothing opens the machine's own serial devices.
ports=(QVX_COM1=sim:ir QVX_COM2=sim:cm11)
for n in $(seq 3 30); do ports+=("QVX_COM$n=sim:absent"); done

prepare() {
  rm -rf "$1"
  mkdir -p "$1"
  cp "$bin/pelgrin.cfg" "$1/pelgrin.cfg"
  # The simulated CM11 gets a port of its own instead of sharing the infrared one.
  "$bin/qvxctl" --config "$1/pelgrin.cfg" set X10COM 2 >/dev/null
}

if [ -n "${DISPLAY:-}" ]; then
  work=$PWD/build/desktop-demo
  prepare "$work"
  echo "Starting qvx on simulated hardware (configuration: $work/pelgrin.cfg)."
  echo "Select VCR and press Record: the simulated remote presses VCR Pause, which Save stores;"
  echo "Send then transmits it. Each further Record presses the next key (VCR Play, TV Mute,"
  echo "Amp Vol+). X10&Lamp switches the simulated CM11."
  # The virtual clock makes the simulated receiver's timing exact: with the delivered
  # PROCDELAY a sample lasts the 55 us the decoders expect, whatever the machine's load.
  exec env "${ports[@]}" QVX_SIM_CLOCK=virtual QVX_AUDIO_DEVICE=none \
    "$bin/qvx" --config "$work/pelgrin.cfg"
fi

echo "No display (DISPLAY is not set): serving the web remote instead of starting qvx."
work=$PWD/build/web-remote
prepare "$work/www"
port=${QVX_WEB_PORT:-8080}
echo "Devices of the demonstration configuration:"
"$bin/qvxctl" --config "$work/www/pelgrin.cfg" devices | sed 's/^/  /'
echo
echo "Web remote:  http://127.0.0.1:$port/qvxweb.cgi"
echo "WAP deck:    http://127.0.0.1:$port/qvxwap.cgi"
echo "(Ctrl-C stops the server)"
exec scripts/serve-gateways.sh "$bin" "$work" "$port" "${ports[@]}" QVX_AUDIO_DEVICE=none
