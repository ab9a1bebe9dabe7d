#!/usr/bin/env bash
# The main window offscreen against a local FTP server: a host folder of 100,000 entries shown
# and re-sorted by a header click, then a folder of 2,000 files of 4 KiB received through the
# window and through `orvane-ftp-cli get` in the same run. Turns ORVANE_BENCH on in the build
# folder and builds only the bench program (and the CLI it compares with).
#
# Environment:
#   BUILD_DIR    build folder (default: build)
#   SERVER       vsftpd | pyftpdlib | auto (default auto: vsftpd when run as root)
#   ENTRIES      entries in the big folder (default 100000)
#   FILES        files to receive (default 2000)
#   FILE_KIB     size of each file in KiB (default 4)
#   TASKS        sessions of the window and the CLI (default 8)
#   BENCH_TMPDIR folder for the server's root and the copies (default $TMPDIR or /tmp)
#   WRAP         a command to run the program under, say "perf record -g -o /tmp/window.data"
#   BENCH_VIEW   "task" shows the task panel (progress per task, queue totals) while receiving
#   BASELINE_BENCH another build of bench_window (say, the one before a change), run after this
#                one against the same server and folders
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
bench=window_100k
entries=${ENTRIES:-100000}
files=${FILES:-2000}
file_kib=${FILE_KIB:-4}
tasks=${TASKS:-8}

build_dir=${BUILD_DIR:-build}
[[ $build_dir = /* ]] || build_dir="$here/$build_dir"
cmake -S "$here" -B "$build_dir" -DORVANE_BENCH=ON >/dev/null
cmake --build "$build_dir" --target bench_window orvane-ftp-cli >/dev/null

source "$here/bench/serverlib.bash"
bench_setup /usr/bin/python3

mkdir -p "$work/root/big" "$work/root/many" "$work/out" "$work/home"
/usr/bin/python3 - "$work/root" "$entries" "$files" "$file_kib" <<'PY'
import os, sys
root, count, files, kib = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), int(sys.argv[4])
for i in range(count):
    # Names with and without extensions, one folder in 50, sparse files of different sizes.
    name = os.path.join(root, "big", "entry%06d%s" % (i, ("", ".txt", ".dat", ".c")[i % 4]))
    if i % 50 == 0:
        os.mkdir(name)
    else:
        with open(name, "wb") as f:
            f.truncate(i * 37)
for i in range(files):
    with open(os.path.join(root, "many", "file%05d.bin" % i), "wb") as f:
        f.write(os.urandom(kib * 1024))
PY
chmod -R a+rX "$work/root"
start_server

echo "Window against $server on 127.0.0.1:$port (passive); load: $(cut -d' ' -f1-3 /proc/loadavg)"
# The window keeps its settings in a home of its own.
run_window() {
    rm -rf "$work/out" "$work/home" && mkdir -p "$work/out" "$work/home"
    HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" QT_QPA_PLATFORM=offscreen \
        ${WRAP:-} "$1" "$port" big "$entries" many "$files" $((file_kib * 1024)) \
        "$tasks" "$work/out" "$cli"
}
run_window "$build_dir/bench/bench_window"
if [[ -n ${BASELINE_BENCH:-} ]]; then
    echo "Baseline: $BASELINE_BENCH"
    run_window "$BASELINE_BENCH"
fi
