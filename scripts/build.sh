#!/usr/bin/env bash
# Configures and builds one configuration: scripts/build.sh DIR [SANITIZERS]
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
dir=$1
sanitize=${2:-}
cmake -S "$top" -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVORLO_SANITIZE="$sanitize" \
  -DVORLO_FIXTURE_DIR="$top/build/fixtures" >/dev/null
cmake --build "$dir" -j"$(nproc)"
