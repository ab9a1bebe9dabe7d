# Shared by the transfer and listing benchmarks: the set-up of a run, a local FTP server on a free
# port of 127.0.0.1 serving "$work/root" to anonymous, vsftpd when run as root, else pyftpdlib,
# the timing of one client run and the interleaved rounds of all clients. Source it after setting
# here (the source tree) and bench (the script's name, for messages), then call bench_setup.
# start_server sets port and server_pid. The root is read only; set upload_dir (a folder name
# below the root) before start_server to let anonymous write there.
#
# File system costs on a shared machine change from minute to minute, so the clients take turns
# (a round runs each once) rather than one client's runs after the other's, every run starts
# after its previous copy is removed and after `sync`, and each figure carries the load average
# seen when its run started.
#
# TLS=1 makes the vsftpd require explicit FTP over TLS for the login and every data connection
# (each resuming the control connection's session, as vsftpd requires by default) with a
# certificate made for the run; start_server then fills cli_tls, curl_tls and lftp_tls with
# each client's way of asking for TLS and trusting that certificate. Without it they ask for
# plain FTP.

# bench_setup TOOL... : finds the client in BUILD_DIR (sets cli) and, when BASELINE_CLI names
# another build of it, that one (sets base_cli), checks that they and each TOOL are there, makes
# the work folder (removed on exit, after the server is stopped) and picks the server named by
# SERVER (vsftpd | pyftpdlib | auto).
bench_setup() {
    local build_dir=${BUILD_DIR:-build} tool
    [[ $build_dir = /* ]] || build_dir="$here/$build_dir"
    cli="$build_dir/src/orvane-ftp-cli"
    base_cli=${BASELINE_CLI:-}
    server=${SERVER:-auto}
    for tool in "$@"; do
        command -v "$tool" >/dev/null || { echo "$bench: $tool is missing" >&2; exit 1; }
    done
    [ -x "$cli" ] || { echo "$bench: $cli is not built (run make build)" >&2; exit 1; }
    [ -z "$base_cli" ] || [ -x "$base_cli" ] || { echo "$bench: $base_cli is not a program" >&2; exit 1; }
    work=$(mktemp -d "${BENCH_TMPDIR:-${TMPDIR:-/tmp}}/orvane-bench.XXXXXX")
    trap 'stop_server; rm -rf "$work"' EXIT
    pick_server
    tls=${TLS:-0}
    if [ "$tls" = 1 ] && [ "$server" != vsftpd ]; then
        echo "$bench: TLS=1 needs vsftpd (run as root)" >&2
        exit 1
    fi
}

# make_certificate : a self-signed certificate for 127.0.0.1 in $work/tls; sets the clients'
# TLS options
make_certificate() {
    mkdir -p "$work/tls"
    openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj /CN=127.0.0.1 \
        -addext subjectAltName=IP:127.0.0.1 -keyout "$work/tls/key.pem" \
        -out "$work/tls/cert.pem" 2>/dev/null
    cli_tls=(--tls require --ca-file "$work/tls/cert.pem")
    curl_tls=(--ssl-reqd --cacert "$work/tls/cert.pem")
    lftp_tls="set ftp:ssl-force true; set ftp:ssl-allow-anonymous true; set ftp:ssl-protect-data true"
    lftp_tls+="; set ssl:ca-file $work/tls/cert.pem"
}
cli_tls=(--tls off)
curl_tls=()
lftp_tls="set ftp:ssl-allow false"

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
        # Passive ports below the range the system hands out to clients, and many of them: the
        # copies of thousands of files leave the client's ports in use for a while, and vsftpd
        # gives up after a few tries on ports in use.
        local pasv_min
        pasv_min=$(/usr/bin/python3 -c 'import random; print(random.randrange(20000, 32000, 100))')
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
pasv_max_port=$((pasv_min + 99))
port_enable=YES
connect_from_port_20=NO
xferlog_enable=NO
dirmessage_enable=NO
max_per_ip=0
CONF
        if [ "$tls" = 1 ]; then
            make_certificate
            cat >> "$work/vsftpd.conf" <<CONF
ssl_enable=YES
allow_anon_ssl=YES
force_anon_logins_ssl=YES
force_anon_data_ssl=YES
require_ssl_reuse=YES
ssl_ciphers=HIGH
rsa_cert_file=$work/tls/cert.pem
rsa_private_key_file=$work/tls/key.pem
CONF
        fi
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

# start_pyftpd VAR NAME ARG... : one more server, tests/peers/pyftpd_server.py with ARGs, serving
# "$work/root" to the user bench (password bench); sets VAR to its port once it listens. It is
# stopped with the main server.
peer_pids=()
start_pyftpd() {
    local var=$1 name=$2
    shift 2
    rm -f "$work/$name.ready"
    /usr/bin/python3 "$here/tests/peers/pyftpd_server.py" --root "$work/root" --user bench \
        --password bench --ready-file "$work/$name.ready" --log /dev/null "$@" \
        >"$work/$name.log" 2>&1 &
    peer_pids+=($!)
    for _ in $(seq 100); do
        [ -s "$work/$name.ready" ] && break
        sleep 0.1
    done
    [ -s "$work/$name.ready" ] || { echo "$bench: pyftpdlib ($name) did not start" >&2; exit 1; }
    printf -v "$var" '%s' "$(awk '{ print $2 }' "$work/$name.ready")"
}

# Never fails: it runs in the scripts' EXIT trap under set -e, where a failing command would
# end the trap before the work folder is removed.
stop_server() {
    local pid
    for pid in ${server_pid:-} "${peer_pids[@]}"; do
        kill "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    done
    server_pid=""
    peer_pids=()
    return 0
}

# make_files FOLDER COUNT KIB : COUNT files of KIB KiB of random bytes in FOLDER.
make_files() {
    mkdir -p "$1"
    /usr/bin/python3 - "$1" "$2" "$3" <<'PY'
import os, sys
folder, count, kib = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
for i in range(count):
    with open(os.path.join(folder, "file%05d.bin" % i), "wb") as f:
        f.write(os.urandom(kib * 1024))
PY
}

# make_listing COUNT : "$work/root/big" with COUNT entries (sets entries): files of different
# (sparse) sizes with names of different lengths, and one folder in 50. Every run must then
# print one line per entry.
make_listing() {
    entries=$1
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
    check_copy() {
        local lines
        lines=$(wc -l < "$work/$1.out")
        [ "$lines" -eq "$entries" ] || {
            echo "$bench: $1 printed $lines lines, not $entries" >&2
            exit 1
        }
    }
}

# timed_run NAME TARGET COMMAND... : runs COMMAND once after removing TARGET and `sync`, then
# checks that TARGET equals "$file" and removes it; prints "seconds cpu_seconds" (CPU is user +
# system of the command and its children). Messages start with "$bench:".
timed_run() {
    local name=$1 target=$2
    shift 2
    rm -rf "$target"
    sync
    local start end
    start=$(date +%s%N)
    /usr/bin/time -f '%U %S' -o "$work/time" "$@" >"$work/$name.out" 2>"$work/stderr" || {
        echo "$bench: $name failed:" >&2
        cat "$work/stderr" >&2
        exit 1
    }
    end=$(date +%s%N)
    check_copy "$name" "$target"
    rm -rf "$target"
    awk -v ns=$((end - start)) 'END { printf "%.3f %.3f\n", ns / 1e9, $1 + $2 }' "$work/time"
}

# check_copy NAME TARGET : the default check of a run's result; a script may define its own
check_copy() {
    cmp -s "$file" "$2" || { echo "$bench: $1's copy differs" >&2; exit 1; }
}

load1() { cut -d' ' -f1 /proc/loadavg; }

# clients PEER... : the clients to compare in the order of a round: the baseline CLI when one is
# given, this CLI, then the peers
clients() {
    [ -n "$base_cli" ] && echo cli-before
    echo cli
    printf '%s\n' "$@"
}

# rounds CLIENT... : REPEAT rounds, each calling `run_client CLIENT` (which prints "seconds
# cpu_seconds") for every client in turn; keeps "seconds cpu_seconds load" per run in
# runs[CLIENT] and prints each round's times.
declare -A runs
rounds() {
    local i c r l line
    for i in $(seq "$repeat"); do
        line="  round $((${round_base:-0} + i)):"
        for c in "$@"; do
            l=$(load1)
            r=$(run_client "$c")
            runs[$c]+="$r $l"$'\n'
            line+=" $c ${r%% *} s (CPU ${r#* } s, load $l),"
        done
        echo "${line%,}"
    done
}

# best_of CLIENT : the fastest run of CLIENT as "seconds cpu_seconds load"
best_of() { printf '%s' "${runs[$1]}" | sort -n | head -1; }

# median_of CLIENT : the median run of CLIENT by time as "seconds cpu_seconds load" (the lower
# middle one of an even count), its CPU the median of the CPU figures
median_of() {
    local n secs cpu load
    n=$(printf '%s' "${runs[$1]}" | grep -c .)
    read -r secs _ load <<<"$(printf '%s' "${runs[$1]}" | sort -n | sed -n "$(((n + 1) / 2))p")"
    cpu=$(printf '%s' "${runs[$1]}" | awk '{ print $2 }' | sort -n | sed -n "$(((n + 1) / 2))p")
    echo "$secs $cpu $load"
}

# client_label CLIENT : the name a report shows
client_label() {
    case $1 in
        cli) echo orvane-ftp-cli ;;
        cli-before) echo "cli (baseline)" ;;
        *) echo "$1" ;;
    esac
}

# report_bytes CLIENT... : for the median and the fastest run of each: throughput, seconds, CPU
# per GiB of moving "$bytes", the load at its start
report_bytes() {
    local c secs cpu load which
    for which in median best; do
        for c in "$@"; do
            read -r secs cpu load <<<"$("${which}_of" "$c")"
            awk -v l="$(client_label "$c") ($which)" -v b="$bytes" -v s="$secs" -v c="$cpu" -v ld="$load" 'BEGIN {
                gib = b / 1073741824
                printf "%-25s %8.1f MiB/s  %6.2f s  CPU %5.2f s per GiB  (load %s)\n", l, b / 1048576 / s, s, c / gib, ld
            }'
        done
    done
}

# report_ratio PEER CLIENT... : each client's median time against PEER's (throughput ratio)
report_ratio() {
    local peer=$1 c
    shift
    for c in "$@"; do
        awk -v l="$(client_label "$c")" -v p="$peer" -v a="$(median_of "$c" | cut -d' ' -f1)" \
            -v b="$(median_of "$peer" | cut -d' ' -f1)" \
            'BEGIN { printf "median ratio (%s throughput / %s throughput): %.2f\n", l, p, b / a }'
    done
}
