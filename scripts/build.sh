#!/usr/bin/env bash
# Configures and builds one configuration:
#   scripts/build.sh DIR [SANITIZERS] [--ffmpeg 4.3|7.1] [--reference-tests]
# --ffmpeg builds against that FFmpeg release (scripts/ffmpeg.sh builds it once per machine),
# whose own ffmpeg and ffprobe are then the tests' reference; --reference-tests builds only the
# tests that compare loads with that reference. The Max SDK is the repository's
# third_party/max-sdk-base, or $MAX_SDK_DIR.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
usage() { echo "usage: scripts/build.sh DIR [SANITIZERS] [--ffmpeg 4.3|7.1] [--reference-tests]" >&2; exit 2; }
[ $# -ge 1 ] || usage
dir=$1
shift
sanitize=
build_type=RelWithDebInfo
options=()
while [ $# -gt 0 ]; do
  case $1 in
    --ffmpeg)
      [ $# -ge 2 ] || usage
      prefix=$("$top/scripts/ffmpeg.sh" "$2")
      options+=(-DFFMPEG_DIR="$prefix")
      shift ;;
    # A tree that is built for one run of its tests goes without debug information: it
    # builds in two thirds of the time.
    --reference-tests) options+=(-DVORLO_REFERENCE_TESTS_ONLY=ON); build_type=Release ;;
    -*) usage ;;
    *) sanitize=$1 ;;
  esac
  shift
done
# The object's warnings are errors where no sanitizer's instrumentation adds warnings of its own.
[ -n "$sanitize" ] || options+=(-DVORLO_WERROR=ON)
cmake -S "$top" -B "$dir" -DCMAKE_BUILD_TYPE="$build_type" -DVORLO_SANITIZE="$sanitize" \
  -DVORLO_FIXTURE_DIR="$top/build/fixtures" ${MAX_SDK_DIR:+-DVORLO_MAX_SDK_DIR="$MAX_SDK_DIR"} "${options[@]}" >/dev/null
cmake --build "$dir" -j"$(nproc)"
