#!/usr/bin/env bash
# Lists one folder of 100,000 entries on a local FTP server, end to end (connect, log in, list,
# print, quit), with `orvane-ftp-cli ls` and with `lftp -e 'cls -1; quit'`, and prints the time
# of each and their ratio.
#
# Environment:
#   BUILD_DIR    build folder holding src/orvane-ftp-cli (default: build)
#   SERVER       vsftpd | pyftpdlib | auto (default auto: vsftpd when run as root)
#   ENTRIES      entries in the folder (default 100000)
#   REPEAT       listings per client; the fastest counts (default 3)
#   BENCH_TMPDIR folder for the server's root (default $TMPDIR or /tmp)
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
build_dir=${BUILD_DIR:-build}
[[ $build_dir = /* ]] || build_dir="$here/$build_dir"
cli="$build_dir/src/orvane-ftp-cli"
entries=${ENTRIES:-100000}
repeat=${REPEAT:-3}
server=${SERVER:-auto}

for tool in lftp /usr/bin/time /usr/bin/python3; do
    command -v "$tool" >/dev/null || { echo "listing_100k: $tool is missing" >&2; exit 1; }
done
[ -x "$cli" ] || { echo "listing_100k: $cli is not built (run make build)" >&2; exit 1; }

work=$(mktemp -d "${BENCH_TMPDIR:-${TMPDIR:-/tmp}}/orvane-bench.XXXXXX")
source "$here/bench/serverlib.bash"
trap 'stop_server; rm -rf "$work"' EXIT
pick_server

# Files of different (sparse) sizes with names of different lengths, and one folder in 50.
mkdir -p "$work/root/big"
/usr/bin/python3 - "$work/root/big" "$entries" <<'PY'
import os, sys
folder, count = sys.argv[1], int(sys.argv[2])
for i in range(count):
    name = os.path.join(folder, "entry %06d %s" % (i, "x" * (i % 23)))
    if i % 50 == 0:
        os.mkdir(name)
    else:
        with open(name, "wb") as f:
            f.truncate(i * 37)
PY
start_server
url="ftp://127.0.0.1:$port/big/"

# run NAME EXPECTED COMMAND... : times one listing; prints "seconds cpu_seconds"
run() {
    local name=$1
    shift
    local start end
    start=$(date +%s%N)
    /usr/bin/time -f '%U %S' -o "$work/time" "$@" >"$work/$name.out" 2>"$work/stderr" || {
        echo "listing_100k: $name failed:" >&2
        cat "$work/stderr" >&2
        exit 1
    }
    end=$(date +%s%N)
    local lines
    lines=$(wc -l < "$work/$name.out")
    [ "$lines" -eq "$entries" ] || {
        echo "listing_100k: $name printed $lines lines, not $entries" >&2
        exit 1
    }
    awk -v ns=$((end - start)) '{ printf "%.3f %.3f\n", ns / 1e9, $1 + $2 }' "$work/time"
}

best() { sort -n | head -1; }

echo "Listing $entries entries from $server on 127.0.0.1:$port (passive), best of $repeat"
cli_runs=() lftp_runs=()
for i in $(seq "$repeat"); do
    cli_runs+=("$(run cli "$cli" --passive ls "$url")")
    lftp_runs+=("$(run lftp lftp -e 'set ftp:passive-mode on; cls -1; quit' "$url")")
    echo "  run $i: cli ${cli_runs[-1]% *} s, lftp ${lftp_runs[-1]% *} s"
done

report() {
    local label=$1 runs=$2
    read -r secs cpu <<<"$(printf '%s\n' "$runs" | best)"
    awk -v l="$label" -v n="$entries" -v s="$secs" -v c="$cpu" 'BEGIN {
        printf "%-16s %6.3f s  %9.0f entries/s  CPU %5.2f s\n", l, s, n / s, c
    }'
}
cli_best=$(printf '%s\n' "${cli_runs[@]}" | best)
lftp_best=$(printf '%s\n' "${lftp_runs[@]}" | best)
report "orvane-ftp-cli" "$cli_best"
report "lftp cls -1" "$lftp_best"
awk -v a="${cli_best% *}" -v b="${lftp_best% *}" \
    'BEGIN { printf "ratio (lftp time / cli time): %.2f (goal 1.00 or more)\n", b / a }'
