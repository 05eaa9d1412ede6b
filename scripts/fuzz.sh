#!/usr/bin/env bash
# Builds the fuzzers with clang (AddressSanitizer, UndefinedBehaviorSanitizer, libFuzzer),
# replays the committed regression inputs, then fuzzes for the seconds given, starting from
# the corpus kept in build/fuzz (seeded afresh from the ffmpeg program when it is missing).
#   scripts/fuzz.sh [file|message] [SECONDS]     (default: file, 60 s; 0: replay only)
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
fuzzer=${1:-file}
seconds=${2:-60}
build="$top/build/fuzz"
CC=clang-14 CXX=clang++-14 cmake -S "$top" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DVORLO_FUZZ=ON -DVORLO_SANITIZE="address,undefined" >/dev/null
cmake --build "$build" -j"$(nproc)" --target "${fuzzer}_fuzzer" >"$build.log" 2>&1 || { tail -50 "$build.log"; exit 1; }

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
binary="$build/fuzz/${fuzzer}_fuzzer"
regressions="$top/fuzz/regressions/$fuzzer"
corpus="$build/corpus-$fuzzer"
options=(-rss_limit_mb=4096 -timeout=30 -print_final_stats=1)
[ "$fuzzer" = file ] && options+=(-dict="$top/fuzz/containers.dict" -max_len=65536)
[ "$fuzzer" = message ] && options+=(-len_control=10)

if [ -n "$(ls -A "$regressions" 2>/dev/null)" ]; then
  echo "=== replay $(ls "$regressions" | wc -l) regression inputs of the $fuzzer fuzzer"
  "$binary" "${options[@]}" "$regressions"/*
fi
[ "$seconds" -gt 0 ] || exit 0
if [ ! -d "$corpus" ]; then
  mkdir -p "$corpus"
  [ "$fuzzer" = file ] && "$top/fuzz/make_corpus.sh" "$corpus"
fi
echo "=== fuzz the $fuzzer fuzzer for $seconds s"
# Crashes and hangs land in build/fuzz as crash-*, timeout-*, oom-*: each becomes a file of
# fuzz/regressions/ once fixed.
cd "$build"
"$binary" "${options[@]}" -max_total_time="$seconds" "$corpus"
