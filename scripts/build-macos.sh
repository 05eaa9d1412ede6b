#!/usr/bin/env bash
# Cross-builds the macOS external vorlo~.mxo (x86_64 and arm64) against the Max SDK:
#   scripts/build-macos.sh [BUILD_DIR [CMAKE_ARGS...]]   # BUILD_DIR/externals/vorlo~.mxo
# Each architecture is built in BUILD_DIR/ARCH by packaging/CMakeLists.txt, the description
# that builds the Windows external, with the toolchain file packaging/macos-cross.cmake; the
# two slices are then joined into one bundle, whose Contents/Frameworks holds the universal
# FFmpeg 4.3 libraries that scripts/ffmpeg.sh 4.3 --macos builds (once per machine).
# The SDK is the repository's third_party/max-sdk-base, or $MAX_SDK_DIR.
# Prints the path of the bundle.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
dir=$(realpath -m "${1:-$top/build/macos}")
shift $(($# > 0 ? 1 : 0))
"$top/scripts/setup.sh" >&2
ffmpeg=$("$top/scripts/ffmpeg.sh" 4.3 --macos)

build_slice() { # ARCH CMAKE_ARGS...: the bundle of one architecture, in BUILD_DIR/ARCH/externals
  local arch=$1
  shift
  cmake -S "$top/packaging" -B "$dir/$arch" -DCMAKE_TOOLCHAIN_FILE="$top/packaging/macos-cross.cmake" \
    -DVORLO_MACOS_ARCH="$arch" -DCMAKE_BUILD_TYPE=Release \
    -DMAX_SDK_DIR="${MAX_SDK_DIR:-$top/third_party/max-sdk-base}" -DFFMPEG_DIR="$ffmpeg" "$@" >/dev/null
  cmake --build "$dir/$arch" -j"${CMAKE_BUILD_PARALLEL_LEVEL:-$(nproc)}" >&2
}

arches=(arm64 x86_64)
for arch in "${arches[@]}"; do
  build_slice "$arch" "$@"
done

# The first slice's bundle with the binary of both; its Frameworks already hold universal
# libraries. Made beside the result and renamed into place, so that a bundle found there is whole.
bundle=$dir/externals/vorlo~.mxo
binaries=()
for arch in "${arches[@]}"; do
  binaries+=("$dir/$arch/externals/vorlo~.mxo/Contents/MacOS/vorlo~")
done
mkdir -p "$dir/externals"
stage=$(mktemp -d "$dir/externals/.vorlo~.XXXXXX")
cp -R "$dir/${arches[0]}/externals/vorlo~.mxo" "$stage/"
llvm-lipo-14 -create "${binaries[@]}" -output "$stage/vorlo~.mxo/Contents/MacOS/vorlo~"
# What the libraries were built from, for the package's note on them.
cp "$ffmpeg/BUILD-INFO.txt" "$dir/ffmpeg-build-info.txt"
rm -rf "$bundle"
mv "$stage/vorlo~.mxo" "$bundle"
rmdir "$stage"
echo "$bundle"
