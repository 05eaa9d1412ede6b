#!/usr/bin/env bash
# The main job: loads an audio file into a buffer~ through vorlo~ in the headless host,
# writes the buffer out as a WAV file and prints what the object said.
#   scripts/run.sh [@ATTR VALUE...] FILE [-o OUT.wav] [--timeout SECONDS] [MESSAGE WORDS...]
# With no arguments at all, a demo file is made on the spot and loaded. The words go to
# `vorlo-host load` as they are: it refuses an option it does not know (exit status 2),
# writes OUT.wav only after the done bang, and exits 0 after it, 1 after a failed load.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
for word in "$@"; do
  if [ "$word" = --help ] || [ "$word" = -h ]; then
    sed -n '2,7s/^# \{0,1\}//p' "$0"
    exit 0
  fi
done
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
