# Shared by the download and listing benchmarks: a local FTP server on a free port of 127.0.0.1
# serving "$work/root" to anonymous (read only), vsftpd when run as root, else pyftpdlib.
# Source it after setting work (a fresh folder, removed by the caller) and server
# (vsftpd | pyftpdlib | auto); start_server sets port and server_pid.

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
    if [ "$server" = vsftpd ]; then
        chown root:root "$work/root" "$work/empty"
        chmod 755 "$work/root" "$work/empty"
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
write_enable=NO
no_anon_password=YES
anon_root=$work/root
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
        /usr/bin/python3 -m pyftpdlib -i 127.0.0.1 -p "$port" -d "$work/root" >"$work/server.log" 2>&1 &
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
