#!/usr/bin/env bash
# Lists one folder of 100,000 entries on a local FTP server, end to end (connect, log in, list,
# print, quit), with `orvane-ftp-cli ls` and with `lftp -e 'cls -1; quit'`, and prints the time
# of each and their ratio.
#
# Environment:
#   BUILD_DIR    build folder holding src/orvane-ftp-cli (default: build)
#   BASELINE_CLI another build of orvane-ftp-cli to run in the same rounds (optional)
#   SERVER       vsftpd | pyftpdlib | auto (default auto: vsftpd when run as root)
#   ENTRIES      entries in the folder (default 100000)
#   REPEAT       rounds; the fastest run of each client counts (default 3)
#   BENCH_TMPDIR folder for the server's root (default $TMPDIR or /tmp)
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
bench=listing_100k
entries=${ENTRIES:-100000}
repeat=${REPEAT:-3}

source "$here/bench/serverlib.bash"
bench_setup lftp /usr/bin/time /usr/bin/python3

make_listing "$entries"
start_server
url="ftp://127.0.0.1:$port/big/"

# run_client NAME : times one listing; prints "seconds cpu_seconds"
run_client() {
    case $1 in
        cli) timed_run "$1" "$work/none" "$cli" --tls off --passive ls "$url" ;;
        cli-before) timed_run "$1" "$work/none" "$base_cli" --passive ls "$url" ;;
        lftp) timed_run "$1" "$work/none" lftp \
            -e 'set ftp:passive-mode on; set cache:enable no; cls -1; quit' "$url" ;;
    esac
}

mapfile -t names < <(clients lftp)
echo "Listing $entries entries from $server on 127.0.0.1:$port (passive)," \
    "$repeat rounds of ${names[*]}, best of each"
rounds "${names[@]}"

read -r lftp_secs _ <<<"$(best_of lftp)"
for c in "${names[@]}"; do
    read -r secs cpu load <<<"$(best_of "$c")"
    awk -v l="$(client_label "$c")" -v n="$entries" -v s="$secs" -v c="$cpu" -v ld="$load" \
        -v ls="$lftp_secs" 'BEGIN {
        printf "%-16s %6.3f s  %9.0f entries/s  CPU %5.2f s", l, s, n / s, c
        if (l != "lftp") printf "  lftp time / this time %.2f", ls / s
        printf "  (load %s)\n", ld
    }'
done
echo "goal: the CLI at least as fast as lftp, and no slower than the baseline"
