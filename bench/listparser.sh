#!/usr/bin/env bash
# The listing parser alone, in lines per second. Turns ORVANE_BENCH on in the build folder and
# builds only the bench program. With BASELINE_BENCH naming the same program from another build,
# the two take turns for REPEAT rounds and the best figure of each is printed.
#
# Environment:
#   BUILD_DIR      build folder (default: build)
#   BASELINE_BENCH a bench_listparser of another build to run in the same rounds (optional)
#   LINES          lines in the sample (default 100000)
#   SECONDS_EACH   seconds per measurement (default 3)
#   REPEAT         rounds (default 1 without a baseline, 3 with one)
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
build_dir=${BUILD_DIR:-build}
[[ $build_dir = /* ]] || build_dir="$here/$build_dir"
cmake -S "$here" -B "$build_dir" -DORVANE_BENCH=ON >/dev/null
cmake --build "$build_dir" --target bench_listparser >/dev/null
lines=${LINES:-100000}
seconds=${SECONDS_EACH:-3}
base=${BASELINE_BENCH:-}
programs=("$build_dir/bench/bench_listparser")
labels=(this)
if [ -n "$base" ]; then
    programs=("$base" "${programs[@]}")
    labels=(baseline this)
fi
repeat=${REPEAT:-$((${#programs[@]} == 1 ? 1 : 3))}

echo "Parsing $lines listing lines of seven shapes, $seconds s each, $repeat rounds of ${labels[*]}"
declare -A best
for round in $(seq "$repeat"); do
    for i in "${!programs[@]}"; do
        load=$(cut -d' ' -f1 /proc/loadavg)
        while IFS=: read -r what rate; do
            rate=${rate//[^0-9]/}
            what=${what%"${what##*[! ]}"}
            echo "  round $round ${labels[i]}: $what $rate lines/s (load $load)"
            key="${labels[i]}:$what"
            if [ -z "${best[$key]:-}" ] || [ "$rate" -gt "${best[$key]%% *}" ]; then
                best[$key]="$rate $load"
            fi
        done < <("${programs[i]}" "$lines" "$seconds")
    done
done
printf '%s\n' "${!best[@]}" | sort | while IFS= read -r key; do
    read -r rate load <<<"${best[$key]}"
    printf '%-40s %10s lines/s  (load %s)\n' "$key" "$rate" "$load"
done
