# SPDX-License-Identifier: GPL-3.0-or-later
# Shared by the benchmark scripts (sourced, not run, from the repository's top
# folder). Expects `set -euo pipefail`.

repo=${repo:-$PWD}

# bench_packages PKG...: installs those of the Debian packages that are missing.
# Installing vsftpd must not start the system's own daemon on port 21: the
# benchmarks start their own on a free loopback port.
bench_packages() {
  local missing=() p sudo="" guard=""
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  [ ${#missing[@]} -gt 0 ] || return 0
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  if [ ! -e /usr/sbin/policy-rc.d ]; then
    printf '#!/bin/sh\nexit 101\n' | $sudo tee /usr/sbin/policy-rc.d >/dev/null
    $sudo chmod 755 /usr/sbin/policy-rc.d
    guard=1
  fi
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null 2>&1 \
    || { $sudo apt-get update -qq && $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null; } \
    || echo "could not install ${missing[*]}" >&2
  if [ -n "$guard" ]; then $sudo rm -f /usr/sbin/policy-rc.d; fi
}

# bench_build VAR TARGET OVERRIDE: sets VAR to the program OVERRIDE names (an
# environment variable's value) or else to a Release build of the benchmark
# TARGET in $BENCH_BUILD (default build-bench); quiet unless the build fails.
bench_build() {
  local build log
  if [ -n "$3" ]; then
    printf -v "$1" '%s' "$3"
    return 0
  fi
  build=${BENCH_BUILD:-$repo/build-bench}
  if ! log=$(cmake -S "$repo" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release 2>&1 \
      && cmake --build "$build" --target "$2" 2>&1); then
    printf '%s\n' "$log" >&2
    exit 1
  fi
  printf -v "$1" '%s' "$build/bench/$2"
}

# bench_workdir NAME GIB: a work folder ($work) in memory when /dev/shm has GIB
# free (so that disk write-back does not decide the race), with $root/$pub
# served, removed at exit together with the server ($server_pid).
bench_workdir() {
  base=/tmp
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

# start_vsftpd [EXTRA_CONFIG]: vsftpd on a free port ($port, $server_pid) for
# anonymous logins ($user, $password), with vsftpd_config and the extra lines;
# returns 1 when it cannot be started (no vsftpd, no ftp account, not root).
start_vsftpd() {
  [ -x /usr/sbin/vsftpd ] && id ftp >/dev/null 2>&1 || return 1
  mkdir -p /var/run/vsftpd/empty 2>/dev/null || true
  chown ftp:ftp "$pub" # anonymous uploads land there as the ftp user
  port=$(free_port)
  { vsftpd_config "$port"; [ -z "${1:-}" ] || printf '%s\n' "$1"; } >"$work/vsftpd.conf"
  /usr/sbin/vsftpd "$work/vsftpd.conf" >"$work/server.log" 2>&1 &
  server_pid=$!
  for _ in $(seq 50); do
    if port_open "$port"; then
      user=anonymous password=bench@
      server_kind="vsftpd $(dpkg-query -W -f='${Version}' vsftpd 2>/dev/null)"
      return 0
    fi
    kill -0 "$server_pid" 2>/dev/null || break
    sleep 0.1
  done
  kill "$server_pid" 2>/dev/null || true
  server_pid=""
  return 1
}

# start_pyftpdlib [OPTION...]: the tests' pyftpdlib server (its options, e.g.
# --reply-delay MS) serving $root on a free port ($port, $server_pid) to the
# user bench ($user, $password); ends the script when it cannot start.
start_pyftpdlib() {
  port=$(free_port)
  /usr/bin/python3 "$repo/tests/support/ftp_server.py" --root "$root" --port "$port" \
    --user bench --password bench --passive-ports 20000-60000 "$@" >"$work/server.out" 2>"$work/server.log" &
  server_pid=$!
  for _ in $(seq 100); do
    if grep -q READY "$work/server.out" 2>/dev/null; then
      user=bench password=bench
      server_kind="pyftpdlib $(dpkg-query -W -f='${Version}' python3-pyftpdlib 2>/dev/null)"
      return 0
    fi
    sleep 0.1
  done
  echo "cannot start a server:" >&2
  cat "$work/server.log" >&2
  exit 1
}

now() { date +%s.%N; }
seconds() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.3f", b - a }'; }

# time_cmd COMMAND: seconds taken by the command (a string for eval); a failure
# (any exit status but 0) ends the script with the command's error output.
time_cmd() {
  local t0 t1
  t0=$(now)
  eval "$1" >"$work/last.out" 2>"$work/last.err" || {
    echo "failed (exit $?): $1" >&2
    cat "$work/last.err" >&2
    exit 1
  }
  t1=$(now)
  seconds "$t0" "$t1"
}

# A race: contestants run one after the other, ROUNDS times, each round
# starting one contestant later than the last, so that none is always first.
#   contestant NAME PREPARE RUN CHECK   (strings for eval)
# PREPARE runs untimed before each run (removing the last run's files), RUN is
# timed and must exit with 0, CHECK must succeed after it (the bytes moved are
# compared; the run's output is in $work/last.out); a failure ends the script.
race_reset() {
  c_name=() c_prep=() c_run=() c_check=() c_times=() c_rss=()
}
race_reset

contestant() {
  c_name+=("$1")
  c_prep+=("$2")
  c_run+=("$3")
  c_check+=("$4")
  c_times+=("")
  c_rss+=(0)
}

race() { # ROUNDS
  local rounds=$1 n=${#c_name[@]} r k i t rss
  for ((r = 0; r < rounds; r++)); do
    for ((k = 0; k < n; k++)); do
      i=$(((r + k) % n))
      eval "${c_prep[i]}"
      t=$(time_cmd "${c_run[i]}") || exit 1
      if ! eval "${c_check[i]}"; then
        echo "${c_name[i]}: the check after its run failed: ${c_check[i]}" >&2
        exit 1
      fi
      c_times[i]+="$t "
      rss=$(sed -n 's/.*peak_rss_kb=\([0-9]*\).*/\1/p' "$work/last.out")
      if [ -n "$rss" ] && [ "$rss" -gt "${c_rss[i]}" ]; then c_rss[i]=$rss; fi
    done
  done
}

# files_equal A B: the two folders hold the same files with the same bytes.
files_equal() { diff -rq "$1" "$2" >/dev/null; }

# stats TIMES: "median min max" of the numbers in TIMES.
stats() {
  printf '%s\n' $1 | sort -g | awk '{ v[NR] = $1 }
    END { m = NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2
          printf "%.3f %.3f %.3f", m, v[1], v[NR] }'
}

# contestant_index NAME: the position of the contestant NAME in the race.
contestant_index() {
  local i
  for i in "${!c_name[@]}"; do
    if [ "${c_name[i]}" = "$1" ]; then
      echo "$i"
      return 0
    fi
  done
  echo "no contestant $1" >&2
  exit 1
}

# median_of NAME [DIVISOR]: the contestant's median time, divided by DIVISOR.
median_of() {
  local s
  s=$(stats "${c_times[$(contestant_index "$1")]}")
  awk -v m="${s%% *}" -v d="${2:-1}" 'BEGIN { printf "%.6f", m / d }'
}

# spread NAME [SCALE UNIT]: "median (min-max)" of the contestant's times, each
# multiplied by SCALE (default 1, unit "s").
spread() {
  local s
  s=$(stats "${c_times[$(contestant_index "$1")]}")
  awk -v s="$s" -v k="${2:-1}" -v u="${3:-s}" 'BEGIN { split(s, v, " ")
    d = k == 1 ? 3 : 1
    printf "%.*f%s (%.*f-%.*f)", d, v[1] * k, u, d, v[2] * k, d, v[3] * k }'
}

# versus_header, versus CASE ROUNDS: races the contestants "ours" and "curl"
# and prints a row with the medians, the spreads and the ratio of the medians.
versus_header() {
  printf '%-22s %-26s %-26s %6s\n' case "ours: median (min-max)" "curl: median (min-max)" ratio
}

versus() {
  local o c
  race "$2"
  printf '%-22s %-26s %-26s %6s\n' "$1" "$(spread ours)" "$(spread curl)" \
    "$(awk -v a="$(median_of ours)" -v b="$(median_of curl)" 'BEGIN { printf "%.2f", (b > 0 ? a / b : 0) }')"
  # A client held up in some runs (a busy machine) makes the medians' ratio say
  # little; the fastest runs are then shown too.
  o=$(stats "${c_times[$(contestant_index ours)]}")
  c=$(stats "${c_times[$(contestant_index curl)]}")
  awk -v o="$o" -v c="$c" 'BEGIN { split(o, a, " "); split(c, b, " ")
    if (a[3] > 3 * a[2] || b[3] > 3 * b[2])
      printf "%-22s runs varied more than threefold; fastest runs: %.3fs and %.3fs, ratio %.2f\n", "", a[2], b[2], (b[2] > 0 ? a[2] / b[2] : 0) }'
}
