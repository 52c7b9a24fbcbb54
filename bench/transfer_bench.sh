#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Times the manual upload of 900 files of 4 KiB through the main window's upload
# command (progress window and worker, offscreen) next to the FTP engine alone
# and curl, against one local pyftpdlib server (bench/transfer_bench.cpp).
# Environment:
#   TRANSFER_BENCH  a built transfer_bench to use instead of building one
#   BENCH_BUILD     build folder for it (default build-bench, Release)
#   ROUNDS          rounds per contestant, the best is shown (default 3)
#   DISTANT=1       100 files to the test server answering every command
#                   REPLY_DELAY_MS late (default 20), the window on CONNECTIONS
#                   connections (default 3)
# The files each contestant uploaded are compared on the server after its run;
# a failed run or other bytes end the benchmark with an error.
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$PWD
. bench/bench_lib.sh

bench_packages curl
bench_build bench transfer_bench "${TRANSFER_BENCH:-}"
if [ -n "${DISTANT:-}" ]; then
  "$bench" "${ROUNDS:-3}" "${REPLY_DELAY_MS:-20}" "${CONNECTIONS:-3}"
else
  "$bench" "${ROUNDS:-3}"
fi
