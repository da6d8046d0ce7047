#!/usr/bin/env bash
# Installs the Debian 12 packages that the build, the tests and the demonstration need.
# Safe to run again: it asks apt only for what is missing.
set -euo pipefail

packages=(
  cmake ninja-build g++ pkgconf
  libgtest-dev libgmock-dev libbenchmark-dev
  # desktop services: media player over D-Bus, synthetic input, sound files
  libdbus-1-dev libx11-dev libxtst-dev mpv
  # their tests: a virtual X server, a private session bus (dbus-send asks it), real media
  # players (VLC, and mpv with its MPRIS plugin beside it), a real tray host
  xvfb dbus-daemon dbus-bin vlc-bin vlc-plugin-base mpv-mpris trayer
  libasound2-dev
  # the desktop program: Qt 6 Widgets and its X11 and offscreen platforms
  qt6-base-dev qt6-qpa-plugins
  # the gateways' tests: a real web server with CGI, a WML well-formedness check
  lighttpd libxml2-utils
  # the browser test drives the installed Chromium; the gateway benchmark's load and memory tools
  chromium wrk time
  # the Windows builds: the mingw-w64 cross compilers (64- and 32-bit), GoogleTest's sources,
  # wine for their tests, with its 32-bit half for the 32-bit Pulsio.dll
  mingw-w64 g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix googletest wine wine64 wine32:i386
  # the fuzz targets: clang 14 with its runtimes (libFuzzer, AddressSanitizer, UBSan)
  clang-14 libclang-rt-14-dev
  # the 64-bit ARM build: Debian's cross compiler, the arm64 libraries the programs and tests
  # link (packages of the foreign architecture arm64), qemu to run the tests; debootstrap for
  # the package test in a fresh Debian (scripts/package-test.sh)
  g++-aarch64-linux-gnu qemu-user libstdc++6:arm64 libgtest-dev:arm64 libgmock-dev:arm64
  libasound2-dev:arm64 libdbus-1-dev:arm64 libx11-dev:arm64 libxtst-dev:arm64 debootstrap
)
# node runs the browser test. A node from another source brings its own npm, which Debian's npm
# package would conflict with, so both are asked for only when npm is missing.
command -v npm >/dev/null || packages+=(nodejs npm)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if ((${#missing[@]})); then
  sudo=""
  [ "$(id -u)" = 0 ] || sudo=sudo
  # wine32 comes from the i386 half of the archive.
  if [[ " ${missing[*]}" == *:i386* ]] && ! dpkg --print-foreign-architectures | grep -qx i386; then
    $sudo dpkg --add-architecture i386
  fi
  if [[ " ${missing[*]}" == *:arm64* ]] && ! dpkg --print-foreign-architectures | grep -qx arm64; then
    $sudo dpkg --add-architecture arm64
  fi
  $sudo apt-get update
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "${missing[@]}"
fi

# playwright-core for the browser test, in the folder of its package.json (it downloads no
# browser); again only when the lock file is newer than what is installed.
browser_tests="$(dirname "$0")/../tests/browser"
if [ ! "$browser_tests/node_modules/.package-lock.json" -nt "$browser_tests/package-lock.json" ]; then
  npm ci --prefix "$browser_tests" --no-audit --no-fund
fi
