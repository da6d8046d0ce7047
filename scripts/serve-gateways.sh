#!/usr/bin/env bash
# Serves the two gateways through lighttpd on loopback, in the foreground.
#   serve-gateways.sh BINDIR WORKDIR PORT [NAME=VALUE ...]
# BINDIR holds the built qvxweb.cgi and qvxwap.cgi; they are copied into WORKDIR/www together
# with BINDIR/pelgrin.cfg (unless WORKDIR/www already has one or BINDIR has none), because a gateway reads the
# configuration next to itself. Each NAME=VALUE is handed to the gateways' environment, for
# example QVX_COM1=sim:ir to put the infrared port on simulated hardware. QVX_WEB_BIND is the
# address lighttpd listens on (default 127.0.0.1, loopback only).
set -euo pipefail
[ $# -ge 3 ] || { echo "usage: $0 BINDIR WORKDIR PORT [NAME=VALUE ...]" >&2; exit 2; }
bindir=$(cd "$1" && pwd)
workdir=$2
port=$3
shift 3

mkdir -p "$workdir/www"
workdir=$(cd "$workdir" && pwd)
cp "$bindir/qvxweb.cgi" "$bindir/qvxwap.cgi" "$workdir/www/"
# A gateway handed QVX_CONFIG reads that file instead, and BINDIR may then have none.
[ -f "$workdir/www/pelgrin.cfg" ] || [ ! -f "$bindir/pelgrin.cfg" ] ||
  cp "$bindir/pelgrin.cfg" "$workdir/www/pelgrin.cfg"

environment=""
for pair in "$@"; do
  name=${pair%%=*}
  value=${pair#*=}
  environment+="\"$name\" => \"$value\", "
done

cat > "$workdir/lighttpd.conf" <<CONF
server.modules = ("mod_access", "mod_cgi", "mod_setenv")
server.document-root = "$workdir/www"
server.bind = "${QVX_WEB_BIND:-127.0.0.1}"
server.port = $port
server.errorlog = "$workdir/error.log"
index-file.names = ("qvxweb.cgi")
cgi.assign = (".cgi" => "")
setenv.add-environment = ($environment)
mimetype.assign = (".html" => "text/html")
# The folder also holds the configuration, which the gateways read next to themselves (and its
# temporary files while it is saved): only the gateways are served.
\$HTTP["url"] !~ "^/([^/]+\\.cgi(/.*)?)?\$" { url.access-deny = ("") }
CONF

exec /usr/sbin/lighttpd -D -f "$workdir/lighttpd.conf" -m /usr/lib/lighttpd
