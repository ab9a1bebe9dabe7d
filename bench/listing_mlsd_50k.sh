#!/usr/bin/env bash
# Lists one folder of 50,000 entries on pyftpdlib, end to end (connect, log in, list, print,
# quit): with `orvane-ftp-cli ls` from a host that offers MLST (the CLI lists with MLSD), from
# the same host with MLST hidden (the CLI lists with LIST), and with `lftp -e 'cls -1'` on the
# first. Runs are interleaved (ours, theirs, ours, ...) and the fastest of each counts.
#
# Environment:
#   BUILD_DIR    build folder holding src/orvane-ftp-cli (default: build)
#   ENTRIES      entries in the folder (default 50000)
#   REPEAT       rounds; the fastest run of each client counts (default 3)
#   BENCH_TMPDIR folder for the server's root (default $TMPDIR or /tmp)
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
bench=listing_mlsd_50k
repeat=${REPEAT:-3}

source "$here/bench/serverlib.bash"
SERVER=pyftpdlib
bench_setup lftp /usr/bin/time /usr/bin/python3
make_listing "${ENTRIES:-50000}"
start_pyftpd mlst_port mlst
start_pyftpd list_port list --no-mlst

# run_client NAME : times one listing; prints "seconds cpu_seconds"
run_client() {
    case $1 in
        mlsd) timed_run "$1" "$work/none" "$cli" --tls off --passive ls \
            "ftp://127.0.0.1:$mlst_port/big/" ;;
        list) timed_run "$1" "$work/none" "$cli" --tls off --passive ls \
            "ftp://127.0.0.1:$list_port/big/" ;;
        lftp) timed_run "$1" "$work/none" lftp \
            -e 'set ftp:passive-mode on; set cache:enable no; cls -1; quit' \
            "ftp://127.0.0.1:$mlst_port/big/" ;;
    esac
}

echo "Listing $entries entries from pyftpdlib on 127.0.0.1 (passive), $repeat rounds, best of each"
rounds mlsd lftp list

declare -A label=([mlsd]="orvane-ftp-cli (MLSD)" [list]="orvane-ftp-cli (LIST)" [lftp]="lftp cls -1")
for c in mlsd list lftp; do
    read -r secs cpu load <<<"$(best_of "$c")"
    awk -v l="${label[$c]}" -v n="$entries" -v s="$secs" -v c="$cpu" -v ld="$load" 'BEGIN {
        printf "%-22s %6.3f s  %9.0f entries/s  CPU %5.2f s  (load %s)\n", l, s, n / s, c, ld
    }'
done
awk -v a="$(best_of mlsd | cut -d' ' -f1)" -v l="$(best_of list | cut -d' ' -f1)" \
    -v b="$(best_of lftp | cut -d' ' -f1)" 'BEGIN {
    printf "MLSD time / lftp time: %.2f, LIST time / lftp time: %.2f (goal 0.50 or less)\n",
        a / b, l / b
}'
