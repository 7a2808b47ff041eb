#!/usr/bin/env bash
# Runs every fuzz target of a fuzz build for SECONDS each, one after the
# other, starting from its seeds in fuzz/corpus/<target>/. What a run learns
# goes to BUILD/fuzz-corpus/<target>/, never into the seeds; an input that
# crashes a target, or breaks one of its properties, is kept as
# BUILD/fuzz-artifacts/<target>-crash-..., and the script then fails.
#
# usage: fuzz/run-fuzzers.sh BUILD SECONDS [TARGET ...]
set -uo pipefail

if [[ $# -lt 2 ]]; then
    echo "usage: $0 BUILD SECONDS [TARGET ...]" >&2
    exit 2
fi
here="$(cd "$(dirname "$0")" && pwd)"
build="$(cd "$1" && pwd)"
seconds="$2"
shift 2
if [[ $# -gt 0 ]]; then
    targets=("$@")
else
    mapfile -t targets < "$build/fuzz/targets.txt"
fi

# Leaks are reported like any other finding.
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1}"

failed=()
summary=()
for target in "${targets[@]}"; do
    [[ -z "$target" ]] && continue
    binary="$build/fuzz/fuzz_$target"
    learned="$build/fuzz-corpus/$target"
    artifacts="$build/fuzz-artifacts"
    log="$build/fuzz-logs/$target.log"
    mkdir -p "$learned" "$artifacts" "$(dirname "$log")"
    options=(-max_total_time="$seconds" -timeout=30 -rss_limit_mb=3072
             -print_final_stats=1 -artifact_prefix="$artifacts/$target-")
    # The state template's input is a short header followed by table and
    # texture bytes: room for a full table of 512 entries and a texture.
    if [[ "$target" == state_plain ]]; then
        options+=(-max_len=12000)
    fi
    echo "== fuzz_$target for ${seconds}s"
    "$binary" "${options[@]}" "$learned" "$here/corpus/$target" > "$log" 2>&1
    status=$?
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
    speed=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -n 1)
    if [[ $status -ne 0 ]]; then
        failed+=("$target")
        summary+=("fuzz_$target: FAILED after ${runs:-?} executions (log: $log)")
        grep -E "ERROR|SUMMARY|property broken|Test unit written" "$log" | head -n 20 >&2
    else
        summary+=("fuzz_$target: ${runs:-?} executions, ${speed:-?}/s, nothing found")
    fi
done

printf '%s\n' "${summary[@]}"
if [[ ${#failed[@]} -gt 0 ]]; then
    echo "Findings in: ${failed[*]}" >&2
    exit 1
fi
