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
# With --tree it measures the whole-tree watch instead (bench/tree_watch_bench.cpp):
# entering the watch over FILES files in FOLDERS folders (goal: within 2 s), the
# idle tick (goal: under 0.1 ms of CPU median, no folder read, no server
# command), the save-to-server latency four folders deep against the flat
# watch (goal: within 100 ms), and 1000 scripted changes (goal: all arrive with
# their final content); one GOAL line per goal, met or NOT met.
# Environment:
#   FILES, FOLDERS  the tree of --tree (default 20000 files in 2000 folders)
#   WATCH_BENCH  a built watch_bench to use instead of building one
#   BENCH_BUILD  build folder for it (default build-bench, Release)
#   REPEATS      latency samples per case, the median is shown (default 5; 0 skips)
#   TICKS        idle ticks timed (default 2000)
#   ROUNDS       rounds of two saves (default 200, a round takes about 8 s; 0 skips)
#   SEED         the rounds' random seed (default: the time)
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$PWD

target=watch_bench
if [ "${1:-}" = --tree ]; then
  target=tree_watch_bench
fi
bench=${WATCH_BENCH:-}
if [ -z "$bench" ]; then
  build=${BENCH_BUILD:-$repo/build-bench}
  # Quiet unless the configuration or the build fails.
  if ! log=$(cmake -S "$repo" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release 2>&1 \
      && cmake --build "$build" --target "$target" 2>&1); then
    printf '%s\n' "$log" >&2
    exit 1
  fi
  bench=$build/bench/$target
fi
if [ "$target" = tree_watch_bench ]; then
  exec env QT_QPA_PLATFORM=offscreen "$bench" "${FILES:-20000}" "${FOLDERS:-2000}" "${TICKS:-2000}" "${REPEATS:-3}"
fi
QT_QPA_PLATFORM=offscreen "$bench" "${REPEATS:-5}" "${TICKS:-2000}" "${ROUNDS:-200}" ${SEED:+"$SEED"}
