#!/usr/bin/env bash
# Downloads a folder of 2,000 files of 4 KiB from a local FTP server with
# `orvane-ftp-cli --tasks 8 get` of the folder and with `lftp -e 'mirror --parallel=8'`, checks
# both copies against the original and prints files per second of each and their ratio.
#
# Environment:
#   BUILD_DIR    build folder holding src/orvane-ftp-cli (default: build)
#   SERVER       vsftpd | pyftpdlib | auto (default auto: vsftpd when run as root)
#   FILES        number of files (default 2000)
#   FILE_KIB     size of each file in KiB (default 4)
#   TASKS        sessions of the CLI and parallel transfers of lftp (default 8)
#   REPEAT       downloads per client; the fastest counts (default 3)
#   BENCH_TMPDIR folder for the files, the copies and the server's root (default $TMPDIR or /tmp)
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
build_dir=${BUILD_DIR:-build}
[[ $build_dir = /* ]] || build_dir="$here/$build_dir"
cli="$build_dir/src/orvane-ftp-cli"
files=${FILES:-2000}
file_kib=${FILE_KIB:-4}
tasks=${TASKS:-8}
repeat=${REPEAT:-3}
server=${SERVER:-auto}

for tool in lftp /usr/bin/python3; do
    command -v "$tool" >/dev/null || { echo "download_tree_2000: $tool is missing" >&2; exit 1; }
done
[ -x "$cli" ] || { echo "download_tree_2000: $cli is not built (run make build)" >&2; exit 1; }

work=$(mktemp -d "${BENCH_TMPDIR:-${TMPDIR:-/tmp}}/orvane-bench.XXXXXX")
source "$here/bench/serverlib.bash"
trap 'stop_server; rm -rf "$work"' EXIT
pick_server

mkdir -p "$work/root/pub/many" "$work/out"
/usr/bin/python3 - "$work/root/pub/many" "$files" "$file_kib" <<'PY'
import os, sys
folder, count, kib = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
for i in range(count):
    with open(os.path.join(folder, "file%05d.bin" % i), "wb") as f:
        f.write(os.urandom(kib * 1024))
PY
chmod -R a+rX "$work/root"
start_server
url="ftp://127.0.0.1:$port"

# run NAME COMMAND... : times one download into $work/out/NAME; prints seconds
run() {
    local name=$1 target="$work/out/$1"
    shift
    rm -rf "$target"
    local start end
    start=$(date +%s%N)
    "$@" >/dev/null 2>"$work/stderr" || {
        echo "download_tree_2000: $name failed:" >&2
        tail -20 "$work/stderr" >&2
        exit 1
    }
    end=$(date +%s%N)
    diff -r "$work/root/pub/many" "$target" >/dev/null || {
        echo "download_tree_2000: $name's copy differs" >&2
        exit 1
    }
    rm -rf "$target"
    awk -v ns=$((end - start)) 'BEGIN { printf "%.3f\n", ns / 1e9 }'
}

echo "Downloading $files files of $file_kib KiB from $server on 127.0.0.1:$port (passive)," \
    "$tasks at once, best of $repeat"
cli_runs=() lftp_runs=()
for i in $(seq "$repeat"); do
    cli_runs+=("$(run cli "$cli" --passive --type binary --tasks "$tasks" \
        get "$url/pub/many/" "$work/out/cli")")
    lftp_runs+=("$(run lftp lftp -e "set ftp:passive-mode on; set cmd:fail-exit yes; \
        mirror --parallel=$tasks /pub/many $work/out/lftp; quit" "$url")")
    echo "  run $i: cli ${cli_runs[-1]} s, lftp ${lftp_runs[-1]} s"
done

cli_best=$(printf '%s\n' "${cli_runs[@]}" | sort -n | head -1)
lftp_best=$(printf '%s\n' "${lftp_runs[@]}" | sort -n | head -1)
awk -v n="$files" -v c="$cli_best" -v l="$lftp_best" 'BEGIN {
    printf "%-16s %8.1f files/s  %6.2f s\n", "orvane-ftp-cli", n / c, c
    printf "%-16s %8.1f files/s  %6.2f s\n", "lftp", n / l, l
    printf "ratio (cli files/s / lftp files/s): %.2f (goal 1.00)\n", l / c
}'
