#!/usr/bin/env bash
# Makes the package's demo files with the ffmpeg program: scripts/demo-media.sh DIR
#   vorlo-demo.flac        4 s of stereo at 44.1 kHz, 440 Hz left and 660 Hz right, with a title tag
#   vorlo-demo-video.mkv   2 s: a video stream (stream 0) and two mono audio streams (1: 440 Hz, 2: 880 Hz)
set -euo pipefail
dir=${1:?usage: demo-media.sh DIR}
mkdir -p "$dir"
ffmpeg -nostdin -v error -y -f lavfi -i "sine=frequency=440:duration=4" -f lavfi -i "sine=frequency=660:duration=4" \
  -filter_complex "[0:a][1:a]join=inputs=2:channel_layout=stereo" -ar 44100 -metadata title="vorlo~ demo: two tones" \
  -fflags +bitexact -flags:a +bitexact "$dir/vorlo-demo.flac"
ffmpeg -nostdin -v error -y -f lavfi -i "testsrc=duration=2:size=160x120:rate=10" -f lavfi -i "sine=frequency=440:duration=2" \
  -f lavfi -i "sine=frequency=880:duration=2" -map 0 -map 1 -map 2 -c:v mpeg4 -c:a flac \
  -metadata title="vorlo~ demo: a video and two audio streams" -fflags +bitexact "$dir/vorlo-demo-video.mkv"
