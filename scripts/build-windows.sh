#!/usr/bin/env bash
# Cross-compiles the Windows external vorlo~.mxe64 with mingw-w64 against the Max SDK:
#   scripts/build-windows.sh [BUILD_DIR [CMAKE_ARGS...]]
# The SDK is the repository's third_party/max-sdk-base, or $MAX_SDK_DIR.
# Prints the path of the external.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
dir=${1:-$top/build/windows}
shift $(($# > 0 ? 1 : 0))
"$top/scripts/setup.sh"
cmake -S "$top/packaging" -B "$dir" -DCMAKE_TOOLCHAIN_FILE="$top/packaging/mingw-w64-x86_64.cmake" \
  -DCMAKE_BUILD_TYPE=Release -DMAX_SDK_DIR="${MAX_SDK_DIR:-$top/third_party/max-sdk-base}" "$@" >/dev/null
cmake --build "$dir" -j"${CMAKE_BUILD_PARALLEL_LEVEL:-$(nproc)}" >&2
echo "$dir/externals/vorlo~.mxe64"
