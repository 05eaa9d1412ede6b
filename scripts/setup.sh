#!/usr/bin/env bash
# Installs what the build, the tests and the benchmark need on Debian 12, when it is missing.
set -euo pipefail

# Besides ffmpeg, other encoders write test files the way files from elsewhere are written.
packages=(cmake make g++ pkg-config binutils libavformat-dev libavcodec-dev libavutil-dev libswresample-dev libgtest-dev ffmpeg
          vorbis-tools opus-tools lame flac sox sndfile-programs
          libbenchmark-dev libsndfile1-dev python3 time)
missing=()
for p in "${packages[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "installing: ${missing[*]}"
  sudo_cmd=""
  [ "$(id -u)" -ne 0 ] && sudo_cmd="sudo"
  $sudo_cmd apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq "${missing[@]}" >/dev/null
fi
