#!/usr/bin/env bash
# The main job: loads an audio file into a buffer~ through vorlo~ in the headless host,
# writes the buffer out as a WAV file and prints what the object said.
#   scripts/run.sh [FILE [-o OUT.wav] [MESSAGE WORDS...]]
# With no file, a demo file is made on the spot.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/setup.sh"
"$top/scripts/build.sh" "$top/build/main" >/dev/null
if [ $# -eq 0 ]; then
  demo="$top/build/demo.flac"
  ffmpeg -loglevel error -y -f lavfi -i "sine=frequency=440:sample_rate=48000:duration=2" \
    -f lavfi -i "sine=frequency=660:sample_rate=48000:duration=2" \
    -filter_complex "[0:a][1:a]join=inputs=2:channel_layout=stereo" "$demo"
  set -- "$demo" -o "$top/build/demo.wav"
fi
exec "$top/build/main/vorlo-host" load "$@"
