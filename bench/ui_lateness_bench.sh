#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Measures how late a 50 ms timer on the interface thread fires while the
# program waits for the network (bench/ui_lateness_bench.cpp): during a
# throttled download through the progress window, a watch pass at real time,
# and a connect to a loopback port that never answers. Worst and 99th percentile.
# Environment:
#   LATENESS_BENCH  a built ui_lateness_bench to use instead of building one
#   BENCH_BUILD     build folder for it (default build-bench, Release)
#   MIB, MIB_PER_S  size and rate of the download (default 300 and 10)
#   CONNECT_MS      the connect and reply timeout of the silent case (default 5000)
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$PWD
. bench/bench_lib.sh

bench_build bench ui_lateness_bench "${LATENESS_BENCH:-}"
QT_QPA_PLATFORM=offscreen "$bench" "${MIB:-300}" "${MIB_PER_S:-10}" "${CONNECT_MS:-5000}"
