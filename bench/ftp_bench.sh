#!/usr/bin/env bash
# Times our FTP engine (bench/ftp_engine_bench.cpp) against curl in one run on the
# same local server: uploads and downloads of 1 MiB, 64 MiB and 512 MiB files and a
# batch of 900 files of 4 KiB (one control connection each side), printing the
# time ratio ours/curl per case and our peak resident memory on the 512 MiB files.
#
# The server is vsftpd from Debian on a loopback port (installed when missing),
# else pyftpdlib; the output says which. Environment:
#   FTP_ENGINE_BENCH  a built ftp_engine_bench to use instead of building one
#   BENCH_BUILD       build folder for it (default build-bench, Release)
#   BENCH_SERVER      "vsftpd" (default) or "pyftpdlib"
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$PWD

need_packages=()
command -v curl >/dev/null || need_packages+=(curl)
if [ "${BENCH_SERVER:-vsftpd}" = vsftpd ] && [ ! -x /usr/sbin/vsftpd ]; then
  need_packages+=(vsftpd)
fi
if [ ${#need_packages[@]} -gt 0 ]; then
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  # Installing vsftpd must not start the system's own daemon on port 21.
  guard=""
  if [ ! -e /usr/sbin/policy-rc.d ]; then
    printf '#!/bin/sh\nexit 101\n' | $SUDO tee /usr/sbin/policy-rc.d >/dev/null
    $SUDO chmod 755 /usr/sbin/policy-rc.d
    guard=1
  fi
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get install -y -qq --no-install-recommends "${need_packages[@]}" >/dev/null \
    || { $SUDO apt-get update -qq && $SUDO apt-get install -y -qq --no-install-recommends "${need_packages[@]}" >/dev/null; } \
    || true
  [ -n "$guard" ] && $SUDO rm -f /usr/sbin/policy-rc.d
fi

bench=${FTP_ENGINE_BENCH:-}
if [ -z "$bench" ]; then
  build=${BENCH_BUILD:-$repo/build-bench}
  cmake -S "$repo" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build "$build" --target ftp_engine_bench >/dev/null
  bench=$build/bench/ftp_engine_bench
fi

. bench/bench_lib.sh
bench_workdir ftp-bench 4

start_vsftpd() {
  [ -x /usr/sbin/vsftpd ] && id ftp >/dev/null 2>&1 || return 1
  mkdir -p /var/run/vsftpd/empty 2>/dev/null || true
  chown ftp:ftp "$pub"
  port=$(free_port)
  vsftpd_config "$port" >"$work/vsftpd.conf"
  /usr/sbin/vsftpd "$work/vsftpd.conf" >"$work/server.log" 2>&1 &
  server_pid=$!
  for _ in $(seq 50); do
    port_open "$port" && { user=anonymous; password=bench@; server_kind="vsftpd $(dpkg-query -W -f='${Version}' vsftpd 2>/dev/null)"; return 0; }
    kill -0 "$server_pid" 2>/dev/null || break
    sleep 0.1
  done
  kill "$server_pid" 2>/dev/null || true
  server_pid=""
  return 1
}

start_pyftpdlib() {
  port=$(free_port)
  /usr/bin/python3 "$repo/tests/support/ftp_server.py" --root "$root" --port "$port" \
    --user bench --password bench --passive-ports 20000-60000 >"$work/server.out" 2>"$work/server.log" &
  server_pid=$!
  for _ in $(seq 100); do
    grep -q READY "$work/server.out" 2>/dev/null && { user=bench; password=bench; server_kind="pyftpdlib (vsftpd could not be started)"; return 0; }
    sleep 0.1
  done
  echo "cannot start a server:" >&2
  cat "$work/server.log" >&2
  exit 1
}

if [ "${BENCH_SERVER:-vsftpd}" != vsftpd ] || ! start_vsftpd; then
  start_pyftpdlib
fi
url=ftp://127.0.0.1:$port
server=127.0.0.1:$port

echo "server: $server_kind on $server"
echo "preparing files..."
for size in 1 64 512; do
  head -c $((size * 1024 * 1024)) /dev/urandom >"$work/src/${size}m.bin"
  cp "$work/src/${size}m.bin" "$pub/${size}m.bin"
done
mkdir -p "$pub/batch" "$pub/obatch" "$pub/cbatch"
for i in $(seq -f '%03g' 1 900); do
  head -c 4096 /dev/urandom >"$work/src/batch/f$i.bin"
done
cp "$work/src/batch/"* "$pub/batch/"
chown -R "$(stat -c %U "$pub")" "$pub"
chmod -R a+rX "$pub"

q() { printf '%q' "$1"; }
ours="$(q "$bench") $server $(q "$user") $(q "$password")"
curl_cmd="curl -sS --fail -u $(q "$user:$password")"

echo
printf '%-22s %10s %10s %7s\n' case ours curl ratio
for size in 1 64 512; do
  reps=5
  if [ "$size" -ge 64 ]; then reps=4; fi
  if [ "$size" -ge 512 ]; then reps=3; fi
  f=${size}m.bin
  pair $reps "rm -f $pub/o_$f" "$ours put $work/src/$f /pub/o_$f" \
    "rm -f $pub/c_$f" "$curl_cmd -T $work/src/$f $url/pub/c_$f"
  cmp -s "$work/src/$f" "$pub/o_$f" || { echo "upload of $f by the engine differs" >&2; exit 1; }
  report "upload ${size} MiB"
  if [ "$size" = 512 ]; then rss_put=$peak_kb; fi
  rm -f "$pub/o_$f" "$pub/c_$f"

  pair $reps "rm -f $work/dst/o_$f" "$ours get /pub/$f $work/dst/o_$f" \
    "rm -f $work/dst/c_$f" "$curl_cmd -o $work/dst/c_$f $url/pub/$f"
  cmp -s "$work/src/$f" "$work/dst/o_$f" || { echo "download of $f by the engine differs" >&2; exit 1; }
  report "download ${size} MiB"
  if [ "$size" = 512 ]; then rss_get=$peak_kb; fi
  rm -f "$work/dst/"*.bin
done

mkdir -p "$work/dst/obatch" "$work/dst/cbatch"
pair 3 "rm -f $pub/obatch/*" "$ours put-batch $work/src/batch /pub/obatch 900" \
  "rm -f $pub/cbatch/*" "$curl_cmd -T '$work/src/batch/f[001-900].bin' $url/pub/cbatch/"
[ "$(ls "$pub/obatch" | wc -l)" = 900 ] || { echo "batch upload by the engine incomplete" >&2; exit 1; }
report "upload 900 x 4 KiB"
pair 3 "rm -f $work/dst/obatch/*" "$ours get-batch /pub/batch $work/dst/obatch 900" \
  "rm -f $work/dst/cbatch/*" "$curl_cmd '$url/pub/batch/f[001-900].bin' -o '$work/dst/cbatch/f#1.bin'"
diff -rq "$work/src/batch" "$work/dst/obatch" >/dev/null || { echo "batch download by the engine differs" >&2; exit 1; }
report "download 900 x 4 KiB"

echo
echo "our peak resident memory: upload 512 MiB $((rss_put / 1024)) MB, download 512 MiB $((rss_get / 1024)) MB"
echo "(best of 5/4/3/3 alternating runs for 1/64/512 MiB/batch; files in $base; times include connecting and logging in)"
