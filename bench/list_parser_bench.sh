#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Parse time of 20,000-line directory listings (bench/list_parser_bench.cpp):
# Unix, DOS/IIS and Unix with Japanese dates, median of 5 runs each.
# Environment:
#   LIST_PARSER_BENCH  a built list_parser_bench to use instead of building one
#   BENCH_BUILD        build folder for it (default build-bench, Release)
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$PWD
source bench/bench_lib.sh
bench_build bench list_parser_bench "${LIST_PARSER_BENCH:-}"
"$bench"
