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
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
build_dir=${BUILD_DIR:-build}
[[ $build_dir = /* ]] || build_dir="$here/$build_dir"
cli="$build_dir/src/orvane-ftp-cli"
size_mib=${SIZE_MIB:-1024}
repeat=${REPEAT:-3}
mode=${MODE:-passive}
server=${SERVER:-auto}
if [ "$server" = auto ]; then
    if [ "$(id -u)" -eq 0 ] && command -v vsftpd >/dev/null && getent passwd ftp >/dev/null; then
        server=vsftpd
    else
        server=pyftpdlib
    fi
fi

for tool in curl /usr/bin/time /usr/bin/python3; do
    command -v "$tool" >/dev/null || { echo "upload_1gib: $tool is missing" >&2; exit 1; }
done
[ -x "$cli" ] || { echo "upload_1gib: $cli is not built (run make build)" >&2; exit 1; }

work=$(mktemp -d "${BENCH_TMPDIR:-${TMPDIR:-/tmp}}/orvane-bench.XXXXXX")
server_pid=""
cleanup() {
    [ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null && wait "$server_pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

free_port() {
    /usr/bin/python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}
port=$(free_port)

chmod 755 "$work"
mkdir -p "$work/root/upload" "$work/empty"
if [ "$server" = vsftpd ]; then
    # vsftpd refuses a writable anonymous root: the root stays root's, uploads go below it.
    chown root:root "$work/root" "$work/empty"
    chmod 755 "$work/root" "$work/empty"
    chown ftp "$work/root/upload"
    pasv_min=$(free_port)
    cat > "$work/vsftpd.conf" <<CONF
listen=YES
listen_ipv6=NO
listen_address=127.0.0.1
listen_port=$port
background=NO
anonymous_enable=YES
local_enable=NO
write_enable=YES
anon_upload_enable=YES
anon_mkdir_write_enable=YES
anon_other_write_enable=YES
no_anon_password=YES
anon_root=$work/root
anon_umask=022
secure_chroot_dir=$work/empty
seccomp_sandbox=NO
pasv_enable=YES
pasv_address=127.0.0.1
pasv_min_port=$pasv_min
pasv_max_port=$pasv_min
port_enable=YES
connect_from_port_20=NO
xferlog_enable=NO
dirmessage_enable=NO
max_per_ip=0
CONF
    vsftpd "$work/vsftpd.conf" &
    server_pid=$!
else
    chmod 777 "$work/root/upload"
    /usr/bin/python3 -m pyftpdlib -i 127.0.0.1 -p "$port" -w -d "$work/root" >"$work/server.log" 2>&1 &
    server_pid=$!
fi

# Wait (bounded) until the server answers.
for _ in $(seq 50); do
    if (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null; then break; fi
    sleep 0.1
done
(exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null || { echo "upload_1gib: $server did not start" >&2; exit 1; }

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

# run NAME COMMAND... : times one upload; prints "seconds cpu_seconds"
run() {
    local name=$1 target="$work/root/upload/$1.bin"
    shift
    rm -f "$target"
    local start end
    start=$(date +%s%N)
    /usr/bin/time -f '%U %S' -o "$work/time" "$@" >/dev/null 2>"$work/stderr" || {
        echo "upload_1gib: $name failed:" >&2
        cat "$work/stderr" >&2
        exit 1
    }
    end=$(date +%s%N)
    cmp -s "$file" "$target" || { echo "upload_1gib: $name's copy differs" >&2; exit 1; }
    rm -f "$target"
    awk -v ns=$((end - start)) '{ printf "%.3f %.3f\n", ns / 1e9, $1 + $2 }' "$work/time"
}

best() { sort -n | head -1; }

echo "Uploading $((bytes / 1048576)) MiB to $server on 127.0.0.1:$port ($mode), best of $repeat"
cli_runs=() curl_runs=()
for i in $(seq "$repeat"); do
    cli_runs+=("$(run cli "$cli" "${cli_mode[@]}" --type binary put "$file" \
        "ftp://127.0.0.1:$port/upload/cli.bin")")
    curl_runs+=("$(run curl curl -sS "${curl_mode[@]}" -T "$file" \
        "ftp://127.0.0.1:$port/upload/curl.bin")")
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
report "curl -T" "$curl_best"
awk -v a="${cli_best% *}" -v b="${curl_best% *}" \
    'BEGIN { printf "ratio (cli throughput / curl throughput): %.2f (goal 0.90)\n", b / a }'
