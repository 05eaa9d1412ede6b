#!/usr/bin/env bash
# Makes the seed corpus of the file fuzzer: a fifth of a second of stereo noise in every
# codec and container that the ffmpeg program here can write, each behind the fuzzer's
# option bytes (all zero: a plain replace).
#   fuzz/make_corpus.sh DIR
set -euo pipefail
dir=${1:?corpus directory}
mkdir -p "$dir"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
ffmpeg -nostdin -v error -f lavfi -i "anoisesrc=d=0.2:r=44100:seed=7" -ac 2 "$work/source.wav"
# name  codec options
recipes=(
  "u8.wav -c:a pcm_u8" "s16.wav -c:a pcm_s16le" "s24.wav -c:a pcm_s24le" "f32.wav -c:a pcm_f32le"
  "f64.wav -c:a pcm_f64le" "alaw.wav -c:a pcm_alaw" "mulaw.wav -c:a pcm_mulaw" "adpcm.wav -c:a adpcm_ms"
  "ima.wav -c:a adpcm_ima_wav" "s16.aiff -c:a pcm_s16be" "s16.w64 -c:a pcm_s16le" "s16.au -c:a pcm_s16be"
  "s16.caf -c:a pcm_s16le" "flac.flac -c:a flac" "flac.oga -c:a flac" "alac.m4a -c:a alac"
  "wavpack.wv -c:a wavpack" "tta.tta -c:a tta" "mp3.mp3 -c:a libmp3lame" "mp2.mp2 -c:a mp2"
  "mp2.ts -c:a mp2" "aac.m4a -c:a aac" "aac.aac -c:a aac" "aac.mkv -c:a aac" "opus.opus -c:a libopus"
  "vorbis.ogg -c:a libvorbis" "ac3.ac3 -c:a ac3" "eac3.eac3 -c:a eac3" "wma.wma -c:a wmav2"
  "dts.dts -c:a dca -strict -2" "truehd.mkv -c:a truehd -strict -2" "speex.ogg -c:a libspeex -ar 16000"
  "gsm.wav -c:a libgsm_ms -ar 8000 -ac 1" "g722.wav -c:a g722 -ar 16000 -ac 1" "nelly.flv -c:a nellymoser -ac 1"
  "sbc.sbc -c:a sbc" "s302m.ts -c:a s302m -strict -2" "mka.mka -c:a pcm_s16le" "flac.mkv -c:a flac"
  "mov.mov -c:a pcm_s24le" "dfpwm.dfpwm -c:a dfpwm -ac 1" "real.rm -c:a real_144 -ar 8000 -ac 1"
)
for recipe in "${recipes[@]}"; do
  read -r name options <<<"$recipe"
  # shellcheck disable=SC2086
  if ffmpeg -nostdin -v error -y -i "$work/source.wav" $options "$work/$name" 2>/dev/null; then
    { head -c 8 /dev/zero; cat "$work/$name"; } >"$dir/seed-${name//./-}"
  fi
done
echo "$(ls "$dir" | wc -l) seeds in $dir"
