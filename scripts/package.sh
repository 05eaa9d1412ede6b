#!/usr/bin/env bash
# Builds the Windows external and assembles the Max package folder vorlo~ as a zip:
#   scripts/package.sh [BUILD_DIR [OUT.zip]]
# The help patch, the reference page and package-info.json go in when packaging/ has them;
# the demo files of media/ are made with the ffmpeg program.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$top/build/windows}
out=$(realpath -m "${2:-$top/build/vorlo~-package.zip}")
external=$("$top/scripts/build-windows.sh" "$build")

stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
pkg=$stage/vorlo~
mkdir -p "$pkg/externals" "$pkg/support"
cp "$external" "$pkg/externals/"
copy_if_made() { # FILE_UNDER_PACKAGING DEST_FOLDER
  if [ -f "$top/packaging/$1" ]; then
    mkdir -p "$pkg/$2"
    cp "$top/packaging/$1" "$pkg/$2/"
  fi
}
copy_if_made "help/vorlo~.maxhelp" help
copy_if_made "docs/refpages/vorlo~.maxref.xml" docs/refpages
copy_if_made "package-info.json" .
# Max adds a package's media/ to its search path: the help patcher names these files.
"$top/scripts/demo-media.sh" "$pkg/media"
# Max finds the DLLs that an external needs in its package's support folder.
{
  echo "vorlo~.mxe64 needs these FFmpeg DLLs (a 64-bit shared FFmpeg build of the same release) in this folder:"
  cat "$build/ffmpeg-dlls.txt"
} >"$pkg/support/FFMPEG-DLLS.txt"

mkdir -p "$(dirname "$out")"
rm -f "$out"
(cd "$stage" && cmake -E tar cf "$out" --format=zip vorlo~)
echo "$out"
