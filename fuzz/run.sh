#!/usr/bin/env bash
# Runs every fuzzer of a fuzz build for the given number of seconds each.
# Usage: fuzz/run.sh BUILD_DIR SECONDS
# Findings land in BUILD_DIR/fuzz-artifacts/<name>/; the exit status is non-zero when one was found.
set -uo pipefail
build=$1
seconds=$2
here=$(cd "$(dirname "$0")" && pwd)
status=0
shopt -s nullglob
fuzzers=("$build"/fuzz/fuzz_*)
if [ ${#fuzzers[@]} -eq 0 ]; then
    echo "fuzz: no fuzzers in $build/fuzz" >&2
    exit 1
fi
for fuzzer in "${fuzzers[@]}"; do
    [ -f "$fuzzer" ] && [ -x "$fuzzer" ] || continue
    name=${fuzzer##*/fuzz_}
    corpus="$build/fuzz-corpus/$name"
    artifacts="$build/fuzz-artifacts/$name"
    mkdir -p "$corpus" "$artifacts"
    args=(-max_total_time="$seconds" -print_final_stats=1 -artifact_prefix="$artifacts/")
    [ -f "$here/$name.dict" ] && args+=(-dict="$here/$name.dict")
    seeds=()
    [ -d "$here/corpus/$name" ] && seeds+=("$here/corpus/$name")
    echo "fuzz: $name for ${seconds}s"
    if ! "$fuzzer" "${args[@]}" "$corpus" "${seeds[@]}" >"$build/fuzz-$name.log" 2>&1; then
        echo "fuzz: $name FOUND A FAILURE, see $build/fuzz-$name.log and $artifacts/" >&2
        tail -n 40 "$build/fuzz-$name.log" >&2
        status=1
    else
        grep -E '^(stat::number_of_executed_units|stat::peak_rss_mb)|cov:' "$build/fuzz-$name.log" \
            | tail -n 3
        echo "fuzz: $name found nothing"
    fi
done
exit $status
