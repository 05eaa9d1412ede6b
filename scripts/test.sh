#!/usr/bin/env bash
# Builds and runs every test three times: in the plain build, under AddressSanitizer with
# UndefinedBehaviorSanitizer, and under ThreadSanitizer (most tests run a loader thread
# beside the main thread), the Windows build under Wine and the macOS bundle's static checks
# after the plain one; the tests that compare loads with the ffmpeg program once more against
# FFmpeg 4.3 and 7.1; then replays the fuzzers' regression inputs and fuzzes files for half a
# minute (scripts/fuzz.sh fuzzes longer).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/setup.sh"
jobs=$(nproc)

run_suite() { # DIR SANITIZERS [BUILD OPTIONS...]
  local dir=$1 sanitize=$2
  shift 2
  echo "=== build $(basename "$dir") ${sanitize:+($sanitize)}"
  "$top/scripts/build.sh" "$dir" "$sanitize" "$@" >"$dir.log" 2>&1 || { tail -50 "$dir.log"; return 1; }
  (cd "$dir" && ctest --output-on-failure -j"$jobs")
}

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1
mkdir -p "$top/build"
run_suite "$top/build/plain" ""
"$top/scripts/test-windows.sh" "$top/build/plain"
"$top/scripts/test-macos.sh" "$top/build/macos"
run_suite "$top/build/asan" "address,undefined"
run_suite "$top/build/tsan" "thread"
# The tests that compare loads with the ffmpeg program, against the oldest and the newest FFmpeg
# release (built once per machine by scripts/ffmpeg.sh), each with its own ffmpeg and ffprobe
# as the reference; the suites above use the machine's FFmpeg.
for release in 4.3 7.1; do
  run_suite "$top/build/ffmpeg-$release" "" --ffmpeg "$release" --reference-tests
done
"$top/scripts/fuzz.sh" message 0
"$top/scripts/fuzz.sh" file 30
