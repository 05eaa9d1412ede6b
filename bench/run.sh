#!/usr/bin/env bash
# The benchmark in one command: builds the plain configuration, times whole loads against
# the decoder's own floor (bench/run.py), then the frame writer alone (writer_bench).
#   bench/run.sh [ROUNDS [MINUTES]]     defaults: 9 rounds of 10-minute files
# A quick run: bench/run.sh 3 1
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${VORLO_BENCH_BUILD:-$top/build/plain}
rounds=${1:-9}
minutes=${2:-10}
"$top/scripts/build.sh" "$build" "" >/dev/null
python3 "$top/bench/run.py" "$build" "$rounds" "$minutes"
echo
echo "The frame writer alone:"
min_time=$([ "$rounds" -ge 9 ] && echo 0.5 || echo 0.1)
"$build/bench/writer_bench" --benchmark_min_time="$min_time"
