#!/usr/bin/env bash
# Installs what the build, the tests and the benchmark need on Debian 12, when it is missing.
set -euo pipefail

# Besides ffmpeg, other encoders write test files the way files from elsewhere are written;
# python3 checks the Max package's files; mingw-w64 cross-builds the Windows external
# (scripts/build-windows.sh and its tests) and Wine runs it (scripts/run-windows.sh); clang
# builds the fuzzers; Google Benchmark,
# libsndfile and time serve the benchmark.
packages=(cmake make g++ pkg-config binutils libavformat-dev libavcodec-dev libavutil-dev libswresample-dev libgtest-dev ffmpeg
          vorbis-tools opus-tools lame flac sox sndfile-programs python3
          g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 clang-14 libclang-rt-14-dev
          libbenchmark-dev libsndfile1-dev time wine64)
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
