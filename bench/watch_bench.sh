#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Measures the watch mode against one local pyftpdlib server, offscreen and at
# real time (bench/watch_bench.cpp): the CPU cost of an idle watch tick over a
# folder of 900 files, scanning every tick and with the inotify watch (goal:
# under 0.1 ms median, no server command), and the latency from a file's last write to its upload
# at the shortest interval with one and with five files, against the floor the
# watch rules set (tick interval, 2 s settle wait, 1 s pause); and ROUNDS rounds
# of two saves a random 0-5 s apart at "1": how many reached the server (goal:
# every one) and the save-to-server latency median and worst.
# Environment:
#   WATCH_BENCH  a built watch_bench to use instead of building one
#   BENCH_BUILD  build folder for it (default build-bench, Release)
#   REPEATS      latency samples per case, the median is shown (default 5; 0 skips)
#   TICKS        idle ticks timed (default 2000)
#   ROUNDS       rounds of two saves (default 200, a round takes about 8 s; 0 skips)
#   SEED         the rounds' random seed (default: the time)
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$PWD

bench=${WATCH_BENCH:-}
if [ -z "$bench" ]; then
  build=${BENCH_BUILD:-$repo/build-bench}
  # Quiet unless the configuration or the build fails.
  if ! log=$(cmake -S "$repo" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release 2>&1 \
      && cmake --build "$build" --target watch_bench 2>&1); then
    printf '%s\n' "$log" >&2
    exit 1
  fi
  bench=$build/bench/watch_bench
fi
QT_QPA_PLATFORM=offscreen "$bench" "${REPEATS:-5}" "${TICKS:-2000}" "${ROUNDS:-200}" ${SEED:+"$SEED"}
