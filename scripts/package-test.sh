#!/usr/bin/env bash
# Checks the Debian packages in build/package/ (scripts/package.sh makes them):
#   package-test.sh contents   each package holds its files and declares its dependencies
#   package-test.sh install    installs the amd64 packages with apt into a fresh Debian 12
#                              (debootstrap, minimal variant; needs root and the Debian mirror)
#                              and runs them there as an unprivileged user with an empty home
set -euo pipefail
cd "$(dirname "$0")/.."
mode=${1:-contents}
version=$(sed -n 's/^project(qvx VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)-1
failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}
package() { echo "build/package/${1}_${version}_$2.deb"; }

# holds DEB PATH...: each path is in the package.
holds() {
  local deb=$1
  shift
  [ -f "$deb" ] || { fail "$deb is missing (scripts/package.sh makes it)"; return; }
  local listing
  listing=$(dpkg-deb --contents "$deb" | awk '{print $6}' | sed 's|^\.||')
  for path in "$@"; do
    grep -qx "$path" <<<"$listing" || fail "$(basename "$deb") lacks $path"
  done
}

contents() {
  local arch
  for arch in amd64 arm64; do
    local triplet=x86_64-linux-gnu
    [ $arch = arm64 ] && triplet=aarch64-linux-gnu
    holds "$(package qvx-tools $arch)" /usr/bin/qvxctl /usr/lib/$triplet/libpulsio.so.1 \
      /usr/lib/$triplet/qvx/libqvx_registry.so /usr/include/pulsio.h \
      /usr/lib/cgi-bin/qvx/qvxweb.cgi /usr/lib/cgi-bin/qvx/qvxwap.cgi \
      /usr/lib/cgi-bin/qvx/pelgrin.cfg /usr/lib/cgi-bin/qvx/ports.cfg \
      /etc/qvx/pelgrin.cfg /etc/qvx/ports.cfg /usr/share/qvx/pelgrin.cfg /usr/share/qvx/ports.cfg \
      /usr/lib/systemd/user/qvx-monitor.service /usr/lib/udev/rules.d/70-qvx-infrared.rules
    [ -f "$(package qvx-tools $arch)" ] &&
      ! dpkg-deb --contents "$(package qvx-tools $arch)" | grep -qi 'qt6\|/usr/bin/qvx$' ||
      fail "qvx-tools_$arch holds desktop files"
  done
  holds "$(package qvx amd64)" /usr/bin/qvx /usr/share/applications/qvx.desktop \
    /usr/share/icons/hicolor/32x32/apps/qvx.png /usr/share/qvx/qvx.html \
    /usr/share/qvx/qvxnomon.ico /usr/share/qvx/qvxmon.ico /usr/share/qvx/qvxbtmon.ico \
    /usr/lib/systemd/user/qvx-web.service /usr/share/qvx/serve-gateways.sh
  local depends
  depends=$(dpkg-deb --field "$(package qvx amd64)" Depends 2>/dev/null || true)
  for needed in libqt6widgets6 qt6-qpa-plugins "qvx-tools (= $version)"; do
    [[ "$depends" == *"$needed"* ]] || fail "qvx does not depend on $needed: $depends"
  done
  for arch in amd64 arm64; do
    depends=$(dpkg-deb --field "$(package qvx-tools $arch)" Depends 2>/dev/null || true)
    [[ "$depends" == *libc6* && "$depends" != *qt6* ]] || fail "qvx-tools_$arch depends on: $depends"
    [ "$(dpkg-deb --field "$(package qvx-tools $arch)" Architecture 2>/dev/null)" = $arch ] ||
      fail "qvx-tools_$arch is not for $arch"
  done
  dpkg-deb --ctrl-tarfile "$(package qvx-tools amd64)" | tar -xO ./conffiles |
    cmp -s - <(printf '/etc/qvx/pelgrin.cfg\n/etc/qvx/ports.cfg\n') || fail "qvx-tools conffiles"
}

install_in_fresh_debian() {
  [ "$(id -u)" = 0 ] || { echo "the install test needs root (debootstrap, chroot)" >&2; exit 2; }
  local base=build/package-test/debian12 root=build/package-test/root
  # A pristine minimal Debian 12 is made once and copied for each run.
  if [ ! -x "$base/usr/bin/apt-get" ]; then
    rm -rf "$base"
    mkdir -p "$base"
    debootstrap --variant=minbase bookworm "$base" http://deb.debian.org/debian >/dev/null
  fi
  rm -rf "$root"
  cp -a "$base" "$root"
  trap 'umount "'"$root"'/proc" 2>/dev/null || true' EXIT
  mount -t proc proc "$root/proc"
  cp /etc/resolv.conf "$root/etc/resolv.conf"
  cat >"$root/etc/apt/sources.list" <<'SOURCES'
deb http://deb.debian.org/debian bookworm main
deb http://deb.debian.org/debian bookworm-updates main
deb http://deb.debian.org/debian-security bookworm-security main
SOURCES
  mkdir -p "$root/tmp/debs"
  cp "$(package qvx-tools amd64)" "$(package qvx amd64)" "$root/tmp/debs/"
  local log=build/package-test/apt.log
  chroot "$root" sh -c 'apt-get update && DEBIAN_FRONTEND=noninteractive apt-get install -y /tmp/debs/*.deb' \
    >"$log" 2>&1 || { tail -20 "$log"; fail "apt could not install the packages"; return; }
  echo "apt installed: $(grep -c '^Setting up' "$log") packages"

  chroot "$root" useradd --create-home --shell /bin/bash tester
  [ -z "$(ls -A "$root/home/tester" | grep -v '^\.bash\|^\.profile')" ] || fail "the home is not empty"
  as_tester() { chroot --userspec=tester:tester "$root" env -i HOME=/home/tester PATH=/usr/bin:/bin "$@"; }
  as_tester qvxctl devices >build/package-test/devices || fail "qvxctl devices exited $?"
  build/release/bin/qvxctl --config data/pelgrin.cfg devices | cmp -s - build/package-test/devices ||
    fail "qvxctl devices: $(cat build/package-test/devices)"
  echo "qvxctl devices as tester: $(paste -sd' ' build/package-test/devices)"
  cmp -s "$root/home/tester/.config/qvx/pelgrin.cfg" data/pelgrin.cfg ||
    fail "no configuration of the user's own"
  [ "$(stat -c %u "$root/home/tester/.config/qvx/pelgrin.cfg")" = "$(chroot "$root" id -u tester)" ] ||
    fail "the user's configuration belongs to someone else"
  local missing
  missing=$(chroot "$root" sh -c 'ldd /usr/bin/qvx /usr/bin/qvxctl /usr/lib/cgi-bin/qvx/*.cgi' | grep 'not found' || true)
  [ -z "$missing" ] || fail "libraries missing: $missing"
  # The window starts (offscreen, as there is no display) and keeps running until stopped.
  local status=0
  as_tester QT_QPA_PLATFORM=offscreen QVX_COM1=sim:ir timeout 10 qvx >build/package-test/qvx.log 2>&1 || status=$?
  [ $status = 124 ] || fail "qvx ended with $status: $(cat build/package-test/qvx.log)"
  serve_gateways_with_lighttpd "$root"
}

# Debian's lighttpd with its CGI module enabled as the README says, on a free loopback port:
# the web page lists the devices of /etc/qvx/pelgrin.cfg, and the configuration beside the
# gateways is never handed out.
serve_gateways_with_lighttpd() {
  local root=$1 log=build/package-test/lighttpd-apt.log
  printf '#!/bin/sh\nexit 101\n' >"$root/usr/sbin/policy-rc.d"  # no service starts in here
  chmod +x "$root/usr/sbin/policy-rc.d"
  chroot "$root" sh -c 'DEBIAN_FRONTEND=noninteractive apt-get install -y lighttpd && lighty-enable-mod cgi' \
    >"$log" 2>&1 || { tail -5 "$log"; fail "lighttpd could not be installed"; return; }
  local port
  port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
  printf '%s\n' 'include "/etc/lighttpd/lighttpd.conf"' "server.port := $port" \
    'server.bind = "127.0.0.1"' 'server.pid-file := "/tmp/lighttpd.pid"' >"$root/tmp/test-lighttpd.conf"
  chroot "$root" lighttpd -D -f /tmp/test-lighttpd.conf 2>build/package-test/lighttpd.log &
  local server=$!
  local page=build/package-test/page.html
  for _ in $(seq 50); do curl -s -o "$page" "http://127.0.0.1:$port/cgi-bin/qvx/qvxweb.cgi" && break; sleep 0.2; done
  grep -q '<option[^>]*>VCR' "$page" || fail "lighttpd's web page lists no devices: $(head -c 300 "$page")"
  local name
  for name in pelgrin.cfg ports.cfg; do
    if curl -s "http://127.0.0.1:$port/cgi-bin/qvx/$name" | grep -q 'COMPORT\|COMn=DEVICE'; then
      fail "lighttpd hands out $name"
    fi
  done
  kill "$server"
  wait "$server" 2>/dev/null || true
  echo "lighttpd served http://127.0.0.1:$port/cgi-bin/qvx/qvxweb.cgi"

  # The user unit qvx-web.service's command as the user runs it (no systemd in here): the
  # installed gateways, copied by serve-gateways.sh into the user's web folder, answer from the
  # user's configuration.
  chroot --userspec=tester:tester "$root" env -i HOME=/home/tester PATH=/usr/bin:/bin \
    /usr/share/qvx/serve-gateways.sh /usr/lib/cgi-bin/qvx /home/tester/web "$port" \
    QVX_CONFIG=/home/tester/.config/qvx/pelgrin.cfg 2>build/package-test/user-web.log &
  server=$!
  chroot --userspec=tester:tester "$root" sed -i 's/^\[Amp\]\r$/[Radio]\r/' /home/tester/.config/qvx/pelgrin.cfg
  for _ in $(seq 50); do curl -s -o "$page" "http://127.0.0.1:$port/qvxweb.cgi" && break; sleep 0.2; done
  grep -q '<option[^>]*>Radio' "$page" ||
    fail "the user's web server lists not the user's devices: $(head -c 300 "$page") $(cat "$root/home/tester/web/error.log" 2>/dev/null)"
  kill "$server"
  wait "$server" 2>/dev/null || true
  echo "the user's lighttpd served http://127.0.0.1:$port/qvxweb.cgi"
}

case "$mode" in
  contents) contents ;;
  install) install_in_fresh_debian ;;
  *) echo "usage: $0 contents|install" >&2; exit 2 ;;
esac
echo "$mode: $failures failures"
[ "$failures" = 0 ]
