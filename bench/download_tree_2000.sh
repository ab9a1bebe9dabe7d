#!/usr/bin/env bash
# Downloads a folder of 2,000 files of 4 KiB from a local FTP server with
# `orvane-ftp-cli --tasks 8 get` of the folder and with lftp's `mirror --parallel=8` at its fastest
# settings (no cache, overwrite, one retry, 10 s timeout), in rounds that take turns; checks every
# copy against the original and prints files per second and files per CPU second of each, and
# the CLI's over lftp's.
#
# Environment:
#   BUILD_DIR    build folder holding src/orvane-ftp-cli (default: build)
#   BASELINE_CLI another build of orvane-ftp-cli to run in the same rounds (optional)
#   SERVER       vsftpd | pyftpdlib | auto (default auto: vsftpd when run as root)
#   FILES        number of files (default 2000)
#   FILE_KIB     size of each file in KiB (default 4)
#   TASKS        sessions of the CLI and parallel transfers of lftp (default 8)
#   REPEAT       rounds; the fastest run of each client counts (default 3)
#   BENCH_TMPDIR folder for the files, the copies and the server's root (default $TMPDIR or /tmp)
#   TLS          1: explicit FTP over TLS for the login and every data connection (vsftpd only)
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
bench=download_tree_2000
files=${FILES:-2000}
file_kib=${FILE_KIB:-4}
tasks=${TASKS:-8}
repeat=${REPEAT:-3}

source "$here/bench/serverlib.bash"
bench_setup lftp /usr/bin/time /usr/bin/python3

mkdir -p "$work/root/pub/many" "$work/out"
make_files "$work/root/pub/many" "$files" "$file_kib"
chmod -R a+rX "$work/root"
start_server
url="ftp://127.0.0.1:$port"
# lftp's fastest settings (its commands on one line: lftp -e takes no line breaks)
lftp_settings="set ftp:passive-mode on; set cmd:fail-exit yes; set cache:enable no"
lftp_settings+="; set xfer:clobber on; set net:max-retries 1; set net:timeout 10; $lftp_tls"

check_copy() {
    diff -r "$work/root/pub/many" "$2" >/dev/null || { echo "$bench: $1's copy differs" >&2; exit 1; }
}

# run_client NAME : times one download of the folder into $work/out/NAME; prints "seconds
# cpu_seconds"
run_client() {
    local target="$work/out/$1"
    case $1 in
        cli) timed_run "$1" "$target" "$cli" "${cli_tls[@]}" --passive --type binary --tasks "$tasks" \
            get "$url/pub/many/" "$target" ;;
        cli-before) timed_run "$1" "$target" "$base_cli" "${cli_tls[@]}" --passive --type binary --tasks "$tasks" \
            get "$url/pub/many/" "$target" ;;
        lftp) timed_run "$1" "$target" lftp \
            -e "$lftp_settings; mirror --parallel=$tasks /pub/many $target; quit" "$url" ;;
    esac
}

mapfile -t names < <(clients lftp)
echo "Downloading $files files of $file_kib KiB from $server on 127.0.0.1:$port (passive$([ "$tls" = 1 ] && echo ", TLS"))," \
    "$tasks at once, $repeat rounds of ${names[*]}"
rounds "${names[@]}"

for which in median best; do
    read -r lftp_secs lftp_cpu _ <<<"$("${which}_of" lftp)"
    for c in "${names[@]}"; do
        read -r secs cpu load <<<"$("${which}_of" "$c")"
        awk -v l="$(client_label "$c") ($which)" -v n="$files" -v s="$secs" -v c="$cpu" -v ld="$load" \
            -v ls="$lftp_secs" -v lc="$lftp_cpu" 'BEGIN {
            printf "%-25s %8.1f files/s  %6.2f s  CPU %5.2f s  %7.1f files per CPU s", l, n / s, s, c, n / c
            if (l !~ /^lftp/) printf "  x%.2f lftp files/s, x%.2f per CPU s", ls / s, lc / c
            printf "  (load %s)\n", ld
        }'
    done
done
echo "goal: the CLI at least 1.1 times lftp's files per second for the same CPU, and no slower than the baseline"
