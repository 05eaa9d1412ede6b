#!/usr/bin/env bash
# The Windows build's tests: checks the package zip and the external's imports, then runs the
# load cases under Wine (tests/wine/wine_loads.cpp) with the external as the zip holds it,
# each buffer~ compared with the decoding of ffmpeg.exe of the same FFmpeg build.
#   scripts/test-windows.sh LINUX_BUILD_DIR
# LINUX_BUILD_DIR is a build of the tree (scripts/build.sh DIR), where wine_loads is built.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
linux_build=$(realpath "$1")
started=$(date +%s)
echo "=== Windows build under Wine"
"$top/scripts/setup.sh"
ffmpeg_prefix=$("$top/scripts/ffmpeg.sh" 4.3 --windows)
cmake --build "$linux_build" --target wine_loads -j"$(nproc)" >/dev/null
# Builds the external, the zip and the host; the zip's listing and the external's imports.
"$top/tests/packaging/package_test.sh" "$top" "$top/build/windows" "$linux_build/vorlo-host"
"$top/tests/packaging/windows_external_test.sh" "$top/build/windows/externals/vorlo~.mxe64" "$ffmpeg_prefix/include"

export WINEPREFIX=${XDG_CACHE_HOME:-$HOME/.cache}/vorlo/wine WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
mkdir -p "$WINEPREFIX"
# The prefix made or brought up to date, and settled, before any test runs; then one server
# for the whole run, ended with it: no program of the run starts while a prefix is being
# updated or a server that outlived the last program is shutting down.
/usr/lib/wine/wineserver -k 2>/dev/null || true
/usr/lib/wine/wine64 wineboot --init
/usr/lib/wine/wineserver -w
/usr/lib/wine/wineserver -p
trap '/usr/lib/wine/wineserver -k 2>/dev/null || true' EXIT
wine="/usr/lib/wine/wine64"
export VORLO_WINE_HOST="$top/scripts/run-windows.sh"
export VORLO_REFERENCE_FFMPEG="$wine $ffmpeg_prefix/bin/ffmpeg.exe"
export VORLO_REFERENCE_FFPROBE="$wine $ffmpeg_prefix/bin/ffprobe.exe"
export VORLO_WINE_DIR=$top/build/wine-loads
rm -rf "$VORLO_WINE_DIR"
mkdir -p "$VORLO_WINE_DIR"
# The Windows external's naming and opening of a load's file, checked on its own.
sdk=$top/third_party/max-sdk-base/c74support/max-includes
x86_64-w64-mingw32-g++-posix -std=c++17 -O1 -static -DWIN_VERSION -DMAXAPI_USE_MSCRT -w -I"$sdk" \
  -I"$top/source/loader" -I"$ffmpeg_prefix/include" \
  "$top/source/loader/open_file.cpp" "$top/tests/wine/open_file_check.cpp" -o "$VORLO_WINE_DIR/open_file_check.exe"
export VORLO_OPEN_FILE_CHECK="$wine $VORLO_WINE_DIR/open_file_check.exe"
"$linux_build/tests/wine_loads" --gtest_brief=1
echo "Windows build under Wine: $(( $(date +%s) - started )) s"
