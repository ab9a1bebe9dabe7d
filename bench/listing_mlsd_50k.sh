#!/usr/bin/env bash
# Lists one folder of 50,000 entries on pyftpdlib, end to end (connect, log in, list, print,
# quit), from a host that offers MLST and from the same root with MLST hidden (a host that
# lists with LIST only): with `orvane-ftp-cli ls` (MLSD on the first, LIST on the second), with
# `lftp -e 'cls -1'` on each (lftp too lists with MLSD where it can), and with curl asking for
# the same listing with MLSD or LIST and writing it out as it comes: curl does next to nothing
# with the text, so its time is what the server alone needs to send the listing, the floor
# under every client. Every run writes to a file and must print one line per entry. Runs are
# interleaved (one of each client per round); the median and the fastest of each are shown.
#
# Environment:
#   BUILD_DIR    build folder holding src/orvane-ftp-cli (default: build)
#   BASELINE_CLI another build of the CLI, run in the same rounds (before and after a change)
#   ENTRIES      entries in the folder (default 50000)
#   REPEAT       rounds (default 5)
#   BENCH_TMPDIR folder for the server's root (default $TMPDIR or /tmp)
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
bench=listing_mlsd_50k
repeat=${REPEAT:-5}

source "$here/bench/serverlib.bash"
SERVER=pyftpdlib
bench_setup lftp curl /usr/bin/time /usr/bin/python3
make_listing "${ENTRIES:-50000}"
start_pyftpd mlst_port mlst
start_pyftpd list_port list --no-mlst

# server_ticks PID : the CPU time (user + system, in clock ticks) a server has used so far
server_ticks() { awk '{ print $14 + $15 }' "/proc/$1/stat"; }
tick=$(getconf CLK_TCK)

# run_client NAME : times one listing; prints "seconds cpu_seconds" and adds the CPU seconds the
# server spent on it to "$work/NAME.server"
run_client() {
    local port=$mlst_port program=$cli server=${peer_pids[0]}
    case $1 in *list*) port=$list_port server=${peer_pids[1]} ;; esac
    local before
    before=$(server_ticks "$server")
    run_listing "$1" "$port" "$program"
    awk -v a="$before" -v b="$(server_ticks "$server")" -v t="$tick" \
        'BEGIN { printf "%.2f\n", (b - a) / t }' >>"$work/$1.server"
}

run_listing() {
    local port=$2 program=$3
    case $1 in *before) program=$base_cli ;; esac
    local url="ftp://127.0.0.1:$port/big/"
    case $1 in
        mlsd* | list*) timed_run "$1" "$work/none" "$program" --tls off --passive ls "$url" ;;
        lftp-*) timed_run "$1" "$work/none" lftp \
            -e 'set ftp:passive-mode on; set cache:enable no; cls -1; quit' "$url" ;;
        curl-mlsd) timed_run "$1" "$work/none" curl -sS --ftp-pasv -X MLSD "$url" ;;
        curl-list) timed_run "$1" "$work/none" curl -sS --ftp-pasv "$url" ;;
    esac
}

# server_cpu_of CLIENT : the median of the server's CPU seconds over CLIENT's runs
server_cpu_of() { sort -n "$work/$1.server" | sed -n "$((($(wc -l <"$work/$1.server") + 1) / 2))p"; }

clients=(mlsd lftp-mlsd curl-mlsd list lftp-list curl-list)
[ -n "$base_cli" ] && clients=(mlsd-before "${clients[@]:0:3}" list-before "${clients[@]:3}")
echo "Listing $entries entries from pyftpdlib on 127.0.0.1 (passive), $repeat rounds"
rounds "${clients[@]}"

declare -A label=([mlsd]="orvane-ftp-cli (MLSD)" [list]="orvane-ftp-cli (LIST)"
    [mlsd-before]="baseline CLI (MLSD)" [list-before]="baseline CLI (LIST)"
    [lftp-mlsd]="lftp cls -1 (MLSD)" [lftp-list]="lftp cls -1 (LIST)"
    [curl-mlsd]="curl, server alone (MLSD)" [curl-list]="curl, server alone (LIST)")
secs_of() { "${1}_of" "$2" | cut -d' ' -f1; }
for which in median best; do
    for c in "${clients[@]}"; do
        read -r secs cpu load <<<"$("${which}_of" "$c")"
        awk -v l="${label[$c]} ($which)" -v n="$entries" -v s="$secs" -v c="$cpu" -v ld="$load" 'BEGIN {
            printf "%-35s %6.3f s  %9.0f entries/s  CPU %5.2f s  (load %s)\n", l, s, n / s, c, ld
        }'
    done
    [ "$which" = median ] && for c in "${clients[@]}"; do
        read -r _ cpu _ <<<"$(median_of "$c")"
        awk -v l="${label[$c]}" -v c="$cpu" -v s="$(server_cpu_of "$c")" 'BEGIN {
            printf "%-35s CPU: client %5.2f s + server %5.2f s = %5.2f s (medians)\n", l, c, s, c + s
        }'
    done
    for kind in mlsd list; do
        awk -v w="$which" -v k="${kind^^}" -v a="$(secs_of "$which" "$kind")" \
            -v b="$(secs_of "$which" "lftp-$kind")" -v f="$(secs_of "$which" "curl-$kind")" 'BEGIN {
            printf "%s, %s: orvane-ftp-cli / lftp %.2f (goal 0.50 or less), server alone / lftp %.2f\n",
                w, k, a / b, f / b
        }'
    done
done
