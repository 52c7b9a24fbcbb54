#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Times our FTP engine (bench/ftp_engine_bench.cpp) against other clients in one
# run on the same local server. Every client's exit status is checked, and the
# bytes it moved are compared (on the server after an upload, locally after a
# download); a failure or a difference ends the script. Each case runs ROUNDS
# times (at least 5) for each client, alternating; the median and min-max are shown.
#
#   bench/ftp_bench.sh             loopback: uploads and downloads of 1 MiB,
#                                  64 MiB and 512 MiB files and of 900 files of
#                                  4 KiB (one control connection each side)
#                                  against curl on vsftpd (installed when missing,
#                                  else pyftpdlib; the output says which), and our
#                                  peak resident memory on the 512 MiB files
#   bench/ftp_bench.sh --distant   a distant server: pyftpdlib answering every
#                                  command REPLY_DELAY_MS late; 100 files of 4 KiB
#                                  uploaded by ours on 1, CONNECTIONS and 4
#                                  connections, curl, and lftp's mirror -R with
#                                  --parallel=1 and --parallel=4; per file, with
#                                  a GOAL line per goal saying whether it is met
#   bench/ftp_bench.sh --resume    a RESUME_MIB (default 512) MiB upload and
#                                  download through the program's transfer rules,
#                                  cut at a random point by the server (pyftpdlib)
#                                  and continued at once: the bytes sent again
#                                  (counted by the server) and the time against an
#                                  uncut transfer, with a GOAL line each (at most
#                                  1 MiB and one 256 KiB buffer again); then the
#                                  distant 100 x 4 KiB case through the same rules
#                                  with KeepTimes off and on, with its goals
# curl gets --fail-early: after several files its exit status is otherwise the
# last file's alone. Every client is told to speak plain FTP (ours and curl by an ftp:// address,
# lftp by ftp:ssl-allow off), so that none asks for TLS first.
# Environment:
#   FTP_ENGINE_BENCH  a built ftp_engine_bench to use instead of building one
#   BENCH_BUILD       build folder for it (default build-bench, Release)
#   BENCH_SERVER      loopback server: "vsftpd" (default) or "pyftpdlib"
#   ROUNDS            runs per client and case (default 5, never fewer)
#   DISTANT=1         the same as --distant
#   REPLY_DELAY_MS    the distant server's reply delay (default 20)
#   CONNECTIONS       our connection count to compare besides 1 and 4 (default 3)
#   RESUME_MIB        the size of the --resume transfers (default 512)
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$PWD
. bench/bench_lib.sh

distant=${DISTANT:-}
resume=""
for arg in "$@"; do
  case $arg in
    --distant) distant=1 ;;
    --resume) resume=1 ;;
    *) echo "usage: $0 [--distant | --resume]" >&2; exit 2 ;;
  esac
done
rounds=${ROUNDS:-5}
[ "$rounds" -ge 5 ] || rounds=5

if [ -n "$resume" ]; then
  bench_packages curl
elif [ -n "$distant" ]; then
  bench_packages curl lftp
  command -v lftp >/dev/null || { echo "ftp_bench: lftp is needed" >&2; exit 1; }
elif [ "${BENCH_SERVER:-vsftpd}" = vsftpd ]; then
  bench_packages curl vsftpd
else
  bench_packages curl
fi
command -v curl >/dev/null || { echo "ftp_bench: curl is needed" >&2; exit 1; }
bench_build bench ftp_engine_bench "${FTP_ENGINE_BENCH:-}"

q() { printf '%q' "$1"; }

distant_run() {
  local delay=${REPLY_DELAY_MS:-20} n=${CONNECTIONS:-3} count=100 src c
  bench_workdir ftp-distant 1
  start_pyftpdlib --reply-delay "$delay"
  src=$work/src/d100
  mkdir -p "$src"
  for i in $(seq -f '%03g' 1 $count); do
    head -c 4096 /dev/urandom >"$src/f$i.bin"
  done
  local counts=(1 "$n")
  [ "$n" = 4 ] || counts+=(4)
  [ "$n" != 1 ] || counts=(1 4)

  local url=ftp://127.0.0.1:$port ours ms
  ms=$(awk -v c="$count" 'BEGIN { print 1000 / c }')
  ours="$(q "$bench") ftp://127.0.0.1:$port $(q "$user") $(q "$password")"
  local lftp_open="set cmd:fail-exit yes; set ftp:ssl-allow no; set net:max-retries 1; open -u $user,$password $url"
  for c in "${counts[@]}"; do
    mkdir -p "$pub/o$c"
    contestant "ours $c" "rm -f $pub/o$c/*" \
      "VEXMORA_BENCH_CONNECTIONS=$c $ours put-batch $src /pub/o$c $count" \
      "files_equal $src $pub/o$c && grep -q 'connections=$c ' $work/last.out"
  done
  mkdir -p "$pub/c" "$pub/l1" "$pub/l4"
  contestant curl "rm -f $pub/c/*" \
    "curl -sS --fail --fail-early -u $(q "$user:$password") -T '$src/f[001-$count].bin' $url/pub/c/" "files_equal $src $pub/c"
  for c in 1 4; do
    contestant "lftp $c" "rm -f $pub/l$c/*" \
      "lftp -c $(q "$lftp_open; mirror -R --parallel=$c $src /pub/l$c")" "files_equal $src $pub/l$c"
  done

  echo "server: $server_kind on 127.0.0.1:$port, every reply $delay ms late"
  echo "clients: $(curl --version | head -n 1 | cut -d' ' -f1,2), $(lftp --version | head -n 1 | sed 's/.*Version \([^ ]*\).*/lftp \1/')"
  echo "load average before the runs: $(cut -d' ' -f1-3 /proc/loadavg) on $(nproc) cores (other work on the machine slows every client)"
  echo "$count files of 4 KiB uploaded; $rounds alternating runs each; per file, connecting and logging in included"
  echo
  race "$rounds"
  printf '%-36s %s\n' client "ms per file: median (min-max)"
  for c in "${counts[@]}"; do
    printf '%-36s %s\n' "ours, $c connection$([ "$c" = 1 ] || echo s)" "$(spread "ours $c" "$ms" " ms")"
  done
  printf '%-36s %s\n' "curl" "$(spread curl "$ms" " ms")"
  for c in 1 4; do
    printf '%-36s %s\n' "lftp mirror -R --parallel=$c" "$(spread "lftp $c" "$ms" " ms")"
  done

  # Three replies a file (passive mode, transfer start, transfer end): with the
  # delay that is the floor of one connection; more connections share it.
  echo
  local per_file limit verdict lftp4
  for c in "${counts[@]}"; do
    per_file=$(median_of "ours $c" | awk -v k="$ms" '{ printf "%.1f", $1 * k }')
    limit=$(awk -v d="$delay" -v c="$c" 'BEGIN { printf "%.1f", 1.2 * 3 * d / c }')
    verdict=$(awk -v a="$per_file" -v b="$limit" 'BEGIN { print (a <= b ? "met" : "NOT met") }')
    echo "GOAL ours on $c connection$([ "$c" = 1 ] || echo s) at most 1.2 x ($((3 * delay)) ms / $c) = $limit ms per file: $per_file ms: $verdict"
  done
  per_file=$(median_of "ours 4" | awk -v k="$ms" '{ printf "%.1f", $1 * k }')
  lftp4=$(median_of "lftp 4" | awk -v k="$ms" '{ printf "%.1f", $1 * k }')
  verdict=$(awk -v a="$per_file" -v b="$lftp4" 'BEGIN { print (a < b ? "met" : "NOT met") }')
  echo "GOAL ours on 4 connections faster than lftp --parallel=4: $per_file ms against $lftp4 ms per file: $verdict"
}

# The bytes the server's log counts for a kind of transfer (RECEIVED, SENT).
logged_bytes() {
  awk -v k="$1" '$1 == k { n += $3 } END { printf "%d", n }' "$work/commands.log"
}

# resume_case put|get CUT: one transfer through the program's rules with the
# server cutting its data after CUT bytes (0: no cut); sets $result to
# "SECONDS BYTES-ON-THE-WIRE RECONNECTS".
resume_case() {
  local what=$1 cut=$2 verb t
  [ "$what" = put ] && verb=STOR || verb=RETR
  [ -z "$server_pid" ] || { kill "$server_pid"; wait "$server_pid" 2>/dev/null || true; server_pid=""; }
  rm -f "$work/commands.log" "$pub/big.bin" "$pub/.big.bin.vexmora-part" "$work/dst/"{,.}big.bin*
  [ "$what" = put ] || cp "$work/src/big.bin" "$pub/big.bin"
  if [ "$cut" -gt 0 ]; then
    start_pyftpdlib --log "$work/commands.log" --cut "$verb:$cut:drop-once"
  else
    start_pyftpdlib --log "$work/commands.log"
  fi
  ours="$(q "$bench") ftp://127.0.0.1:$port $(q "$user") $(q "$password")"
  if [ "$what" = put ]; then
    t=$(time_cmd "$ours put-resume $work/src/big.bin /pub/big.bin")
    cmp -s "$work/src/big.bin" "$pub/big.bin" || { echo "ftp_bench: the uploaded file differs" >&2; exit 1; }
    result="$t $(logged_bytes RECEIVED) $(sed -n 's/.*cuts=\([0-9]*\).*/\1/p' "$work/last.out")"
  else
    t=$(time_cmd "$ours get-resume /pub/big.bin $work/dst/big.bin")
    cmp -s "$work/src/big.bin" "$work/dst/big.bin" || { echo "ftp_bench: the downloaded file differs" >&2; exit 1; }
    result="$t $(logged_bytes SENT) $(sed -n 's/.*cuts=\([0-9]*\).*/\1/p' "$work/last.out")"
  fi
}

resume_run() {
  local mib=${RESUME_MIB:-512} size what cut uncut cutrun resent limit verdict
  size=$((mib * 1024 * 1024))
  bench_workdir ftp-resume $((mib * 3 / 1024 + 1))
  head -c "$size" /dev/urandom >"$work/src/big.bin"
  echo "load average before the runs: $(cut -d' ' -f1-3 /proc/loadavg) on $(nproc) cores"
  echo "$mib MiB through the program's transfer rules (temporary, continued after a cut) on pyftpdlib"
  limit=$((1024 * 1024 + 256 * 1024))
  for what in put get; do
    cut=$(awk -v s="$size" -v r="$RANDOM" 'BEGIN { printf "%d", s * (0.1 + 0.8 * r / 32767) }')
    resume_case "$what" 0
    uncut=$result
    resume_case "$what" "$cut"
    cutrun=$result
    resent=$(awk -v b="${cutrun#* }" -v s="$size" 'BEGIN { split(b, v, " "); printf "%d", v[1] - s }')
    verdict=$([ "$resent" -le "$limit" ] && echo met || echo "NOT met")
    echo "$([ "$what" = put ] && echo upload || echo download) cut after $cut bytes ($(awk -v c="$cut" -v s="$size" 'BEGIN { printf "%.0f", 100 * c / s }') %):" \
      "uncut ${uncut%% *} s, cut and continued ${cutrun%% *} s ($(echo "$cutrun" | cut -d' ' -f3) reconnect), $resent bytes sent again"
    echo "GOAL $([ "$what" = put ] && echo upload || echo download) cut and continued sends again at most 1 MiB + one 256 KiB buffer ($limit bytes): $resent: $verdict"
  done
  [ -z "$server_pid" ] || { kill "$server_pid"; wait "$server_pid" 2>/dev/null || true; server_pid=""; }
  bench_cleanup
  trap - EXIT
  distant_keep_times
}

# The distant 100 x 4 KiB case through the program's rules, KeepTimes off and on.
distant_keep_times() {
  local delay=${REPLY_DELAY_MS:-20} count=100 src c k ms
  bench_workdir ftp-distant 1
  start_pyftpdlib --reply-delay "$delay"
  src=$work/src/d100
  mkdir -p "$src"
  for i in $(seq -f '%03g' 1 $count); do
    head -c 4096 /dev/urandom >"$src/f$i.bin"
  done
  ms=$(awk -v c="$count" 'BEGIN { print 1000 / c }')
  ours="$(q "$bench") ftp://127.0.0.1:$port $(q "$user") $(q "$password")"
  race_reset
  for c in 3 4; do
    for k in plain keep; do
      mkdir -p "$pub/$k$c"
      contestant "$k $c" "rm -f $pub/$k$c/*" \
        "VEXMORA_BENCH_SAFE=$k VEXMORA_BENCH_CONNECTIONS=$c $ours put-batch $src /pub/$k$c $count" \
        "files_equal $src $pub/$k$c && grep -q 'connections=$c ' $work/last.out"
    done
  done
  echo
  echo "distant server: every reply $delay ms late; $count files of 4 KiB uploaded through the program's rules; $rounds alternating runs each"
  race "$rounds"
  printf '%-36s %s\n' client "ms per file: median (min-max)"
  for c in 3 4; do
    printf '%-36s %s\n' "ours, $c connections, KeepTimes off" "$(spread "plain $c" "$ms" " ms")"
    printf '%-36s %s\n' "ours, $c connections, KeepTimes on" "$(spread "keep $c" "$ms" " ms")"
  done
  local off on limit verdict
  for c in 3 4; do
    off=$(median_of "plain $c" | awk -v k="$ms" '{ printf "%.1f", $1 * k }')
    on=$(median_of "keep $c" | awk -v k="$ms" '{ printf "%.1f", $1 * k }')
    limit=$(awk -v d="$delay" -v c="$c" 'BEGIN { printf "%.1f", 1.2 * 3 * d / c }')
    verdict=$(awk -v a="$off" -v b="$limit" 'BEGIN { print (a <= b ? "met" : "NOT met") }')
    echo "GOAL KeepTimes off, $c connections, at most $limit ms per file: $off ms: $verdict"
    limit=$(awk -v o="$off" -v d="$delay" -v c="$c" 'BEGIN { printf "%.1f", o + 1.2 * d / c }')
    verdict=$(awk -v a="$on" -v b="$limit" 'BEGIN { print (a <= b ? "met" : "NOT met") }')
    echo "GOAL KeepTimes on, $c connections, at most one late reply per file more ($limit ms): $on ms: $verdict"
  done
}

if [ -n "$resume" ]; then
  resume_run
  exit 0
fi

if [ -n "$distant" ]; then
  distant_run
  exit 0
fi

bench_workdir ftp-bench 4
if [ "${BENCH_SERVER:-vsftpd}" != vsftpd ] || ! start_vsftpd; then
  start_pyftpdlib
  [ "${BENCH_SERVER:-vsftpd}" != vsftpd ] || server_kind="$server_kind (vsftpd could not be started)"
fi
url=ftp://127.0.0.1:$port

echo "server: $server_kind on 127.0.0.1:$port"
echo "client: $(curl --version | head -n 1 | cut -d' ' -f1,2)"
echo "load average before the runs: $(cut -d' ' -f1-3 /proc/loadavg) on $(nproc) cores"
echo "preparing files..."
sizes=(1 64 512)
for size in "${sizes[@]}"; do
  head -c $((size * 1024 * 1024)) /dev/urandom >"$work/src/${size}m.bin"
  cp "$work/src/${size}m.bin" "$pub/${size}m.bin"
done
mkdir -p "$pub/batch" "$pub/obatch" "$pub/cbatch" "$work/dst/obatch" "$work/dst/cbatch"
for i in $(seq -f '%03g' 1 900); do
  head -c 4096 /dev/urandom >"$work/src/batch/f$i.bin"
done
cp "$work/src/batch/"* "$pub/batch/"
chown -R "$(stat -c %U "$pub")" "$pub"
chmod -R a+rX "$pub"

ours="$(q "$bench") ftp://127.0.0.1:$port $(q "$user") $(q "$password")"
curl_cmd="curl -sS --fail --fail-early -u $(q "$user:$password")"

echo
versus_header
for size in "${sizes[@]}"; do
  f=${size}m.bin
  race_reset
  contestant ours "rm -f $pub/o_$f" "$ours put $work/src/$f /pub/o_$f" "cmp -s $work/src/$f $pub/o_$f"
  contestant curl "rm -f $pub/c_$f" "$curl_cmd -T $work/src/$f $url/pub/c_$f" "cmp -s $work/src/$f $pub/c_$f"
  versus "upload ${size} MiB" "$rounds"
  rss_put=${c_rss[0]}
  rm -f "$pub/o_$f" "$pub/c_$f"

  race_reset
  contestant ours "rm -f $work/dst/o_$f" "$ours get /pub/$f $work/dst/o_$f" "cmp -s $work/src/$f $work/dst/o_$f"
  contestant curl "rm -f $work/dst/c_$f" "$curl_cmd -o $work/dst/c_$f $url/pub/$f" "cmp -s $work/src/$f $work/dst/c_$f"
  versus "download ${size} MiB" "$rounds"
  rss_get=${c_rss[0]}
  rm -f "$work/dst/"*.bin
done

race_reset
contestant ours "rm -f $pub/obatch/*" "$ours put-batch $work/src/batch /pub/obatch 900" \
  "files_equal $work/src/batch $pub/obatch"
contestant curl "rm -f $pub/cbatch/*" "$curl_cmd -T '$work/src/batch/f[001-900].bin' $url/pub/cbatch/" \
  "files_equal $work/src/batch $pub/cbatch"
versus "upload 900 x 4 KiB" "$rounds"
race_reset
contestant ours "rm -f $work/dst/obatch/*" "$ours get-batch /pub/batch $work/dst/obatch 900" \
  "files_equal $work/src/batch $work/dst/obatch"
contestant curl "rm -f $work/dst/cbatch/*" "$curl_cmd '$url/pub/batch/f[001-900].bin' -o '$work/dst/cbatch/f#1.bin'" \
  "files_equal $work/src/batch $work/dst/cbatch"
versus "download 900 x 4 KiB" "$rounds"

echo
echo "our peak resident memory: upload ${sizes[-1]} MiB $((rss_put / 1024)) MB, download ${sizes[-1]} MiB $((rss_get / 1024)) MB"
echo "($rounds alternating runs per client and case; ratio of the medians ours/curl; files in $base;"
echo " times include starting the client, connecting and logging in)"
