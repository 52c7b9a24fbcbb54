#!/usr/bin/env bash
# FTP over TLS: times our engine (bench/ftp_engine_bench.cpp) against curl on the
# same local vsftpd, which requires data connections to resume the control
# connection's TLS session (require_ssl_reuse=YES, its secure default).
#   TLS 1.2: 64 MiB up and down, 900 x 4 KiB up; best of 5 (64 MiB) or 3
#            (batch) alternating runs, time ratio ours/curl.
#   TLS 1.3: which of the two completes 100 consecutive small uploads on one
#            control connection.
# Needs root (vsftpd's anonymous chroot). Environment:
#   FTP_ENGINE_BENCH  a built ftp_engine_bench to use instead of building one
#   BENCH_BUILD       build folder for it (default build-bench, Release)
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$PWD
scripts/bootstrap
command -v curl >/dev/null || { echo "tls_bench: curl is needed" >&2; exit 1; }
[ "$(id -u)" -eq 0 ] || { echo "tls_bench: vsftpd needs root" >&2; exit 1; }

bench=${FTP_ENGINE_BENCH:-}
if [ -z "$bench" ]; then
  build=${BENCH_BUILD:-$repo/build-bench}
  cmake -S "$repo" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build "$build" --target ftp_engine_bench >/dev/null
  bench=$build/bench/ftp_engine_bench
fi

base=/tmp
if [ -d /dev/shm ] && [ "$(df -Pk /dev/shm | awk 'NR == 2 { print $4 }')" -gt $((1024 * 1024)) ]; then
  base=/dev/shm
fi
work=$(mktemp -d "$base/vexmora-tls-bench.XXXXXX")
server_pid=""
cleanup() {
  if [ -n "$server_pid" ]; then
    kill "$server_pid" 2>/dev/null || true
    wait "$server_pid" 2>/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT
chmod 755 "$work"
root=$work/root
pub=$root/pub
mkdir -p "$pub/batch" "$pub/obatch" "$pub/cbatch" "$pub/o13" "$pub/c13" "$work/src/batch" "$work/dst"
chmod 755 "$root"

openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj /CN=localhost \
  -keyout "$work/key.pem" -out "$work/cert.pem" 2>/dev/null
port=$(/usr/bin/python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
mkdir -p /var/run/vsftpd/empty
cat >"$work/vsftpd.conf" <<CONF
listen=YES
listen_ipv6=NO
listen_address=127.0.0.1
listen_port=$port
background=NO
anonymous_enable=YES
no_anon_password=YES
anon_root=$root
anon_upload_enable=YES
anon_mkdir_write_enable=YES
anon_other_write_enable=YES
anon_umask=022
write_enable=YES
local_enable=NO
pasv_enable=YES
connect_from_port_20=NO
seccomp_sandbox=NO
isolate=NO
isolate_network=NO
xferlog_enable=NO
max_clients=0
max_per_ip=0
secure_chroot_dir=/var/run/vsftpd/empty
ssl_enable=YES
allow_anon_ssl=YES
force_anon_logins_ssl=YES
force_anon_data_ssl=YES
require_ssl_reuse=YES
rsa_cert_file=$work/cert.pem
rsa_private_key_file=$work/key.pem
CONF

echo "preparing files..."
head -c $((64 * 1024 * 1024)) /dev/urandom >"$work/src/64m.bin"
cp "$work/src/64m.bin" "$pub/64m.bin"
for i in $(seq -f '%03g' 1 900); do
  head -c 4096 /dev/urandom >"$work/src/batch/f$i.bin"
done
chown -R ftp:ftp "$pub"
chmod -R a+rX "$pub"

/usr/sbin/vsftpd "$work/vsftpd.conf" >"$work/server.log" 2>&1 &
server_pid=$!
for _ in $(seq 50); do
  /usr/bin/python3 -c "import socket,sys; s=socket.socket(); s.settimeout(0.2); sys.exit(s.connect_ex(('127.0.0.1',$port)))" && break
  sleep 0.1
done
echo "server: vsftpd $(dpkg-query -W -f='${Version}' vsftpd) with require_ssl_reuse=YES on 127.0.0.1:$port"
echo "client: curl $(curl --version | head -n 1 | cut -d' ' -f2,5)"

now() { date +%s.%N; }
seconds() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.3f", b - a }'; }
smaller() { [ -z "$2" ] || awk -v a="$1" -v b="$2" 'BEGIN { exit !(a < b) }'; }
time_cmd() {
  local t0 t1
  t0=$(now)
  eval "$1" >"$work/last.out" 2>"$work/last.err" || { echo "failed: $1" >&2; cat "$work/last.err" >&2; exit 1; }
  t1=$(now)
  seconds "$t0" "$t1"
}
pair() { # N OURS_CLEANUP OURS CURL_CLEANUP CURL
  local t
  best_ours=""
  best_curl=""
  for _ in $(seq "$1"); do
    eval "$2"
    t=$(time_cmd "$3")
    if smaller "$t" "$best_ours"; then best_ours=$t; fi
    eval "$4"
    t=$(time_cmd "$5")
    if smaller "$t" "$best_curl"; then best_curl=$t; fi
  done
}
report() {
  printf '%-22s %9ss %9ss %7s\n' "$1" "$best_ours" "$best_curl" \
    "$(awk -v a="$best_ours" -v b="$best_curl" 'BEGIN { printf "%.2f", (b > 0 ? a / b : 0) }')"
}

export VEXMORA_BENCH_TRUST=1
server=ftpes://127.0.0.1:$port
url=ftp://127.0.0.1:$port
ours="VEXMORA_BENCH_TLS=1.2 $bench $server anonymous bench@"
curl12="curl -sS --fail --ssl-reqd -k --tls-max 1.2 -u anonymous:bench@"

echo
echo "TLS 1.2"
printf '%-22s %10s %10s %7s\n' case ours curl ratio
pair 5 "rm -f $pub/o64.bin" "$ours put $work/src/64m.bin /pub/o64.bin" \
  "rm -f $pub/c64.bin" "$curl12 -T $work/src/64m.bin $url/pub/c64.bin"
cmp -s "$work/src/64m.bin" "$pub/o64.bin" || { echo "upload by the engine differs" >&2; exit 1; }
report "upload 64 MiB"
pair 5 "rm -f $work/dst/o64.bin" "$ours get /pub/64m.bin $work/dst/o64.bin" \
  "rm -f $work/dst/c64.bin" "$curl12 -o $work/dst/c64.bin $url/pub/64m.bin"
cmp -s "$work/src/64m.bin" "$work/dst/o64.bin" || { echo "download by the engine differs" >&2; exit 1; }
report "download 64 MiB"
pair 3 "rm -f $pub/obatch/*" "$ours put-batch $work/src/batch /pub/obatch 900" \
  "rm -f $pub/cbatch/*" "$curl12 -T '$work/src/batch/f[001-900].bin' $url/pub/cbatch/"
[ "$(ls "$pub/obatch" | wc -l)" = 900 ] || { echo "batch upload by the engine incomplete" >&2; exit 1; }
report "upload 900 x 4 KiB"

echo
echo "TLS 1.3: 100 consecutive uploads of 4 KiB on one control connection"
# Done means: the program says so and all 100 files are on the server.
tls13() { # NAME FOLDER COMMAND...
  local name=$1 folder=$2 count
  shift 2
  if "$@" >/dev/null 2>"$work/$name.err"; then status=0; else status=$?; fi
  count=$(ls "$pub/$folder" | wc -l)
  if [ "$status" = 0 ] && [ "$count" = 100 ]; then
    echo "$name: completed all 100"
  else
    echo "$name: FAILED, $count of 100 on the server (exit $status): $(grep -m1 -v '^$' "$work/$name.err" || true)"
  fi
}
tls13 ours o13 "$bench" "$server" anonymous bench@ put-batch "$work/src/batch" /pub/o13 100
tls13 curl c13 curl -sS --fail --ssl-reqd -k -u anonymous:bench@ -T "$work/src/batch/f[001-100].bin" "$url/pub/c13/"
