#!/usr/bin/env bash
# Lists one folder of 50,000 entries on pyftpdlib, end to end (connect, log in, list, print,
# quit): with `orvane-ftp-cli ls` from a host that offers MLST (the CLI lists with MLSD), from
# the same host with MLST hidden (the CLI lists with LIST), and with `lftp -e 'cls -1'` on the
# first. Runs are interleaved (ours, theirs, ours, ...) and the fastest of each counts.
#
# Environment:
#   BUILD_DIR    build folder holding src/orvane-ftp-cli (default: build)
#   ENTRIES      entries in the folder (default 50000)
#   REPEAT       listings per client; the fastest counts (default 3)
#   BENCH_TMPDIR folder for the server's root (default $TMPDIR or /tmp)
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
bench=listing_mlsd_50k
entries=${ENTRIES:-50000}
repeat=${REPEAT:-3}

source "$here/bench/serverlib.bash"
SERVER=pyftpdlib
bench_setup lftp /usr/bin/time /usr/bin/python3

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

# start_pyftpd NAME [--no-mlst]: prints the port once the server listens.
pids=()
start_pyftpd() {
    local name=$1
    shift
    rm -f "$work/$name.ready"
    /usr/bin/python3 "$here/tests/peers/pyftpd_server.py" --root "$work/root" --user bench \
        --password bench --ready-file "$work/$name.ready" --log /dev/null "$@" \
        >"$work/$name.log" 2>&1 &
    pids+=($!)
    for _ in $(seq 100); do
        [ -s "$work/$name.ready" ] && break
        sleep 0.1
    done
    [ -s "$work/$name.ready" ] || { echo "$bench: pyftpdlib did not start" >&2; exit 1; }
    awk '{ print $2 }' "$work/$name.ready"
}
mlst_port=$(start_pyftpd mlst)
list_port=$(start_pyftpd list --no-mlst)
trap 'kill "${pids[@]}" 2>/dev/null; rm -rf "$work"' EXIT

# run NAME COMMAND... : times one listing; prints "seconds cpu_seconds"
run() {
    local name=$1
    shift
    local start end lines
    start=$(date +%s%N)
    /usr/bin/time -f '%U %S' -o "$work/time" "$@" >"$work/$name.out" 2>"$work/stderr" || {
        echo "$bench: $name failed:" >&2
        cat "$work/stderr" >&2
        exit 1
    }
    end=$(date +%s%N)
    lines=$(wc -l < "$work/$name.out")
    [ "$lines" -eq "$entries" ] || {
        echo "$bench: $name printed $lines lines, not $entries" >&2
        exit 1
    }
    awk -v ns=$((end - start)) '{ printf "%.3f %.3f\n", ns / 1e9, $1 + $2 }' "$work/time"
}
best() { sort -n | head -1; }

echo "Listing $entries entries from pyftpdlib on 127.0.0.1 (passive), best of $repeat"
mlsd_runs=() list_runs=() lftp_runs=()
for i in $(seq "$repeat"); do
    mlsd_runs+=("$(run mlsd "$cli" --passive ls "ftp://127.0.0.1:$mlst_port/big/")")
    lftp_runs+=("$(run lftp lftp -e 'set ftp:passive-mode on; cls -1; quit' \
        "ftp://127.0.0.1:$mlst_port/big/")")
    list_runs+=("$(run list "$cli" --passive ls "ftp://127.0.0.1:$list_port/big/")")
    echo "  run $i: MLSD ${mlsd_runs[-1]% *} s, lftp ${lftp_runs[-1]% *} s," \
        "LIST ${list_runs[-1]% *} s"
done

report() {
    read -r secs cpu <<<"$2"
    awk -v l="$1" -v n="$entries" -v s="$secs" -v c="$cpu" 'BEGIN {
        printf "%-22s %6.3f s  %9.0f entries/s  CPU %5.2f s\n", l, s, n / s, c
    }'
}
mlsd_best=$(printf '%s\n' "${mlsd_runs[@]}" | best)
list_best=$(printf '%s\n' "${list_runs[@]}" | best)
lftp_best=$(printf '%s\n' "${lftp_runs[@]}" | best)
report "orvane-ftp-cli (MLSD)" "$mlsd_best"
report "orvane-ftp-cli (LIST)" "$list_best"
report "lftp cls -1" "$lftp_best"
awk -v a="${mlsd_best% *}" -v l="${list_best% *}" -v b="${lftp_best% *}" 'BEGIN {
    printf "MLSD time / lftp time: %.2f, LIST time / lftp time: %.2f (goal 0.50 or less)\n",
        a / b, l / b
}'
