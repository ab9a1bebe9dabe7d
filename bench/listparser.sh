#!/usr/bin/env bash
# The listing parser alone, in lines per second. Turns ORVANE_BENCH on in the build folder and
# builds only the bench program.
#
# Environment:
#   BUILD_DIR    build folder (default: build)
#   LINES        lines in the sample (default 100000)
#   SECONDS_EACH seconds per measurement (default 3)
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
build_dir=${BUILD_DIR:-build}
[[ $build_dir = /* ]] || build_dir="$here/$build_dir"
cmake -S "$here" -B "$build_dir" -DORVANE_BENCH=ON >/dev/null
cmake --build "$build_dir" --target bench_listparser >/dev/null
echo "Parsing ${LINES:-100000} listing lines of seven shapes, ${SECONDS_EACH:-3} s each"
"$build_dir/bench/bench_listparser" "${LINES:-100000}" "${SECONDS_EACH:-3}"
