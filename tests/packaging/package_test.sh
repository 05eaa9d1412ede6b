#!/usr/bin/env bash
# Checks the package zip: the external under externals/, the FFmpeg DLLs it imports with a
# note on their source and FFmpeg's licence under support/, and each of the help patch, the reference page and package-info.json exactly
# when packaging/ holds it.
#   package_test.sh REPO BUILD_DIR
set -euo pipefail
top=$1
build=$2
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
expect "support/FFMPEG-DLLS.txt" 1
expect "support/FFMPEG-LICENSE.txt" 1
while read -r dll; do
  expect "support/$dll" 1
done <"$build/ffmpeg-dlls.txt"
for pair in "help/vorlo~.maxhelp:help/vorlo~.maxhelp" \
            "docs/refpages/vorlo~.maxref.xml:docs/refpages/vorlo~.maxref.xml" \
            "package-info.json:package-info.json"; do
  source=${pair%%:*}
  expect "${pair#*:}" "$([ -f "$top/packaging/$source" ] && echo 1 || echo 0)"
done
[ "$failures" -eq 0 ] || { echo "$listing"; exit 1; }
echo "ok: $(wc -l <<<"$listing") entries"
