#!/usr/bin/env bash
# Times the manual upload of 900 files of 4 KiB through the main window's upload
# command (progress window and worker, offscreen) next to the FTP engine alone
# and curl, against one local pyftpdlib server (bench/transfer_bench.cpp).
# Environment:
#   TRANSFER_BENCH  a built transfer_bench to use instead of building one
#   BENCH_BUILD     build folder for it (default build-bench, Release)
#   ROUNDS          rounds per contestant, the best is shown (default 3)
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$PWD

bench=${TRANSFER_BENCH:-}
if [ -z "$bench" ]; then
  build=${BENCH_BUILD:-$repo/build-bench}
  cmake -S "$repo" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build "$build" --target transfer_bench >/dev/null
  bench=$build/bench/transfer_bench
fi
command -v curl >/dev/null || echo "curl is not installed: its row shows as failed" >&2
"$bench" "${ROUNDS:-3}"
