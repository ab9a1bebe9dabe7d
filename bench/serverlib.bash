# Shared by the transfer and listing benchmarks: the set-up of a run, a local FTP server on a free
# port of 127.0.0.1 serving "$work/root" to anonymous, vsftpd when run as root, else pyftpdlib,
# and the timing of one client run. Source it after setting here (the source tree) and bench (the
# script's name, for messages), then call bench_setup. start_server sets port and server_pid. The
# root is read only; set upload_dir (a folder name below the root) before start_server to let
# anonymous write there.

# bench_setup TOOL... : finds the client in BUILD_DIR (sets cli), checks that it and each TOOL
# are there, makes the work folder (removed on exit, after the server is stopped) and picks the
# server named by SERVER (vsftpd | pyftpdlib | auto).
bench_setup() {
    local build_dir=${BUILD_DIR:-build} tool
    [[ $build_dir = /* ]] || build_dir="$here/$build_dir"
    cli="$build_dir/src/orvane-ftp-cli"
    server=${SERVER:-auto}
    for tool in "$@"; do
        command -v "$tool" >/dev/null || { echo "$bench: $tool is missing" >&2; exit 1; }
    done
    [ -x "$cli" ] || { echo "$bench: $cli is not built (run make build)" >&2; exit 1; }
    work=$(mktemp -d "${BENCH_TMPDIR:-${TMPDIR:-/tmp}}/orvane-bench.XXXXXX")
    trap 'stop_server; rm -rf "$work"' EXIT
    pick_server
}

free_port() {
    /usr/bin/python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}

pick_server() {
    if [ "$server" = auto ]; then
        if [ "$(id -u)" -eq 0 ] && command -v vsftpd >/dev/null && getent passwd ftp >/dev/null; then
            server=vsftpd
        else
            server=pyftpdlib
        fi
    fi
}

start_server() {
    port=$(free_port)
    chmod 755 "$work"
    mkdir -p "$work/root" "$work/empty"
    local writable=NO
    [ -n "${upload_dir:-}" ] && writable=YES && mkdir -p "$work/root/$upload_dir"
    if [ "$server" = vsftpd ]; then
        # vsftpd refuses a writable anonymous root: the root stays root's, uploads go below it.
        chown root:root "$work/root" "$work/empty"
        chmod 755 "$work/root" "$work/empty"
        [ $writable = YES ] && chown ftp "$work/root/$upload_dir"
        local pasv_min
        pasv_min=$(free_port)
        cat > "$work/vsftpd.conf" <<CONF
listen=YES
listen_ipv6=NO
listen_address=127.0.0.1
listen_port=$port
background=NO
anonymous_enable=YES
local_enable=NO
write_enable=$writable
anon_upload_enable=$writable
anon_mkdir_write_enable=$writable
anon_other_write_enable=$writable
no_anon_password=YES
anon_root=$work/root
anon_umask=022
secure_chroot_dir=$work/empty
seccomp_sandbox=NO
pasv_enable=YES
pasv_address=127.0.0.1
pasv_min_port=$pasv_min
pasv_max_port=$((pasv_min + 20))
port_enable=YES
connect_from_port_20=NO
xferlog_enable=NO
dirmessage_enable=NO
max_per_ip=0
CONF
        vsftpd "$work/vsftpd.conf" &
        server_pid=$!
    else
        local write=()
        [ $writable = YES ] && chmod 777 "$work/root/$upload_dir" && write=(-w)
        /usr/bin/python3 -m pyftpdlib -i 127.0.0.1 -p "$port" "${write[@]}" -d "$work/root" \
            >"$work/server.log" 2>&1 &
        server_pid=$!
    fi
    for _ in $(seq 50); do
        if (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null; then return 0; fi
        sleep 0.1
    done
    echo "$server did not start" >&2
    return 1
}

# Never fails: it runs in the scripts' EXIT trap under set -e, where a failing command would
# end the trap before the work folder is removed.
stop_server() {
    if [ -n "${server_pid:-}" ]; then
        kill "$server_pid" 2>/dev/null || true
        wait "$server_pid" 2>/dev/null || true
    fi
    server_pid=""
    return 0
}

# timed_run NAME TARGET COMMAND... : runs COMMAND once, then checks that TARGET equals "$file"
# and removes it; prints "seconds cpu_seconds". Messages start with "$bench:".
timed_run() {
    local name=$1 target=$2
    shift 2
    rm -f "$target"
    local start end
    start=$(date +%s%N)
    /usr/bin/time -f '%U %S' -o "$work/time" "$@" >/dev/null 2>"$work/stderr" || {
        echo "$bench: $name failed:" >&2
        cat "$work/stderr" >&2
        exit 1
    }
    end=$(date +%s%N)
    cmp -s "$file" "$target" || { echo "$bench: $name's copy differs" >&2; exit 1; }
    rm -f "$target"
    awk -v ns=$((end - start)) '{ printf "%.3f %.3f\n", ns / 1e9, $1 + $2 }' "$work/time"
}

best() { sort -n | head -1; }

# report LABEL "seconds cpu_seconds" : throughput and CPU per GiB of moving "$bytes"
report() {
    local label=$1 secs cpu
    read -r secs cpu <<<"$2"
    awk -v l="$label" -v b="$bytes" -v s="$secs" -v c="$cpu" 'BEGIN {
        gib = b / 1073741824
        printf "%-16s %8.1f MiB/s  %6.2f s  CPU %5.2f s per GiB\n", l, b / 1048576 / s, s, c / gib
    }'
}

# report_ratio CLI_BEST OTHER_BEST [NAME] : the client's throughput over the other tool's (curl
# unless NAME says otherwise)
report_ratio() {
    awk -v a="${1% *}" -v b="${2% *}" -v n="${3:-curl}" \
        'BEGIN { printf "ratio (cli throughput / %s throughput): %.2f\n", n, b / a }'
}
