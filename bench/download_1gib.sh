#!/usr/bin/env bash
# Downloads one 1 GiB file over loopback with orvane-ftp-cli, curl and lftp from the same local
# FTP server, in interleaved runs (ours, curl, lftp, ours, ...; the copy removed and `sync` before
# each run), and prints the throughput of each, the ratios and CPU seconds per GiB.
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
bench=download_1gib
size_mib=${SIZE_MIB:-1024}
repeat=${REPEAT:-3}
mode=${MODE:-passive}

source "$here/bench/serverlib.bash"
bench_setup curl lftp /usr/bin/time /usr/bin/python3

mkdir -p "$work/root/pub" "$work/out"
file="$work/root/pub/file.bin"
head -c "$((size_mib * 1024 * 1024))" /dev/urandom > "$file"
chmod 644 "$file"
bytes=$(stat -c %s "$file")
start_server

cli_mode=(--tls off)
curl_mode=(--disable-epsv)
lftp_mode="set ftp:passive-mode on; set ftp:prefer-epsv no"
if [ "$mode" = passive ]; then
    cli_mode+=(--passive)
else
    curl_mode=(--disable-eprt -P 127.0.0.1)
    lftp_mode="set ftp:passive-mode off"
fi
url="ftp://127.0.0.1:$port/pub/file.bin"

# run NAME COMMAND... : times one download into $work/out/NAME.bin; prints "seconds cpu_seconds"
run() {
    local name=$1
    shift
    sync
    timed_run "$name" "$work/out/$name.bin" "$@"
}

echo "Downloading $((bytes / 1048576)) MiB from $server on 127.0.0.1:$port ($mode), best of $repeat"
cli_runs=() curl_runs=() lftp_runs=()
for i in $(seq "$repeat"); do
    cli_runs+=("$(run cli "$cli" "${cli_mode[@]}" --tasks 1 --type binary get "$url" "$work/out/cli.bin")")
    curl_runs+=("$(run curl curl -sS "${curl_mode[@]}" -o "$work/out/curl.bin" "$url")")
    lftp_runs+=("$(run lftp lftp -c "set cmd:interactive no; set net:max-retries 1; $lftp_mode; \
        get $url -o $work/out/lftp.bin")")
    echo "  run $i: cli ${cli_runs[-1]% *} s, curl ${curl_runs[-1]% *} s, lftp ${lftp_runs[-1]% *} s"
done

cli_best=$(printf '%s\n' "${cli_runs[@]}" | best)
curl_best=$(printf '%s\n' "${curl_runs[@]}" | best)
lftp_best=$(printf '%s\n' "${lftp_runs[@]}" | best)
report "orvane-ftp-cli" "$cli_best"
report "curl" "$curl_best"
report "lftp" "$lftp_best"
report_ratio "$cli_best" "$curl_best" curl
report_ratio "$cli_best" "$lftp_best" lftp
