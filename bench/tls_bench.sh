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

. bench/bench_lib.sh
bench_workdir tls-bench 1
mkdir -p "$pub/obatch" "$pub/cbatch" "$pub/o13" "$pub/c13"

openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj /CN=localhost \
  -keyout "$work/key.pem" -out "$work/cert.pem" 2>/dev/null
port=$(free_port)
mkdir -p /var/run/vsftpd/empty
{
  vsftpd_config "$port"
  cat <<CONF
ssl_enable=YES
allow_anon_ssl=YES
force_anon_logins_ssl=YES
force_anon_data_ssl=YES
require_ssl_reuse=YES
rsa_cert_file=$work/cert.pem
rsa_private_key_file=$work/key.pem
CONF
} >"$work/vsftpd.conf"

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
  port_open "$port" && break
  sleep 0.1
done
echo "server: vsftpd $(dpkg-query -W -f='${Version}' vsftpd) with require_ssl_reuse=YES on 127.0.0.1:$port"
echo "client: curl $(curl --version | head -n 1 | cut -d' ' -f2,5)"

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
