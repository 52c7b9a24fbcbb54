#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the libFuzzer harnesses of the directory listing parser and of the
# control connection's reply reading (bench/fuzz/*.cpp) with clang, AddressSanitizer
# and UndefinedBehaviorSanitizer, and runs each on its seed corpus
# (bench/fuzz/corpus/NAME). Not part of the tests.
#
#   bench/fuzz.sh [SECONDS] [HARNESS...]
#
# SECONDS per harness (default 60); HARNESS is list_parser and/or reply_parser
# (default both). New inputs the fuzzer finds go to FUZZ_BUILD/corpus-NAME
# (FUZZ_BUILD defaults to build-fuzz), crashes to FUZZ_BUILD/crash-*. Installs
# clang from Debian when it is missing.
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$PWD

if ! command -v clang++ >/dev/null; then
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get install -y -qq --no-install-recommends clang >/dev/null \
    || { $SUDO apt-get update -qq && $SUDO apt-get install -y -qq --no-install-recommends clang >/dev/null; }
fi

seconds=${1:-60}
shift || true
harnesses=("$@")
[ ${#harnesses[@]} -eq 0 ] && harnesses=(list_parser reply_parser)

out=${FUZZ_BUILD:-$repo/build-fuzz}
mkdir -p "$out"
platform_sources=("$repo"/platform/*.cpp)
flags=(-std=c++20 -g -O1 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined -I"$repo" -pthread)
# The platform layer links TLS (OpenSSL) and SSH (libssh); the harnesses call neither.
mapfile -t libs < <(pkg-config --libs libssl libcrypto libssh | tr ' ' '\n' | grep .)

for name in "${harnesses[@]}"; do
  src="$repo/bench/fuzz/fuzz_$name.cpp"
  [ -f "$src" ] || { echo "no harness $name" >&2; exit 2; }
  echo "== building fuzz_$name"
  clang++ "${flags[@]}" "$src" "${platform_sources[@]}" "${libs[@]}" -o "$out/fuzz_$name"
  mkdir -p "$out/corpus-$name"
  echo "== running fuzz_$name for ${seconds}s"
  (cd "$out" && UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 "./fuzz_$name" \
    -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
    "corpus-$name" "$repo/bench/fuzz/corpus/$name")
done
