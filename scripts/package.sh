#!/usr/bin/env bash
# Builds the Windows and the macOS external and assembles the Max package folder vorlo~ as a zip:
#   scripts/package.sh [BUILD_DIR [OUT.zip [MACOS_BUILD_DIR]]]
# externals/vorlo~.mxe64 (built in BUILD_DIR, default build/windows) and the bundle
# externals/vorlo~.mxo (built in MACOS_BUILD_DIR, default build/macos), which holds its FFmpeg
# libraries itself; support/ with the FFmpeg DLLs that the Windows external imports,
# FFMPEG-DLLS.txt (the libraries of both, and where their source is) and FFmpeg's licence; the
# help patch, the reference page and package-info.json when packaging/ has them.
# The demo files of media/ are made with the ffmpeg program.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$top/build/windows}
out=$(realpath -m "${2:-$top/build/vorlo~-package.zip}")
macos_build=$(realpath -m "${3:-$top/build/macos}")
external=$("$top/scripts/build-windows.sh" "$build")
bundle=$("$top/scripts/build-macos.sh" "$macos_build")

stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
pkg=$stage/vorlo~
mkdir -p "$pkg/externals" "$pkg/support"
cp "$external" "$pkg/externals/"
cp -R "$bundle" "$pkg/externals/"
copy_if_made() { # FILE_UNDER_PACKAGING DEST_FOLDER
  if [ -f "$top/packaging/$1" ]; then
    mkdir -p "$pkg/$2"
    cp "$top/packaging/$1" "$pkg/$2/"
  fi
}
copy_if_made "help/vorlo~.maxhelp" help
copy_if_made "docs/refpages/vorlo~.maxref.xml" docs/refpages
copy_if_made "package-info.json" .
# Max finds the DLLs that an external needs in its package's support folder: the build put
# the FFmpeg DLLs that it was linked against into its own support/.
dlls=("$build"/support/*.dll)
if [ ! -f "${dlls[0]}" ] || [ ! -f "$build/ffmpeg-build-info.txt" ]; then
  echo "scripts/package.sh: $build has no FFmpeg DLLs: build it against a Windows FFmpeg build (scripts/build-windows.sh)" >&2
  exit 1
fi
cp "${dlls[@]}" "$pkg/support/"
# The build information's first line: "ffmpeg DEBIAN_VERSION (SUITE), windows".
read -r _ debian_version suite _ <"$build/ffmpeg-build-info.txt"
suite=${suite//[(),]/}
upstream=${debian_version#*:}
upstream=${upstream%%-*}
# Max adds a package's media/ to its search path: the help patcher names these files.
"$top/scripts/demo-media.sh" "$pkg/media"
{
  echo "vorlo~.mxe64 uses these DLLs of FFmpeg $upstream, in this folder:"
  sed 's/^/  /' "$build/ffmpeg-dlls.txt"
  echo
  echo "FFmpeg is free software under the GNU Lesser General Public License, version 2.1 or later"
  echo "(FFMPEG-LICENSE.txt); these DLLs hold LGPL parts only. They were built from the upstream"
  echo "source ffmpeg_$upstream.orig.tar.xz, unchanged (without Debian's patches), of Debian's"
  echo "source package ffmpeg, version $debian_version (Debian's $suite suite), which holds their"
  echo "complete source: apt-get source ffmpeg=$debian_version. Configured with:"
  sed -n '2s/ --prefix=[^ ]*//p' "$build/ffmpeg-build-info.txt"
  echo
  echo "vorlo~.mxo holds the same FFmpeg release for macOS in its Contents/Frameworks, built from"
  echo "the same source, for arm64 and x86_64 (packaging/macos-cross-cc is the repository's"
  echo "compiler wrapper):"
  (cd "$bundle/Contents/Frameworks" && ls | sed 's/^/  /')
  echo "Configured with:"
  sed -n 's/^\(\.\/configure\) --prefix=[^ ]*/\1/p' "$macos_build/ffmpeg-build-info.txt"
} >"$pkg/support/FFMPEG-DLLS.txt"
tarball=${XDG_CACHE_HOME:-$HOME/.cache}/vorlo/ffmpeg/sources/$upstream/ffmpeg_$upstream.orig.tar.xz
tar -xJOf "$tarball" "ffmpeg-$upstream/COPYING.LGPLv2.1" >"$pkg/support/FFMPEG-LICENSE.txt"

mkdir -p "$(dirname "$out")"
rm -f "$out"
(cd "$stage" && cmake -E tar cf "$out" --format=zip vorlo~)
echo "$out"
