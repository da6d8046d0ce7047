#!/usr/bin/env bash
# The installed programs as a user with an empty home directory meets them: installed with
# cmake --install under a scratch DESTDIR, started by their installed path with nothing but
# HOME and PATH in the environment. qvxctl makes the user's configuration from the shipped
# default and lists the delivered devices, keeps the user's edits, reads the port map beside
# it; --config and QVX_CONFIG still win; the gateways answer from their folder's links to the
# administrator's configuration; the desktop files are where the desktop looks for them.
#   installed_test.sh BUILD BINDIR CGIDIR DATADIR SHAREDIR COMPONENT...
set -uo pipefail
build=$1 bindir=$2 cgidir=$3 datadir=$4 sharedir=$5
shift 5
components=" $* "
src="$(cd "$(dirname "$0")/../.." && pwd)"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

root=$work/root
for component in $components; do
  DESTDIR=$root cmake --install "$build" --component "$component" >"$work/install.log" ||
    { cat "$work/install.log"; exit 1; }
done
qvxctl=$root$bindir/qvxctl
delivered=$src/data/pelgrin.cfg
"$build/bin/qvxctl" --config "$delivered" devices >"$work/expected-devices"

# as_user HOME [NAME=VALUE...] -- PROGRAM ARGS...: the installed program in a bare environment,
# with the simulated hardware only, so no real port is ever opened.
as_user() {
  local home=$1
  shift
  local settings=()
  while [ "$1" != -- ]; do settings+=("$1"); shift; done
  shift
  mkdir -p "$home"
  env -i HOME="$home" PATH=/usr/bin:/bin QVX_SIM_CLOCK=virtual QVX_AUDIO_DEVICE=none \
    "${settings[@]}" "$@"
}

# First use: the configuration and the commented port map are made from the shipped ones.
home=$work/home
as_user "$home" -- "$qvxctl" devices >"$work/devices" 2>"$work/err" || fail "devices exited $? ($(cat "$work/err"))"
cmp -s "$work/devices" "$work/expected-devices" || fail "devices: $(cat "$work/devices")"
[ ! -s "$work/err" ] || fail "devices wrote to standard error: $(cat "$work/err")"
cmp -s "$home/.config/qvx/pelgrin.cfg" "$delivered" || fail "the user's configuration is not the delivered one"
cmp -s "$home/.config/qvx/ports.cfg" "$src/data/ports.cfg" || fail "the user's port map is not the shipped one"
[ "$(stat -c %a "$home/.config/qvx")" = 700 ] || fail "the settings folder is readable by others"

# The user's edits stay: a saved change survives the next start.
as_user "$home" -- "$qvxctl" set PROCDELAY 12 || fail "set exited $?"
as_user "$home" -- "$qvxctl" devices >/dev/null
grep -q $'^PROCDELAY= 12\r$' "$home/.config/qvx/pelgrin.cfg" || fail "the user's edit was lost"

# The port map beside the configuration: COM99 (never a device of this machine) is the simulated
# transmitter; a line that maps nothing is reported and skipped.
as_user "$home" -- "$qvxctl" set COMPORT 99 || fail "set COMPORT exited $?"
printf 'COM99=sim:ir\nCOM 98=/dev/null\n' >"$home/.config/qvx/ports.cfg"
as_user "$home" -- "$qvxctl" send TV Power >"$work/send" 2>"$work/err" || fail "send exited $? ($(cat "$work/send"))"
[ "$(cat "$work/send")" = "TV Power executed." ] || fail "send: $(cat "$work/send")"
grep -q 'ports.cfg line 2: COM 98 is no port' "$work/err" || fail "the bad port map line was not reported: $(cat "$work/err")"
as_user "$home" QVX_COM99=sim:absent -- "$qvxctl" send TV Power >/dev/null 2>"$work/err" &&
  fail "send succeeded on a port QVX_COM99 maps to nothing"
grep -q 'cannot open the infrared port: COM99 (sim:absent)' "$work/err" ||
  fail "QVX_COM99 did not win over the port map: $(cat "$work/err")"

# XDG_CONFIG_HOME, --config and QVX_CONFIG.
as_user "$work/home2" XDG_CONFIG_HOME="$work/xdg" -- "$qvxctl" devices >/dev/null || fail "devices with XDG_CONFIG_HOME exited $?"
cmp -s "$work/xdg/qvx/pelgrin.cfg" "$delivered" || fail "no configuration in XDG_CONFIG_HOME"
[ ! -e "$work/home2/.config" ] || fail "a configuration was made in the home despite XDG_CONFIG_HOME"
sed 's/^\[Amp\]\r$/[Radio]\r/' "$delivered" >"$work/own.cfg"
for how in option variable; do
  if [ $how = option ]; then
    as_user "$work/home-$how" -- "$qvxctl" --config "$work/own.cfg" devices >"$work/devices"
  else
    as_user "$work/home-$how" QVX_CONFIG="$work/own.cfg" -- "$qvxctl" devices >"$work/devices"
  fi
  grep -qx Radio "$work/devices" || fail "the $how did not name the configuration: $(cat "$work/devices")"
  [ ! -e "$work/home-$how/.config" ] || fail "a configuration was made despite the $how"
done

# The gateways read the administrator's configuration through the links in their folder.
for gateway in qvxweb qvxwap; do
  env -i REQUEST_METHOD=GET QUERY_STRING= "$build/bin/$gateway.cgi" >"$work/expected-page" 2>/dev/null
  env -i REQUEST_METHOD=GET QUERY_STRING= "$root$cgidir/$gateway.cgi" >"$work/page" 2>"$work/err"
  cmp -s "$work/page" "$work/expected-page" || fail "$gateway page differs: $(head -c 300 "$work/page") $(cat "$work/err")"
done

# The desktop program's files.
if [[ "$components" == *" desktop "* ]]; then
  for file in "$bindir/qvx" "$datadir/qvx.html" "$datadir/qvxnomon.ico" "$datadir/qvxmon.ico" \
    "$datadir/qvxbtmon.ico" "$sharedir/applications/qvx.desktop" \
    "$sharedir/icons/hicolor/32x32/apps/qvx.png"; do
    [ -s "$root$file" ] || fail "$file is not installed"
  done
fi

echo "$failures failures"
[ "$failures" = 0 ]
