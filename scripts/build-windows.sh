#!/usr/bin/env bash
# Cross-compiles the Windows external vorlo~.mxe64 with mingw-w64 against the Max SDK:
#   scripts/build-windows.sh [BUILD_DIR [CMAKE_ARGS...]]
# FFmpeg is the 4.3 build for Windows that scripts/ffmpeg.sh makes (once per machine): the
# external imports avformat-58.dll, avcodec-58.dll, avutil-56.dll and swresample-3.dll, which
# the build copies into BUILD_DIR/support/ beside BUILD_DIR/externals/. -DFFMPEG_DIR=PREFIX
# names another Windows FFmpeg build; -DFFMPEG_DIR= (empty) compiles against the build
# machine's FFmpeg headers, for import libraries of that release's DLLs (and no DLLs).
# The SDK is the repository's third_party/max-sdk-base, or $MAX_SDK_DIR.
# Prints the path of the external.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
dir=${1:-$top/build/windows}
shift $(($# > 0 ? 1 : 0))
"$top/scripts/setup.sh"
ffmpeg=()
if ! printf '%s\n' "$@" | grep -q '^-DFFMPEG_DIR[:=]'; then
  ffmpeg=("-DFFMPEG_DIR=$("$top/scripts/ffmpeg.sh" 4.3 --windows)")
fi
cmake -S "$top/packaging" -B "$dir" -DCMAKE_TOOLCHAIN_FILE="$top/packaging/mingw-w64-x86_64.cmake" \
  -DCMAKE_BUILD_TYPE=Release -DMAX_SDK_DIR="${MAX_SDK_DIR:-$top/third_party/max-sdk-base}" "${ffmpeg[@]}" "$@" >/dev/null
cmake --build "$dir" -j"${CMAKE_BUILD_PARALLEL_LEVEL:-$(nproc)}" >&2
echo "$dir/externals/vorlo~.mxe64"
