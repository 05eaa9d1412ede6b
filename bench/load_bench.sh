#!/usr/bin/env bash
# Time and peak memory of whole loads through vorlo-host: a long stereo file per codec,
# loaded with replace from the start and from the middle (the buffer itself holds
# minutes × 60 × 48000 × 2 floats).
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
    printf 'buffer~ snd\nnew v vorlo~ snd\nv replace %s %s sec\nwait 600\nprint snd\n' "$file" "$start" >"$work/script"
    /usr/bin/time -f "$ext start ${start}s: %e s, %M KiB peak" \
      "$build/vorlo-host" "$work/script" >"$work/out" 2>"$work/err" || { cat "$work/err"; exit 1; }
    grep -q ' 1: bang' "$work/out" || { cat "$work/out" "$work/err"; exit 1; }
    tail -1 "$work/err"
  done
done
