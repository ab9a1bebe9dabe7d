#!/usr/bin/env bash
# Downloads one 1 GiB file over loopback with orvane-ftp-cli and with curl from the same local
# FTP server and prints the throughput of each, their ratio and CPU seconds per GiB.
#
# Environment:
#   BUILD_DIR    build folder holding src/orvane-ftp-cli (default: build)
#   SERVER       vsftpd | pyftpdlib | auto (default auto: vsftpd when run as root)
#   SIZE_MIB     size of the file in MiB (default 1024)
#   REPEAT       downloads per client; the fastest counts (default 3)
#   BENCH_TMPDIR folder for the file, the copies and the server's root (default $TMPDIR or
#                /tmp; /dev/shm keeps the disk out of the measurement)
#   MODE         passive | active data connections for both clients (default passive)
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
build_dir=${BUILD_DIR:-build}
[[ $build_dir = /* ]] || build_dir="$here/$build_dir"
cli="$build_dir/src/orvane-ftp-cli"
size_mib=${SIZE_MIB:-1024}
repeat=${REPEAT:-3}
mode=${MODE:-passive}
server=${SERVER:-auto}

for tool in curl /usr/bin/time /usr/bin/python3; do
    command -v "$tool" >/dev/null || { echo "download_1gib: $tool is missing" >&2; exit 1; }
done
[ -x "$cli" ] || { echo "download_1gib: $cli is not built (run make build)" >&2; exit 1; }

work=$(mktemp -d "${BENCH_TMPDIR:-${TMPDIR:-/tmp}}/orvane-bench.XXXXXX")
source "$here/bench/serverlib.bash"
trap 'stop_server; rm -rf "$work"' EXIT
pick_server

mkdir -p "$work/root/pub" "$work/out"
file="$work/root/pub/file.bin"
head -c "$((size_mib * 1024 * 1024))" /dev/urandom > "$file"
chmod 644 "$file"
bytes=$(stat -c %s "$file")
start_server

cli_mode=()
curl_mode=(--disable-epsv)
if [ "$mode" = passive ]; then
    cli_mode=(--passive)
else
    curl_mode=(--disable-eprt -P 127.0.0.1)
fi
url="ftp://127.0.0.1:$port/pub/file.bin"

# run NAME COMMAND... : times one download into $work/out/NAME.bin; prints "seconds cpu_seconds"
run() {
    local name=$1 target="$work/out/$1.bin"
    shift
    rm -f "$target"
    local start end
    start=$(date +%s%N)
    /usr/bin/time -f '%U %S' -o "$work/time" "$@" >/dev/null 2>"$work/stderr" || {
        echo "download_1gib: $name failed:" >&2
        cat "$work/stderr" >&2
        exit 1
    }
    end=$(date +%s%N)
    cmp -s "$file" "$target" || { echo "download_1gib: $name's copy differs" >&2; exit 1; }
    rm -f "$target"
    awk -v ns=$((end - start)) '{ printf "%.3f %.3f\n", ns / 1e9, $1 + $2 }' "$work/time"
}

best() { sort -n | head -1; }

echo "Downloading $((bytes / 1048576)) MiB from $server on 127.0.0.1:$port ($mode), best of $repeat"
cli_runs=() curl_runs=()
for i in $(seq "$repeat"); do
    cli_runs+=("$(run cli "$cli" "${cli_mode[@]}" --tasks 1 --type binary get "$url" "$work/out/cli.bin")")
    curl_runs+=("$(run curl curl -sS "${curl_mode[@]}" -o "$work/out/curl.bin" "$url")")
    echo "  run $i: cli ${cli_runs[-1]% *} s, curl ${curl_runs[-1]% *} s"
done

report() {
    local label=$1 runs=$2
    read -r secs cpu <<<"$(printf '%s\n' "$runs" | best)"
    awk -v l="$label" -v b="$bytes" -v s="$secs" -v c="$cpu" 'BEGIN {
        gib = b / 1073741824
        printf "%-16s %8.1f MiB/s  %6.2f s  CPU %5.2f s per GiB\n", l, b / 1048576 / s, s, c / gib
    }'
}
cli_best=$(printf '%s\n' "${cli_runs[@]}" | best)
curl_best=$(printf '%s\n' "${curl_runs[@]}" | best)
report "orvane-ftp-cli" "$cli_best"
report "curl" "$curl_best"
awk -v a="${cli_best% *}" -v b="${curl_best% *}" \
    'BEGIN { printf "ratio (cli throughput / curl throughput): %.2f (goal 0.90)\n", b / a }'
