#!/usr/bin/env bash
# The macOS build's tests: builds the bundle (FFmpeg 4.3 for macOS from the cache, built once per
# machine), with the object's warnings as errors, checks it statically as dyld and Max would meet
# it (tests/packaging/macos_bundle_check.py), then checks that check on copies of the bundle
# broken in one way each (tests/packaging/macos_bundle_mutations.py).
#   scripts/test-macos.sh [BUILD_DIR]   # default build/macos
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
dir=${1:-$top/build/macos}
sdk=${MAX_SDK_DIR:-$top/third_party/max-sdk-base}
started=$(date +%s)
echo "=== macOS bundle"
mkdir -p "$(dirname "$dir")"
# A first run builds FFmpeg for macOS here, where its progress shows.
"$top/scripts/ffmpeg.sh" 4.3 --macos >/dev/null
bundle=$("$top/scripts/build-macos.sh" "$dir" -DVORLO_WERROR=ON 2>"$dir.log") || { tail -50 "$dir.log"; exit 1; }
python3 "$top/tests/packaging/macos_bundle_check.py" "$bundle" "$sdk"
python3 "$top/tests/packaging/macos_bundle_mutations.py" "$bundle" "$sdk"
echo "macOS bundle: $(( $(date +%s) - started )) s"
