#!/usr/bin/env bash
# Downloads one 1 GiB file over loopback with orvane-ftp-cli, curl and lftp from the same local
# FTP server and prints the throughput of each (median and best), the ratios and CPU seconds per
# GiB.
#
# Environment:
#   BUILD_DIR    build folder holding src/orvane-ftp-cli (default: build)
#   SERVER       vsftpd | pyftpdlib | auto (default auto: vsftpd when run as root)
#   SIZE_MIB     size of the file in MiB (default 1024)
#   REPEAT       downloads per client; the fastest counts (default 3)
#   BENCH_TMPDIR folder for the file, the copies and the server's root (default $TMPDIR or
#                /tmp; /dev/shm keeps the disk out of the measurement)
#   MODE         passive | active data connections for both clients (default passive)
#   BASELINE_CLI another build of orvane-ftp-cli to run in the same rounds (optional)
#   PEERS        the other clients, in the order of a round (default "curl lftp")
#   TLS          1: explicit FTP over TLS for the login and the data (vsftpd only)
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
bench=download_1gib
size_mib=${SIZE_MIB:-1024}
repeat=${REPEAT:-3}
mode=${MODE:-passive}

source "$here/bench/serverlib.bash"
peers=(${PEERS:-curl lftp})
bench_setup "${peers[@]}" /usr/bin/time /usr/bin/python3

mkdir -p "$work/root/pub" "$work/out"
file="$work/root/pub/file.bin"
head -c "$((size_mib * 1024 * 1024))" /dev/urandom > "$file"
chmod 644 "$file"
bytes=$(stat -c %s "$file")
start_server

cli_mode=()
curl_mode=(--disable-epsv)
lftp_settings="set ftp:passive-mode off"
if [ "$mode" = passive ]; then
    cli_mode=(--passive)
    lftp_settings="set ftp:passive-mode on"
else
    curl_mode=(--disable-eprt -P 127.0.0.1)
fi
lftp_settings+="; set cmd:fail-exit yes; set xfer:clobber on; set net:max-retries 1"
lftp_settings+="; set net:timeout 10; $lftp_tls"
url="ftp://127.0.0.1:$port/pub/file.bin"

# run_client NAME : times one download into $work/out/NAME.bin; prints "seconds cpu_seconds"
run_client() {
    local target="$work/out/$1.bin"
    case $1 in
        cli) timed_run "$1" "$target" "$cli" "${cli_tls[@]}" "${cli_mode[@]}" --tasks 1 --type binary get "$url" "$target" ;;
        cli-before) timed_run "$1" "$target" "$base_cli" "${cli_tls[@]}" "${cli_mode[@]}" --tasks 1 --type binary get "$url" "$target" ;;
        curl) timed_run "$1" "$target" curl -sS "${curl_tls[@]}" "${curl_mode[@]}" -o "$target" "$url" ;;
        lftp) timed_run "$1" "$target" lftp -e "$lftp_settings; get /pub/file.bin -o $target; quit" \
            "ftp://127.0.0.1:$port" ;;
    esac
}

mapfile -t names < <(clients "${peers[@]}")
ours=("${names[@]:0:${#names[@]}-${#peers[@]}}")
echo "Downloading $((bytes / 1048576)) MiB from $server on 127.0.0.1:$port ($mode$([ "$tls" = 1 ] && echo ", TLS"))," \
    "$repeat rounds of ${names[*]}"
rounds "${names[@]}"
report_bytes "${names[@]}"
for peer in "${peers[@]}"; do
    report_ratio "$peer" "${ours[@]}"
done
echo "goal: the CLI's throughput at least the faster peer's, CPU per GiB at most lftp's"
