#!/usr/bin/env bash
# Whole processes against the plain copies they cannot beat, on the same demo
# state of 60 faces and 20 other textures:
#   morvane-cli info                against   cat STATE > /dev/null
#   morvane-cli replace             against   dd if=STATE of=OUT bs=4M conv=fsync
#   morvane-cli export (png, bmp)   against   cp STATE OUT
# and on 16 MiB states of the mupen64plus family, their free memory half
# busy, as RetroArch (RZIP v1, mupen64plus-next) and mupen64plus (.st0,
# gzip) write them:
#   morvane-cli replace on the RZIP state   against   gzip -c -1 of its core state
#   morvane-cli info on it                  against   gzip -dc of that
#   morvane-cli replace on the .st0 state   against   gzip -c -1 of its core state
# The commands take turns, RUNS times (at least 10), and each line gives the
# medians and their ratio. Then the peak memory of one replace, by
# /usr/bin/time -v, against the state's size.
#
# usage: bench/cli-vs-copy.sh [BUILD_DIR]   (default build-bench; RUNS=15)
set -euo pipefail

build=${1:-build-bench}
runs=${RUNS:-15}
if (( runs < 10 )); then
    runs=10
fi
cli=$build/cli/morvane-cli
make_state=$build/tools/morvane-make-state
for tool in "$cli" "$make_state" /usr/bin/time; do
    if [[ ! -x $tool ]]; then
        echo "cli-vs-copy: $tool is missing (run make bench, or scripts/install-deps.sh)" >&2
        exit 1
    fi
done

# Beside the build, so that every file lies on the same disk as the build's.
work=$(mktemp -d "$build/cli-vs-copy.XXXXXX")
trap 'rm -rf "$work"' EXIT
state=$work/GOLDENEYE.pj
"$make_state" --faces 60 --others 20 "$state" >/dev/null
"$make_state" --bitmap 7 "$work/face.bmp" >/dev/null
record=$("$cli" list "$state" | awk 'NR == 2 { print $1 }')
cat "$state" >/dev/null  # in the page cache, as for every run after the first

# The same core state three ways: bare, in RetroArch's RZIP, and gzipped.
mupen=(--layout mupen64plus --faces 60 --others 20 --busy-memory)
"$make_state" "${mupen[@]}" "$work/core.st" >/dev/null
"$make_state" "${mupen[@]}" --container rzip1 "$work/GOLDENEYE.state" >/dev/null
"$make_state" "${mupen[@]}" --container gzip "$work/GOLDENEYE.st0" >/dev/null
gzip -c -1 "$work/core.st" >"$work/core.st.gz"
mupen_record=$("$cli" list "$work/GOLDENEYE.state" | awk 'NR == 2 { print $1 }')
cat "$work/core.st" "$work/GOLDENEYE.state" "$work/GOLDENEYE.st0" "$work/core.st.gz" >/dev/null

# Runs the command and appends its wall time in milliseconds to the file $1.
timed() {
    local into=$1
    shift
    local start=$EPOCHREALTIME
    "$@" >/dev/null
    local end=$EPOCHREALTIME
    awk -v s="$start" -v e="$end" 'BEGIN { printf "%.3f\n", (e - s) * 1000 }' >>"$into"
}

for ((i = 0; i < runs; ++i)); do
    rm -rf "$work/out.pj" "$work/dd.pj" "$work/faces" "$work/faces-bmp" "$work/cp.pj" \
        "$work/faces-copy"
    sync
    timed "$work/t.help" "$cli" --help
    timed "$work/t.true" /bin/true
    timed "$work/t.info" "$cli" info "$state"
    timed "$work/t.cat" cat "$state"
    timed "$work/t.replace" "$cli" replace "$state" "$record" "$work/face.bmp" -o "$work/out.pj"
    timed "$work/t.dd" dd if="$state" of="$work/dd.pj" bs=4M conv=fsync status=none
    timed "$work/t.export_png" "$cli" export "$state" "$work/faces" --format png
    timed "$work/t.export_bmp" "$cli" export "$state" "$work/faces-bmp" --format bmp
    timed "$work/t.cp" cp "$state" "$work/cp.pj"
    timed "$work/t.cp_faces" cp -r "$work/faces" "$work/faces-copy"
    timed "$work/t.rzip_replace" "$cli" replace "$work/GOLDENEYE.state" "$mupen_record" \
        "$work/face.bmp" -o "$work/out.state"
    timed "$work/t.gzip_1" gzip -c -1 "$work/core.st"
    timed "$work/t.rzip_info" "$cli" info "$work/GOLDENEYE.state"
    timed "$work/t.gunzip" gzip -dc "$work/core.st.gz"
    timed "$work/t.st0_replace" "$cli" replace "$work/GOLDENEYE.st0" "$mupen_record" \
        "$work/face.bmp" -o "$work/out.st0"
done

median() {
    sort -n "$1" | awk '{ v[NR] = $1 }
        END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

line() {
    local name=$1 floor=$2 target=$3
    local a b
    a=$(median "$work/t.$name")
    b=$(median "$work/t.$floor")
    awk -v n="$name" -v f="$floor" -v a="$a" -v b="$b" -v t="$target" 'BEGIN {
        r = a / b
        if (t == "-") {
            printf "%-12s %9.2f ms   %-8s %9.2f ms   %5.2fx\n", n, a, f, b, r
        } else {
            printf "%-12s %9.2f ms   %-8s %9.2f ms   %5.2fx   target <= %sx: %s\n",
                   n, a, f, b, r, t, (r <= t) ? "met" : "missed"
        }
    }'
}

size=$(stat -c %s "$state")
echo "Whole processes, medians of $runs interleaved runs (60-face state, $size bytes):"
line info cat 1.5
line replace dd 1.5
line export_png cp 3
line export_bmp cp 3
# What the targets above leave out: starting the tool (its libraries; libzip
# brings libcrypto) against starting a program that does nothing, and writing
# 60 files against copying the 60 exported pictures.
line help true -
line export_png cp_faces -
echo
core_size=$(stat -c %s "$work/core.st")
echo "16 MiB states of the mupen64plus family ($core_size bytes, free memory half busy); floors on that core state:"
line rzip_replace gzip_1 1.5
line rzip_info gunzip 1.5
line st0_replace gzip_1 -

rm -f "$work/out.pj"
peak_of() {
    /usr/bin/time -v "$@" 2>&1 >/dev/null | awk -F': ' '/Maximum resident set size/ { print $2 }'
}
# The process's own baseline (libraries, the C++ runtime) is what any command
# of it costs; the state's buffers come on top.
baseline=$(peak_of "$cli" --help)
peak=$(peak_of "$cli" replace "$state" "$record" "$work/face.bmp" -o "$work/out.pj")
awk -v p="$peak" -v b="$baseline" -v s="$size" 'BEGIN {
    r = (p - b) * 1024 / s
    printf "Peak memory of replace: %d KiB, baseline (--help) %d KiB + %.2fx the state'"'"'s size   target <= 2.5x: %s\n",
           p, b, r, (r <= 2.5) ? "met" : "missed"
}'
