#!/usr/bin/env bash
# Configures and builds one configuration: scripts/build.sh DIR [SANITIZERS]
# The Max SDK is the repository's third_party/max-sdk-base, or $MAX_SDK_DIR.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
dir=$1
sanitize=${2:-}
cmake -S "$top" -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVORLO_SANITIZE="$sanitize" \
  -DVORLO_FIXTURE_DIR="$top/build/fixtures" ${MAX_SDK_DIR:+-DVORLO_MAX_SDK_DIR="$MAX_SDK_DIR"} >/dev/null
cmake --build "$dir" -j"$(nproc)"
