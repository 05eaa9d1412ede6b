#!/usr/bin/env bash
# Time and peak memory of whole loads through vorlo-host: a long file per codec, loaded with
# replace from the start and from the middle.
#   bench/load_bench.sh BUILD_DIR [MINUTES]
set -euo pipefail
build=${1:?build directory}
minutes=${2:-10}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
seconds=$((minutes * 60))
for ext in wav flac mp3 m4a opus; do
  file="$work/long.$ext"
  ffmpeg -loglevel error -f lavfi -i "sine=frequency=440:sample_rate=48000:duration=$seconds" \
    -ac 2 "$file"
  for start in 0 $((seconds / 2)); do
    /usr/bin/time -f "$ext start ${start}s: %e s, %M KiB peak" \
      "$build/vorlo-host" load "$file" -o "$work/out.wav" replace "$file" "$start" sec >/dev/null 2>"$work/err" \
      || { cat "$work/err"; exit 1; }
    tail -1 "$work/err"
  done
done
