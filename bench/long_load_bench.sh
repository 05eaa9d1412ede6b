#!/usr/bin/env bash
# A load of more than 2^31 interleaved samples: 6 h 13 min of stereo silence at 48 kHz and a
# second of tone, as FLAC (small and quick to make); the buffer takes 8 GiB, the machine
# needs about 9 GiB free.
#   bench/long_load_bench.sh BUILD_DIR
set -euo pipefail
build=${1:?build directory}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
silence=22400
ffmpeg -nostdin -v error -f lavfi -i "anullsrc=r=48000:cl=stereo:d=$silence" \
  -f lavfi -i "sine=frequency=440:sample_rate=48000:duration=1" \
  -filter_complex "[1]aformat=channel_layouts=stereo[tone];[0][tone]concat=n=2:v=0:a=1" \
  -c:a flac "$work/long.flac"
ls -l "$work/long.flac"
/usr/bin/time -f "%e s, %M KiB peak" "$build/bench/long_load_bench" "$work/long.flac" 48000
