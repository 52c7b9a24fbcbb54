# Shared by the benchmark scripts that race our engine against curl on a local
# vsftpd (sourced, not run). Expects `set -euo pipefail`.

# bench_workdir NAME GIB: a work folder ($work) in memory when /dev/shm has GIB
# free (so that disk write-back does not decide the race), with $root/$pub
# served by vsftpd, removed at exit together with the server ($server_pid).
bench_workdir() {
  local base=/tmp
  if [ -d /dev/shm ] && [ "$(df -Pk /dev/shm | awk 'NR == 2 { print $4 }')" -gt $(($2 * 1024 * 1024)) ]; then
    base=/dev/shm
  fi
  work=$(mktemp -d "$base/vexmora-$1.XXXXXX")
  server_pid=""
  trap bench_cleanup EXIT
  chmod 755 "$work"
  root=$work/root
  pub=$root/pub
  mkdir -p "$pub" "$work/src/batch" "$work/dst"
  chmod 755 "$root"
}

bench_cleanup() {
  if [ -n "$server_pid" ]; then
    kill "$server_pid" 2>/dev/null || true
    wait "$server_pid" 2>/dev/null || true
  fi
  rm -rf "$work"
}

free_port() {
  /usr/bin/python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])'
}

port_open() {
  /usr/bin/python3 -c "import socket,sys; s=socket.socket(); s.settimeout(0.2); sys.exit(s.connect_ex(('127.0.0.1',$1)))"
}

# vsftpd_config PORT: anonymous logins into $root, uploads into $pub, no
# sandboxing or limits that would cost time; printed for a config file.
vsftpd_config() {
  cat <<CONF
listen=YES
listen_ipv6=NO
listen_address=127.0.0.1
listen_port=$1
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
pasv_min_port=20000
pasv_max_port=60000
connect_from_port_20=NO
seccomp_sandbox=NO
isolate=NO
isolate_network=NO
xferlog_enable=NO
use_localtime=NO
max_clients=0
max_per_ip=0
secure_chroot_dir=/var/run/vsftpd/empty
CONF
}

now() { date +%s.%N; }
seconds() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.3f", b - a }'; }
smaller() { [ -z "$2" ] || awk -v a="$1" -v b="$2" 'BEGIN { exit !(a < b) }'; }

# time_cmd COMMAND: seconds taken by the command (a string for eval); a failure
# ends the script with the command's error output.
time_cmd() {
  local t0 t1
  t0=$(now)
  eval "$1" >"$work/last.out" 2>"$work/last.err" || { echo "failed: $1" >&2; cat "$work/last.err" >&2; exit 1; }
  t1=$(now)
  seconds "$t0" "$t1"
}

# pair N OURS_CLEANUP OURS CURL_CLEANUP CURL: runs ours and curl N times each,
# alternating, and keeps the best time of each and our highest peak memory.
pair() {
  local n=$1 t rss
  best_ours=""
  best_curl=""
  peak_kb=0
  for _ in $(seq "$n"); do
    eval "$2"
    t=$(time_cmd "$3")
    if smaller "$t" "$best_ours"; then best_ours=$t; fi
    rss=$(sed -n 's/.*peak_rss_kb=\([0-9]*\).*/\1/p' "$work/last.out")
    if [ -n "$rss" ] && [ "$rss" -gt "$peak_kb" ]; then peak_kb=$rss; fi
    eval "$4"
    t=$(time_cmd "$5")
    if smaller "$t" "$best_curl"; then best_curl=$t; fi
  done
}

report() { # case
  local ratio
  ratio=$(awk -v a="$best_ours" -v b="$best_curl" 'BEGIN { printf "%.2f", (b > 0 ? a / b : 0) }')
  printf '%-22s %9ss %9ss %7s\n' "$1" "$best_ours" "$best_curl" "$ratio"
}
