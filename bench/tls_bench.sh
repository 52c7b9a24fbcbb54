#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# FTP over TLS: times our engine (bench/ftp_engine_bench.cpp) against curl on the
# same local vsftpd, which requires data connections to resume the control
# connection's TLS session (require_ssl_reuse=YES, its secure default).
#   TLS 1.2: 64 MiB up and down, 900 x 4 KiB up; median and min-max of 5
#            alternating runs each, ratio of the medians ours/curl; every exit
#            status is checked and the bytes moved are compared.
#   TLS 1.3: which of the two completes 100 consecutive small uploads on one
#            control connection.
# Needs root (vsftpd's anonymous chroot). Environment:
#   FTP_ENGINE_BENCH  a built ftp_engine_bench to use instead of building one
#   BENCH_BUILD       build folder for it (default build-bench, Release)
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$PWD
scripts/bootstrap
[ "$(id -u)" -eq 0 ] || { echo "tls_bench: vsftpd needs root" >&2; exit 1; }
. bench/bench_lib.sh
bench_packages curl
command -v curl >/dev/null || { echo "tls_bench: curl is needed" >&2; exit 1; }
bench_build bench ftp_engine_bench "${FTP_ENGINE_BENCH:-}"
bench_workdir tls-bench 1
mkdir -p "$pub/obatch" "$pub/cbatch" "$pub/o13" "$pub/c13"

openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj /CN=localhost \
  -keyout "$work/key.pem" -out "$work/cert.pem" 2>/dev/null
echo "preparing files..."
head -c $((64 * 1024 * 1024)) /dev/urandom >"$work/src/64m.bin"
cp "$work/src/64m.bin" "$pub/64m.bin"
for i in $(seq -f '%03g' 1 900); do
  head -c 4096 /dev/urandom >"$work/src/batch/f$i.bin"
done
chown -R ftp:ftp "$pub"
chmod -R a+rX "$pub"

start_vsftpd "ssl_enable=YES
allow_anon_ssl=YES
force_anon_logins_ssl=YES
force_anon_data_ssl=YES
require_ssl_reuse=YES
rsa_cert_file=$work/cert.pem
rsa_private_key_file=$work/key.pem" || { echo "tls_bench: vsftpd does not start:" >&2; cat "$work/server.log" >&2; exit 1; }
echo "server: $server_kind with require_ssl_reuse=YES on 127.0.0.1:$port"
echo "client: curl $(curl --version | head -n 1 | cut -d' ' -f2,5)"

export VEXMORA_BENCH_TRUST=1
server=ftpes://127.0.0.1:$port
url=ftp://127.0.0.1:$port
ours="VEXMORA_BENCH_TLS=1.2 $bench $server anonymous bench@"
curl12="curl -sS --fail --fail-early --ssl-reqd -k --tls-max 1.2 -u anonymous:bench@"

echo
echo "TLS 1.2"
versus_header
race_reset
contestant ours "rm -f $pub/o64.bin" "$ours put $work/src/64m.bin /pub/o64.bin" "cmp -s $work/src/64m.bin $pub/o64.bin"
contestant curl "rm -f $pub/c64.bin" "$curl12 -T $work/src/64m.bin $url/pub/c64.bin" "cmp -s $work/src/64m.bin $pub/c64.bin"
versus "upload 64 MiB" 5
race_reset
contestant ours "rm -f $work/dst/o64.bin" "$ours get /pub/64m.bin $work/dst/o64.bin" \
  "cmp -s $work/src/64m.bin $work/dst/o64.bin"
contestant curl "rm -f $work/dst/c64.bin" "$curl12 -o $work/dst/c64.bin $url/pub/64m.bin" \
  "cmp -s $work/src/64m.bin $work/dst/c64.bin"
versus "download 64 MiB" 5
race_reset
contestant ours "rm -f $pub/obatch/*" "$ours put-batch $work/src/batch /pub/obatch 900" \
  "files_equal $work/src/batch $pub/obatch"
contestant curl "rm -f $pub/cbatch/*" "$curl12 -T '$work/src/batch/f[001-900].bin' $url/pub/cbatch/" \
  "files_equal $work/src/batch $pub/cbatch"
versus "upload 900 x 4 KiB" 5

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
