#!/usr/bin/env bash
# The cost of the queue journal the window keeps: a folder of 2,000 files of 4 KiB downloaded by
# the engine with 8 sessions, once recording its queue in the journal as the window does and
# once not, in rounds that take turns (each round in the other order); checks every copy and prints the best time of each and
# the journal's cost over the plain run.
#
# Environment:
#   BUILD_DIR    build folder (default: build); the script builds bench_journal in it
#   SERVER       vsftpd | pyftpdlib | auto (default auto: vsftpd when run as root)
#   FILES        number of files (default 2000)
#   FILE_KIB     size of each file in KiB (default 4)
#   TASKS        sessions (default 8)
#   REPEAT       rounds; the fastest run of each counts (default 5)
#   BENCH_TMPDIR folder for the files, the copies and the server's root (default $TMPDIR or /tmp)
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
bench=queue_journal_2000
files=${FILES:-2000}
file_kib=${FILE_KIB:-4}
tasks=${TASKS:-8}
repeat=${REPEAT:-5}

build_dir=${BUILD_DIR:-build}
[[ $build_dir = /* ]] || build_dir="$here/$build_dir"
cmake -S "$here" -B "$build_dir" -DORVANE_BENCH=ON >/dev/null
cmake --build "$build_dir" --target bench_journal orvane-ftp-cli >/dev/null
program="$build_dir/bench/bench_journal"

source "$here/bench/serverlib.bash"
bench_setup /usr/bin/time /usr/bin/python3

mkdir -p "$work/root/many" "$work/out"
make_files "$work/root/many" "$files" "$file_kib"
chmod -R a+rX "$work/root"
start_server

check_copy() {
    diff -r "$work/root/many" "$2" >/dev/null || { echo "$bench: $1's copy differs" >&2; exit 1; }
}

# run_client MODE : one download of the folder with the journal or without it
run_client() {
    rm -f "$work/journal"
    timed_run "$1" "$work/out/$1" "$program" "$port" many "$work/out/$1/" "$tasks" "$1" "$work/journal"
    # A finished queue leaves no journal behind.
    [ ! -e "$work/journal" ] || { echo "$bench: the journal was left behind" >&2; exit 1; }
}

echo "Downloading $files files of $file_kib KiB from $server on 127.0.0.1:$port (passive)," \
    "$tasks sessions, $repeat rounds of plain and journal in turns, best of each"
# Loads change by the minute here: the order flips every round, so neither side always runs
# second.
rounds_left=$repeat
repeat=1
for i in $(seq "$rounds_left"); do
    round_base=$((i - 1))
    if ((i % 2)); then rounds plain journal; else rounds journal plain; fi
done
repeat=$rounds_left
read -r plain_secs plain_cpu plain_load <<<"$(best_of plain)"
read -r journal_secs journal_cpu journal_load <<<"$(best_of journal)"
read -r plain_median plain_median_cpu _ <<<"$(median_of plain)"
read -r journal_median journal_median_cpu _ <<<"$(median_of journal)"
awk -v ps="$plain_median" -v pc="$plain_median_cpu" -v js="$journal_median" \
    -v jc="$journal_median_cpu" 'BEGIN {
    printf "medians: plain %.3f s CPU %.2f s, journal %.3f s CPU %.2f s: %+.1f%% time, %+.1f%% CPU\n",
        ps, pc, js, jc, (js / ps - 1) * 100, (jc / pc - 1) * 100
}'
awk -v ps="$plain_secs" -v pc="$plain_cpu" -v pl="$plain_load" -v js="$journal_secs" \
    -v jc="$journal_cpu" -v jl="$journal_load" -v n="$files" 'BEGIN {
    printf "plain            %8.1f files/s  %6.2f s  CPU %5.2f s  (load %s)\n", n / ps, ps, pc, pl
    printf "journal          %8.1f files/s  %6.2f s  CPU %5.2f s  (load %s)\n", n / js, js, jc, jl
    printf "cost of journal %+.1f%% time, %+.1f%% CPU\n", (js / ps - 1) * 100, (jc / pc - 1) * 100
}'
echo "goal: the journal at most 5% slower than the plain run"
