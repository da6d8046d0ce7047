#!/usr/bin/env bash
# The programs of another build (Windows under wine, 64-bit ARM under qemu) against the Linux
# build of this machine, for the same requests on the same configuration and simulated ports:
# the gateways' pages must be byte for byte the same, and qvxctl must print the same lines
# (CR LF on Windows) with the same exit status, write the same configuration file and send the
# same light on the simulated transmitter.
#   compare_linux.sh windows|aarch64 OTHER_BIN [LINUX_BIN]   (LINUX_BIN: build/release/bin)
set -uo pipefail
here="$(cd "$(dirname "$0")/../.." && pwd)"
kind=$1
other_bin=$2
linux_bin=${3:-${QVX_LINUX_BIN:-$here/build/release/bin}}
case "$kind" in
  windows)
    emulator=("$here/scripts/wine-run.sh")
    other_name() { echo "${1%.cgi}.exe"; }
    ctl_lines=crlf ;;
  aarch64)
    emulator=(qemu-aarch64)
    other_name() { echo "$1"; }
    ctl_lines=bytes ;;
  *) echo "usage: $0 windows|aarch64 OTHER_BIN [LINUX_BIN]" >&2; exit 2 ;;
esac
if [ ! -x "$linux_bin/qvxweb.cgi" ] || [ ! -x "$linux_bin/qvxctl" ]; then
  echo "no Linux build in $linux_bin (scripts/build.sh release makes it)"
  [ "${CI:-}" = true ] && exit 1
  exit 77
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
cases=0

# A fresh copy of the delivered configuration per run; the X10 interface on its own port.
fresh_config() {
  sed 's/^X10COM= 0/X10COM= 2/' "$here/data/pelgrin.cfg" >"$work/$1.cfg"
  echo "$work/$1.cfg"
}

# run SIDE NAME PROGRAM [ARGS...] with the request's environment already exported; leaves
# out/err/rc/capture files named after SIDE and NAME.
run() {
  local side=$1 name=$2 program=$3
  shift 3
  local base="$work/$name.$side"
  export QVX_CONFIG
  QVX_CONFIG=$(fresh_config "$name.$side")
  export QVX_SIM_CAPTURE="$base.capture"
  if [ "$side" = linux ]; then
    "$linux_bin/$program" "$@" <"$work/body" >"$base.out" 2>"$base.err"
  else
    "${emulator[@]}" "$other_bin/$(other_name "$program")" "$@" <"$work/body" >"$base.out" 2>"$base.err"
  fi
  echo $? >"$base.rc"
}

differs() {
  echo "FAIL $1: $2"
  failures=$((failures + 1))
}

compare() {
  local name=$1 crlf=$2
  cases=$((cases + 1))
  local l="$work/$name.linux" w="$work/$name.other"
  if [ "$crlf" = crlf ]; then
    sed 's/$/\r/' "$l.out" >"$l.expected"
  else
    cp "$l.out" "$l.expected"
  fi
  cmp -s "$l.expected" "$w.out" || { differs "$name" "output"; diff <(od -c "$l.expected") <(od -c "$w.out") | head -10; }
  cmp -s "$l.rc" "$w.rc" || differs "$name" "exit status $(cat "$l.rc") on Linux, $(cat "$w.rc") on $kind"
  cmp -s "$l.cfg" "$w.cfg" 2>/dev/null || differs "$name" "configuration file"
  if [ -e "$l.capture" ] || [ -e "$w.capture" ]; then
    cmp -s "$l.capture" "$w.capture" || differs "$name" "light sent on the simulated transmitter"
  fi
}

export QVX_COM1=sim:ir QVX_COM2=sim:cm11 QVX_SIM_CLOCK=virtual QVX_AUDIO_DEVICE=none
unset DISPLAY

# Gateway requests: method, query string, body.
gateway_case() {
  local name=$1 method=$2 query=$3 body=$4
  printf '%s' "$body" >"$work/body"
  for program in qvxweb qvxwap; do
    export REQUEST_METHOD=$method QUERY_STRING=$query CONTENT_LENGTH=${#body}
    export CONTENT_TYPE=application/x-www-form-urlencoded SCRIPT_NAME=/$program.cgi
    run linux "$program-$name" "$program.cgi"
    run other "$program-$name" "$program.cgi"
    compare "$program-$name" bytes
  done
}
gateway_case first GET "" ""
gateway_case load-web POST "" "DevList=VCR&CmdList=&LoadList=Load"
gateway_case load-wap POST "" "devlist=VCR&cmdlist=&sendcmd=xxx"
gateway_case send-web POST "" "DevList=TV&CmdList=Power&SendCmd=Send"
gateway_case send-wap POST "" "devlist=TV&cmdlist=Power&sendcmd=send"
gateway_case x10 POST "" "DevList=X10%26Lamp&CmdList=On&SendCmd=Send&devlist=X10%26Lamp&cmdlist=On&sendcmd=send"
gateway_case query GET "DevList=Amp&devlist=Amp" ""
gateway_case bad-escape POST "" "DevList=%4G&devlist=%4G"
gateway_case short-body POST "" "DevList=TV&CmdList=Pow"
unset REQUEST_METHOD QUERY_STRING CONTENT_LENGTH CONTENT_TYPE SCRIPT_NAME

# qvxctl verbs.
printf '' >"$work/body"
ctl_case() {
  local name=$1
  shift
  run linux "qvxctl-$name" qvxctl "$@"
  run other "qvxctl-$name" qvxctl "$@"
  compare "qvxctl-$name" "$ctl_lines"
}
ctl_case devices devices
ctl_case commands commands TV
ctl_case code code TV Power
ctl_case params params VCR
ctl_case encode encode Amp Standby
ctl_case send send TV Power
ctl_case send-unknown send TV Nothing
ctl_case set set PROCDELAY 12
ctl_case exec-x10 exec "X10&Lamp&On"
ctl_case exec-ir exec "VCR&Play"
ctl_case learn-silence learn
ctl_case unknown-verb frobnicate

echo "$cases cases compared, $failures differences"
[ "$failures" = 0 ]
