#!/usr/bin/env bash
# The soak: LOADS loads (default 1000) of short files of several codecs in one process, with
# the resident memory after load 10 and after the last.
#   bench/soak_bench.sh BUILD_DIR [LOADS]
set -euo pipefail
build=${1:?build directory}
loads=${2:-1000}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
files=()
for ext in wav flac mp3 m4a opus ogg; do
  ffmpeg -nostdin -v error -f lavfi -i "anoisesrc=d=1:r=44100" -ac 2 "$work/soak.$ext"
  files+=("$work/soak.$ext")
done
"$build/bench/soak_bench" "${files[@]}" -n "$loads"
