#!/usr/bin/env bash
# Uploads one 1 GiB file over loopback with orvane-ftp-cli and with `curl -T` to the same local
# FTP server and prints the throughput of each, their ratio and CPU seconds per GiB.
#
# Environment:
#   BUILD_DIR    build folder holding src/orvane-ftp-cli (default: build)
#   SERVER       vsftpd | pyftpdlib | auto (default auto: vsftpd when run as root)
#   SIZE_MIB     size of the file in MiB (default 1024)
#   REPEAT       uploads per client; the fastest counts (default 3)
#   BENCH_TMPDIR folder for the file and the server's root (default $TMPDIR or /tmp;
#                /dev/shm keeps the disk out of the measurement)
#   MODE         passive | active data connections for both clients (default passive)
#   BASELINE_CLI another build of orvane-ftp-cli to run in the same rounds (optional)
#   TLS          1: explicit FTP over TLS for the login and the data (vsftpd only)
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
bench=upload_1gib
size_mib=${SIZE_MIB:-1024}
repeat=${REPEAT:-3}
mode=${MODE:-passive}

source "$here/bench/serverlib.bash"
bench_setup curl /usr/bin/time /usr/bin/python3
upload_dir=upload
start_server

file="$work/file.bin"
head -c "$((size_mib * 1024 * 1024))" /dev/urandom > "$file"
bytes=$(stat -c %s "$file")

cli_mode=()
curl_mode=(--disable-epsv)
if [ "$mode" = passive ]; then
    cli_mode=(--passive)
else
    curl_mode=(--disable-eprt -P 127.0.0.1)
fi

# run_client NAME : times one upload to upload/NAME.bin; prints "seconds cpu_seconds"
run_client() {
    local target="$work/root/upload/$1.bin" dest="ftp://127.0.0.1:$port/upload/$1.bin"
    case $1 in
        cli) timed_run "$1" "$target" "$cli" "${cli_tls[@]}" "${cli_mode[@]}" --type binary put "$file" "$dest" ;;
        cli-before) timed_run "$1" "$target" "$base_cli" "${cli_tls[@]}" "${cli_mode[@]}" --type binary put "$file" "$dest" ;;
        curl) timed_run "$1" "$target" curl -sS "${curl_tls[@]}" "${curl_mode[@]}" -T "$file" "$dest" ;;
    esac
}

mapfile -t names < <(clients curl)
echo "Uploading $((bytes / 1048576)) MiB to $server on 127.0.0.1:$port ($mode$([ "$tls" = 1 ] && echo ", TLS"))," \
    "$repeat rounds of ${names[*]}"
rounds "${names[@]}"
report_bytes "${names[@]}"
report_ratio curl "${names[@]:0:${#names[@]}-1}"
echo "goal: the CLI's throughput at least curl's, and no lower than the baseline's"
