#!/usr/bin/env bash
# Installs the Debian 12 packages that the build, the tests and the demonstration need.
# Safe to run again: it asks apt only for what is missing.
set -euo pipefail

packages=(
  cmake ninja-build g++ pkgconf
  libgtest-dev libgmock-dev libbenchmark-dev
  # desktop services: media player over D-Bus, synthetic input, sound files
  libdbus-1-dev libx11-dev libxtst-dev mpv
  # their tests: a virtual X server, a private session bus, a real media player
  xvfb dbus-daemon vlc-bin vlc-plugin-base
  libasound2-dev
  # the gateways' tests: a real web server with CGI, a WML well-formedness check
  lighttpd libxml2-utils
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if ((${#missing[@]})); then
  sudo=""
  [ "$(id -u)" = 0 ] || sudo=sudo
  $sudo apt-get update
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "${missing[@]}"
fi
