#!/usr/bin/env bash
# Checks the package zip: the two externals under externals/, the FFmpeg DLLs that the
# Windows one imports with a note on their source and FFmpeg's licence under support/, the demo
# files under media/, and each of the help patch, the reference page and package-info.json
# exactly when packaging/ holds it. Then, from the unpacked zip, the macOS bundle must pass its
# static check, and every example message of the help patch must load through vorlo-host with
# media/ as the search path.
#   package_test.sh REPO BUILD_DIR VORLO_HOST
set -euo pipefail
top=$1
build=$2
host=$3
zip=$build/vorlo~-package.zip
"$top/scripts/package.sh" "$build" "$zip" >/dev/null
listing=$(cmake -E tar tf "$zip")
failures=0
expect() { # PATH_IN_ZIP SHOULD_BE_THERE(0/1)
  local found=0
  grep -qx "vorlo~/$1" <<<"$listing" && found=1
  [ "$found" = "$2" ] || { echo "FAIL: vorlo~/$1 $([ "$2" = 1 ] && echo missing || echo "there without its source")"; failures=$((failures + 1)); }
}
expect "externals/vorlo~.mxe64" 1
for file in MacOS/vorlo~ Info.plist PkgInfo; do
  expect "externals/vorlo~.mxo/Contents/$file" 1
done
expect "support/FFMPEG-DLLS.txt" 1
expect "support/FFMPEG-LICENSE.txt" 1
while read -r dll; do
  expect "support/$dll" 1
done <"$build/ffmpeg-dlls.txt"
expect "media/vorlo-demo.flac" 1
expect "media/vorlo-demo-video.mkv" 1
for pair in "help/vorlo~.maxhelp:help/vorlo~.maxhelp" \
            "docs/refpages/vorlo~.maxref.xml:docs/refpages/vorlo~.maxref.xml" \
            "package-info.json:package-info.json"; do
  source=${pair%%:*}
  expect "${pair#*:}" "$([ -f "$top/packaging/$source" ] && echo 1 || echo 0)"
done
[ "$failures" -eq 0 ] || { echo "$listing"; exit 1; }
unpacked=$(mktemp -d)
trap 'rm -rf "$unpacked"' EXIT
(cd "$unpacked" && cmake -E tar xf "$zip")
python3 "$top/tests/packaging/macos_bundle_check.py" "$unpacked/vorlo~/externals/vorlo~.mxo" \
  "${MAX_SDK_DIR:-$top/third_party/max-sdk-base}"
if [ -f "$top/packaging/help/vorlo~.maxhelp" ]; then
  python3 "$top/tests/package_files_check.py" --load "$host" "$unpacked/vorlo~/help/vorlo~.maxhelp" "$unpacked/vorlo~/media"
fi
echo "ok: $(wc -l <<<"$listing") entries"
