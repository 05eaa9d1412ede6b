#!/usr/bin/env bash
# Runs the Windows build of the headless host under Wine, with the external as the package
# zip holds it: scripts/run-windows.sh WORDS...
# runs vorlo-host.exe WORDS... (see scripts/run.sh and vorlo-host.exe --help), for instance
#   scripts/run-windows.sh load Z:/tmp/a.flac -o Z:/tmp/a.wav
# Z: is the Linux root under Wine; a relative path is one from the current folder. First
# builds what is missing: the external (scripts/build-windows.sh, against FFmpeg 4.3 for
# Windows), the package zip (scripts/package.sh), which is unpacked into
# build/windows-package/vorlo~, and vorlo-host.exe with MaxAPI.dll and MaxAudio.dll in
# build/windows-host/bin. The external loads from the package's externals/ and finds the FFmpeg
# DLLs in its support/, as in Max. Wine keeps its own configuration in
# ${XDG_CACHE_HOME:-~/.cache}/vorlo/wine (made on the first run, which takes a while).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
# The external is built (scripts/build-windows.sh installs what is missing), then packed and
# unpacked again only when it or the package's files changed since the last unpacking.
"$top/scripts/build-windows.sh" "$top/build/windows" >/dev/null
package=$top/build/windows-package
stamp=$package/unpacked
if [ ! -f "$stamp" ] || [ -n "$(find "$top/build/windows/externals" "$top/build/windows/support" "$top/packaging" \
    "$top/scripts/package.sh" "$top/scripts/demo-media.sh" -type f -newer "$stamp" -print -quit)" ]; then
  zip=$("$top/scripts/package.sh" "$top/build/windows" "$top/build/vorlo~-package.zip" 2>/dev/null)
  rm -rf "$package"
  mkdir -p "$package"
  (cd "$package" && cmake -E tar xf "$zip")
  touch "$stamp"
fi
host=$top/build/windows-host
[ -f "$host/CMakeCache.txt" ] || cmake -S "$top/host/windows" -B "$host" \
  -DCMAKE_TOOLCHAIN_FILE="$top/packaging/mingw-w64-x86_64.cmake" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$host" -j"${CMAKE_BUILD_PARALLEL_LEVEL:-$(nproc)}" >/dev/null

export WINEPREFIX=${XDG_CACHE_HOME:-$HOME/.cache}/vorlo/wine WINEDEBUG=${WINEDEBUG:--all}
# Neither .NET nor a browser engine: Wine does not offer to install them into a new prefix.
export WINEDLLOVERRIDES="mscoree,mshtml="
export VORLO_PATH="Z:$package/vorlo~/externals"
mkdir -p "$WINEPREFIX"
# Wine's server stays 30 s after the program ends (3 s by default), so that runs one after
# another do not wait for it to start anew; it fails when one is running already.
/usr/lib/wine/wineserver -p30 2>/dev/null || true
exec /usr/lib/wine/wine64 "$host/bin/vorlo-host.exe" "$@"
