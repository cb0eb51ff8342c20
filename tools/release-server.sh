#!/usr/bin/env bash
# The local release server: nginx from Debian's packages serving a tree written by
# tools/publish_release.py, over HTTPS on 127.0.0.1 only, with a certificate for "localhost" from a
# throwaway certificate authority. nginx answers Range requests itself.
#
#   release-server.sh port          print a free TCP port on 127.0.0.1 (publish with
#                                   --base-url https://localhost:<port>/)
#   release-server.sh start TREE    start nginx for TREE (published for https://localhost:<port>/),
#                                   print the API base on standard output, nothing else there
#   release-server.sh stop TREE     stop it again and undo what start did to the Wine prefix
#
# The server's files are kept in TREE/server/: nginx.conf, nginx.pid, error.log, the CA (ca.pem,
# ca.der) with the server's certificate, and access.log, made anew by each start, one line per
# request: method, URI, status, body bytes sent, the Range header in quotes ("-" without one):
#   GET /files/windows_update_package/2.4.0.0/Telvista-2.4.0.0.zip 206 176544 "bytes=123456-"
#
# Inside a Wine session (WINEPREFIX set, as tools/wine-session.sh leaves it) start also adds the
# CA to the prefix's trusted roots and writes TestServer.txt ({"ApplicationUpdate": "<API base>"})
# into the prefix user's Downloads folder, which points the installer at the server; stop takes
# the CA out again and removes TestServer.txt (a file that was there before start comes back).
set -euo pipefail
. "$(dirname "$0")/fixed-layout.sh"

WINE64=${WINE64:-/usr/lib/wine/wine64}
NGINX=${NGINX:-/usr/sbin/nginx}
ROOT_STORE='HKLM\Software\Microsoft\SystemCertificates\Root\Certificates'

die() { echo "release-server: $*" >&2; exit 1; }

usage() {
  sed -n '6,11p' "$0" | sed 's/^# \{0,1\}//' >&2
  exit 2
}

free_port() {
  python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}

# Reads base_url of TREE/release.json; sets API_BASE and PORT. Only https://localhost:<port>/...
# can be served here: the certificate names localhost, and nginx listens on 127.0.0.1.
read_release() {
  local tree=$1 fields
  [ -f "$tree/release.json" ] || die "$tree/release.json is missing: publish with tools/publish_release.py first"
  mapfile -t fields < <(python3 - "$tree/release.json" <<'EOF'
import json, sys, urllib.parse
with open(sys.argv[1], encoding="utf-8") as f:
    release = json.load(f)
parts = urllib.parse.urlsplit(release["base_url"])
ok = parts.scheme.lower() == "https" and parts.hostname == "localhost" and parts.port
print(release["base_url"])
print(release["api_base"] if ok else "")
print(parts.port if ok else "")
EOF
  )
  API_BASE=${fields[1]:-}
  PORT=${fields[2]:-}
  [ -n "$PORT" ] ||
    die "$tree was published for ${fields[0]:-?}; the local server serves https://localhost:<port>/ (see: $0 port)"
}

running_pid() {  # prints the master's pid when nginx of this state folder runs
  local pidfile=$1/nginx.pid pid
  [ -s "$pidfile" ] || return 1
  pid=$(cat "$pidfile")
  [ -d "/proc/$pid" ] && grep -q nginx "/proc/$pid/comm" 2>/dev/null && echo "$pid"
}

make_certificates() {
  local state=$1
  [ -s "$state/server.pem" ] && [ -s "$state/ca.der" ] && return 0
  (
    cd "$state"
    openssl req -x509 -newkey rsa:2048 -nodes -keyout ca.key -out ca.pem -days 3650 \
      -subj "/CN=Telvista release server test CA" \
      -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign,cRLSign"
    openssl x509 -in ca.pem -outform DER -out ca.der
    openssl req -newkey rsa:2048 -nodes -keyout server.key -out server.csr -subj "/CN=localhost"
    printf '%s\n' "basicConstraints=critical,CA:FALSE" \
      "keyUsage=critical,digitalSignature,keyEncipherment" "extendedKeyUsage=serverAuth" \
      "subjectAltName=DNS:localhost" > server.ext
    openssl x509 -req -in server.csr -CA ca.pem -CAkey ca.key -CAcreateserial -days 825 \
      -sha256 -extfile server.ext -out server.pem
  ) >/dev/null 2>"$state/openssl.log" || die "openssl failed: $(cat "$state/openssl.log")"
}

write_config() {
  local state=$1 www=$2 port=$3 user=""
  # As root the workers would otherwise run as "nobody", who may not read a tree below a private
  # folder; they serve files of the maker's own tree, so they run as the maker.
  [ "$(id -u)" -eq 0 ] && user="user root;"
  mkdir -p "$state/tmp"
  cat > "$state/nginx.conf" <<EOF
# Written by tools/release-server.sh for $www
$user
worker_processes 1;
pid $state/nginx.pid;
error_log $state/error.log notice;
events { worker_connections 64; }
http {
    log_format release '\$request_method \$request_uri \$status \$body_bytes_sent "\$http_range"';
    access_log $state/access.log release;
    client_body_temp_path $state/tmp/body;
    proxy_temp_path $state/tmp/proxy;
    fastcgi_temp_path $state/tmp/fastcgi;
    uwsgi_temp_path $state/tmp/uwsgi;
    scgi_temp_path $state/tmp/scgi;
    default_type application/octet-stream;
    sendfile on;
    server {
        listen 127.0.0.1:$port ssl;
        server_name localhost;
        ssl_certificate $state/server.pem;
        ssl_certificate_key $state/server.key;
        root $www;
        location ~ /config\$ { default_type application/json; }
    }
}
EOF
}

# The prefix's trusted roots keep a certificate as a serialised element under its SHA-1
# thumbprint: property 32 (the encoded certificate), a reserved 1, the length, the DER bytes.
trust_ca() {
  local der=$1 thumbprint blob view
  thumbprint=$(sha1sum "$der" | cut -d' ' -f1 | tr a-f A-F)
  blob=$(python3 -c 'import struct, sys; d = open(sys.argv[1], "rb").read(); print((struct.pack("<III", 32, 1, len(d)) + d).hex())' "$der")
  # Both views: the shipped 32-bit installer reads the store through WoW64.
  for view in 64 32; do
    "$WINE64" reg add "$ROOT_STORE\\$thumbprint" /v Blob /t REG_BINARY /d "$blob" /f /reg:$view \
      >/dev/null 2>&1 || die "could not add the CA to the trusted roots of $WINEPREFIX"
  done
  echo "$thumbprint"
}

untrust_ca() {
  local thumbprint=$1 view
  for view in 64 32; do
    "$WINE64" reg delete "$ROOT_STORE\\$thumbprint" /f /reg:$view >/dev/null 2>&1 || true
  done
}

start() {
  local tree state www pid downloads thumbprint override
  tree=$(cd "$1" && pwd)
  state=$tree/server
  www=$tree/www
  read_release "$tree"
  [ -d "$www" ] || die "$www is missing"
  [ -x "$NGINX" ] || die "$NGINX is missing: run tools/setup-debian.sh"
  if pid=$(running_pid "$state"); then
    die "already serving $tree (nginx $pid); stop it first"
  fi
  mkdir -p "$state"
  make_certificates "$state"
  write_config "$state" "$www" "$PORT"
  rm -f "$state/access.log" "$state/nginx.pid"
  : > "$state/error.log"
  "$NGINX" -p "$state" -c "$state/nginx.conf" -e "$state/error.log" 2>>"$state/error.log" ||
    die "nginx did not start: $(tail -n 3 "$state/error.log")"
  pid=$(running_pid "$state") || die "nginx did not start: $(tail -n 3 "$state/error.log")"
  # A start that fails from here on leaves nothing running.
  STARTED_PID=$pid
  trap 'kill -TERM "$STARTED_PID" 2>/dev/null || true' EXIT
  # The master has bound the socket before it detached; a connection proves the listener.
  timeout 5 bash -c "exec 3<>/dev/tcp/127.0.0.1/$PORT" 2>/dev/null ||
    die "nginx ($pid) does not accept connections on 127.0.0.1:$PORT"

  rm -f "$state/wine.env"
  if [ -n "${WINEPREFIX:-}" ] && [ -d "$WINEPREFIX/drive_c" ]; then
    thumbprint=$(trust_ca "$state/ca.der")
    # Wine names the profile folder after the Unix user.
    downloads="$WINEPREFIX/drive_c/users/$(id -un)/Downloads"
    mkdir -p "$downloads"
    override="$downloads/TestServer.txt"
    rm -f "$state/TestServer.txt.before"
    [ -e "$override" ] && cp -p "$override" "$state/TestServer.txt.before"
    printf '{"ApplicationUpdate": "%s"}' "$API_BASE" > "$override"
    printf 'prefix=%q\nthumbprint=%q\noverride=%q\n' "$WINEPREFIX" "$thumbprint" "$override" \
      > "$state/wine.env"
  fi
  trap - EXIT
  echo "release-server: nginx $pid serves $www at https://localhost:$PORT/ on 127.0.0.1 only" >&2
  echo "$API_BASE"
}

stop() {
  local tree state pid prefix="" thumbprint="" override=""
  tree=$(cd "$1" && pwd)
  state=$tree/server
  if pid=$(running_pid "$state"); then
    kill -TERM "$pid"
    for _ in $(seq 1 100); do
      [ -d "/proc/$pid" ] || break
      sleep 0.1
    done
    [ -d "/proc/$pid" ] && kill -KILL "$pid" 2>/dev/null || true
    echo "release-server: nginx $pid stopped" >&2
  fi
  rm -f "$state/nginx.pid"
  if [ -f "$state/wine.env" ]; then
    . "$state/wine.env"
    if [ -d "$prefix/drive_c" ]; then
      (export WINEPREFIX=$prefix; untrust_ca "$thumbprint")
      rm -f "$override"
      [ -e "$state/TestServer.txt.before" ] && mv "$state/TestServer.txt.before" "$override"
    fi
    rm -f "$state/wine.env" "$state/TestServer.txt.before"
  fi
}

case "${1:-}" in
  port) free_port ;;
  start) [ $# -eq 2 ] || usage; start "$2" ;;
  stop) [ $# -eq 2 ] || usage; stop "$2" ;;
  *) usage ;;
esac
