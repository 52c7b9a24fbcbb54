#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Times our SFTP client (bench/ftp_engine_bench.cpp with an sftp:// address)
# against OpenSSH's sftp on the same loopback OpenSSH server, started here on a
# free port with its own host key and configuration (needs root: sshd, and a
# test account made with useradd when missing). Cases: SIZE_MIB (default 512)
# up and down, and 900 files of 4 KiB up (ours on one connection against
# `sftp -b`). Every run's exit status is checked and the bytes compared on the
# server after an upload and locally after a download; ROUNDS (at least 5)
# alternating runs per client, median and min-max; our peak resident memory;
# a GOAL line per goal saying whether it is met.
# Environment:
#   FTP_ENGINE_BENCH  a built ftp_engine_bench to use instead of building one
#   BENCH_BUILD       build folder for it (default build-bench, Release)
#   SIZE_MIB          size of the large file (default 512)
#   ROUNDS            runs per client and case (default 5, never fewer)
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$PWD
. bench/bench_lib.sh

q() { printf '%q' "$1"; }
rounds=${ROUNDS:-5}
[ "$rounds" -ge 5 ] || rounds=5
size=${SIZE_MIB:-512}
if [ "$(id -u)" -ne 0 ]; then
  echo "sftp_bench: needs root (it starts sshd)" >&2
  exit 1
fi
bench_packages openssh-server openssh-client
bench_build bench ftp_engine_bench "${FTP_ENGINE_BENCH:-}"

bench_workdir sftp-bench $(((size * 3) / 1024 + 1))
account=vexmora-sftp
secret=sftp-bench-pass
getent passwd "$account" >/dev/null || useradd -M -N -d /nonexistent -s /usr/sbin/nologin "$account"
echo "$account:$secret" | chpasswd
chown -R "$account" "$pub"
ssh-keygen -q -t ed25519 -N "" -f "$work/host_key"
ssh-keygen -q -t ed25519 -N "" -f "$work/client_key"
cp "$work/client_key.pub" "$work/authorized_keys"
mkdir -p /run/sshd
port=$(free_port)
cat >"$work/sshd_config" <<CONF
Port $port
ListenAddress 127.0.0.1
HostKey $work/host_key
PidFile none
UsePAM no
PasswordAuthentication yes
PubkeyAuthentication yes
AuthorizedKeysFile $work/authorized_keys
StrictModes no
AllowUsers $account
Subsystem sftp internal-sftp -d $pub
ForceCommand internal-sftp -d $pub
LogLevel ERROR
CONF
/usr/sbin/sshd -D -e -f "$work/sshd_config" >"$work/server.log" 2>&1 &
server_pid=$!
for _ in $(seq 50); do port_open "$port" && break; sleep 0.1; done
port_open "$port" || { cat "$work/server.log" >&2; exit 1; }

echo "server: OpenSSH sshd $(dpkg-query -W -f='${Version}' openssh-server) on 127.0.0.1:$port"
echo "client: $(ssh -V 2>&1) sftp"
echo "load average before the runs: $(cut -d' ' -f1-3 /proc/loadavg) on $(nproc) cores"
echo "preparing files..."
f=big.bin
head -c $((size * 1024 * 1024)) /dev/urandom >"$work/src/$f"
cp "$work/src/$f" "$pub/$f"
for i in $(seq -f '%03g' 1 900); do head -c 4096 /dev/urandom >"$work/src/batch/f$i.bin"; done
mkdir -p "$pub/obatch" "$pub/sbatch"
chown -R "$account" "$pub"

# Ours logs in with the password; OpenSSH's client with the key (it takes no
# password without a terminal); both skip the known-hosts question.
ours="env VEXMORA_BENCH_TRUST=1 HOME=$(q "$work") $(q "$bench") sftp://127.0.0.1:$port $account $secret"
sftp_cmd="sftp -q -P $port -i $(q "$work/client_key") -o IdentitiesOnly=yes -o BatchMode=yes \
-o StrictHostKeyChecking=no -o UserKnownHostsFile=/dev/null -o LogLevel=ERROR"
{ echo "cd sbatch"; for i in $(seq -f '%03g' 1 900); do echo "put $work/src/batch/f$i.bin"; done; } >"$work/put.batch"

printf '%-22s %-26s %-26s %6s\n' case "ours: median (min-max)" "sftp: median (min-max)" ratio
row() { # CASE
  printf '%-22s %-26s %-26s %6s\n' "$1" "$(spread ours)" "$(spread sftp)" \
    "$(awk -v a="$(median_of ours)" -v b="$(median_of sftp)" 'BEGIN { printf "%.2f", a / b }')"
}
goal() { # TEXT LIMIT_FACTOR
  local verdict
  verdict=$(awk -v a="$(median_of ours)" -v b="$(median_of sftp)" -v k="$2" 'BEGIN { print (a <= b * k) ? "met" : "NOT met" }')
  echo "GOAL $1: ours $(median_of ours) s against sftp $(median_of sftp) s: $verdict"
}

race_reset
contestant ours "rm -f $pub/o_$f" "$ours put $work/src/$f o_$f" "cmp -s $work/src/$f $pub/o_$f"
contestant sftp "rm -f $pub/s_$f" "$sftp_cmd -b - $account@127.0.0.1 <<<'put $work/src/$f s_$f'" "cmp -s $work/src/$f $pub/s_$f"
race "$rounds"
row "upload $size MiB"
goal_up=$(goal "upload $size MiB within 1.1 x sftp" 1.1)
rss_put=${c_rss[0]}
rm -f "$pub/o_$f" "$pub/s_$f"

race_reset
contestant ours "rm -f $work/dst/o_$f" "$ours get $f $work/dst/o_$f" "cmp -s $work/src/$f $work/dst/o_$f"
contestant sftp "rm -f $work/dst/s_$f" "$sftp_cmd -b - $account@127.0.0.1 <<<'get $f $work/dst/s_$f'" "cmp -s $work/src/$f $work/dst/s_$f"
race "$rounds"
row "download $size MiB"
goal_down=$(goal "download $size MiB within 1.1 x sftp" 1.1)
rss_get=${c_rss[0]}
rm -f "$work/dst/"*.bin

race_reset
contestant ours "rm -f $pub/obatch/*" "$ours put-batch $work/src/batch obatch 900" "files_equal $work/src/batch $pub/obatch"
contestant sftp "rm -f $pub/sbatch/*" "$sftp_cmd -b $(q "$work/put.batch") $account@127.0.0.1" "files_equal $work/src/batch $pub/sbatch"
race "$rounds"
row "upload 900 x 4 KiB"
goal_batch=$(goal "upload 900 x 4 KiB at or below sftp -b" 1.0)

echo
echo "our peak resident memory: upload $size MiB $((rss_put / 1024)) MB, download $size MiB $((rss_get / 1024)) MB"
echo "($rounds alternating runs per client and case; ratio of the medians ours/sftp; files in $base;"
echo " times include starting the client, connecting and logging in)"
printf '%s\n' "$goal_up" "$goal_down" "$goal_batch"
