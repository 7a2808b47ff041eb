#!/usr/bin/env bash
# The largest hostile inputs, made here and never stored: each command runs
# once on each, and its wall time and peak memory are printed against the
# bound every input of at most 256 MiB must keep, 2 s and 512 MiB.
#   - a zip of 2.4 million empty entries (about 210 MiB);
#   - a zip of 20,000 bzip2 entries before the state;
#   - a zip whose stored .dat entry of 240 MiB comes before the state;
#   - 256 MiB of zeros, far past the 64 MiB a state may unpack to;
#   - deflate streams padded with 21 million empty blocks, each with code
#     tables of its own: a gzipped state (241 MiB), a RetroArch state whose
#     first RZIP chunk is 241 MiB, a zipped one (229 MiB), and a 256 MiB
#     RetroArch state whose padding comes before 64 MiB of state (47 MiB of
#     it noise);
#   - a zip whose state entry is bzip2, with about 60 MiB of noise after the
#     state;
#   - the largest state accepted: 64 MiB gzipped, 47 MiB of it noise.
#
# usage: bench/hostile-bounds.sh [BUILD_DIR]   (default build-bench)
set -euo pipefail

build=${1:-build-bench}
cli=$build/cli/morvane-cli
make_state=$build/tools/morvane-make-state
for tool in "$cli" "$make_state" /usr/bin/time python3; do
    if ! command -v "$tool" >/dev/null; then
        echo "hostile-bounds: $tool is missing (run make bench, or scripts/install-deps.sh)" >&2
        exit 1
    fi
done

work=$(mktemp -d "$build/hostile-bounds.XXXXXX")
trap 'rm -rf "$work"' EXIT
"$make_state" --container zip --no-dat "$work/state.pj.zip" >/dev/null
"$make_state" --bitmap 3 "$work/face.bmp" >/dev/null
(cd "$work" && unzip -q state.pj.zip)
# 11.5 bytes an empty block: 22 million of them make 241 MiB.
noise=$((47 << 20))
"$make_state" --layout mupen64plus --container gzip --empty-blocks 22000000 \
    "$work/empty-blocks.st0" >/dev/null
"$make_state" --layout mupen64plus --container rzip1 --empty-blocks 22000000 \
    "$work/empty-blocks.state" >/dev/null
"$make_state" --container zip --no-dat --empty-blocks 20880000 "$work/empty-blocks.pj.zip" >/dev/null
"$make_state" --layout mupen64plus --container rzip1 --trailing $noise --empty-blocks 19050000 \
    "$work/padded-64mib.state" >/dev/null
"$make_state" --layout mupen64plus --container gzip --trailing $noise "$work/noise-64mib.st0" \
    >/dev/null
# The state and about 60 MiB of noise: just under the 64 MiB a state may have.
"$make_state" --trailing $(((64 << 20) - 4208476)) "$work/bzip2-state.pj" >/dev/null

python3 - "$work" <<'PY'
import os, struct, sys, zipfile, zlib
work = sys.argv[1]
state = open(os.path.join(work, "GOLDENEYE.pj"), "rb").read()

# 2.4 million empty stored entries, written as raw records: zipfile would
# take minutes over them.
count = 2_400_000
with open(os.path.join(work, "many-entries.pj.zip"), "wb") as out:
    central = bytearray()
    offset = 0
    for n in range(count):
        name = b"%07d" % n
        local = struct.pack("<IHHHHHIIIHH", 0x04034B50, 20, 0, 0, 0, 0x21, 0, 0, 0,
                            len(name), 0) + name
        central += struct.pack("<IHHHHHHIIIHHHHHII", 0x02014B50, 45, 20, 0, 0, 0, 0x21, 0,
                               0, 0, len(name), 0, 0, 0, 0, 0, offset) + name
        out.write(local)
        offset += len(local)
    out.write(central)
    end64 = offset + len(central)
    out.write(struct.pack("<IQHHIIQQQQ", 0x06064B50, 44, 45, 45, 0, 0, count, count,
                          len(central), offset))
    out.write(struct.pack("<IIQI", 0x07064B50, 0, end64, 1))
    out.write(struct.pack("<IHHHHIIH", 0x06054B50, 0, 0, 0xFFFF, 0xFFFF, 0xFFFFFFFF,
                          0xFFFFFFFF, 0))

with zipfile.ZipFile(os.path.join(work, "bzip2-entries.pj.zip"), "w") as z:
    for n in range(20_000):
        z.writestr(zipfile.ZipInfo("note%05d.txt" % n), b"x" * 64, zipfile.ZIP_BZIP2)
    z.writestr("GOLDENEYE.pj", state, zipfile.ZIP_DEFLATED)

with zipfile.ZipFile(os.path.join(work, "large-dat.pj.zip"), "w", allowZip64=True) as z:
    with z.open(zipfile.ZipInfo("GOLDENEYE.dat"), "w", force_zip64=True) as dat:
        block = os.urandom(1 << 20)
        for _ in range(240):
            dat.write(block)
    z.writestr("GOLDENEYE.pj", state, zipfile.ZIP_DEFLATED)

with open(os.path.join(work, "zeros.pj"), "wb") as out:
    out.truncate(256 << 20)

with zipfile.ZipFile(os.path.join(work, "bzip2-state.pj.zip"), "w") as z:
    z.write(os.path.join(work, "bzip2-state.pj"), "GOLDENEYE.pj", zipfile.ZIP_BZIP2)
PY

echo "Hostile inputs, one run each (bound: 2 s and 512 MiB):"
printf '  %-34s %-8s %8s %10s  %s\n' input command seconds "peak MiB" bound
for input in many-entries.pj.zip bzip2-entries.pj.zip large-dat.pj.zip zeros.pj \
    empty-blocks.st0 empty-blocks.state empty-blocks.pj.zip padded-64mib.state \
    bzip2-state.pj.zip noise-64mib.st0; do
    size=$(stat -c %s "$work/$input")
    cat "$work/$input" >/dev/null  # in the page cache, as the emulator left it
    for command in info replace; do
        rm -f "$work/out.pj.zip"
        arguments=(info "$work/$input")
        if [[ $command == replace ]]; then
            arguments=(replace "$work/$input" 0 "$work/face.bmp" -o "$work/out.pj.zip")
        fi
        # A refusal is the expected end: only the time and the memory count.
        /usr/bin/time -f '%e %M' -o "$work/time" "$cli" "${arguments[@]}" >/dev/null 2>&1 || true
        read -r seconds peak < <(tail -1 "$work/time")
        awk -v i="$input ($((size >> 20)) MiB)" -v c="$command" -v s="$seconds" -v p="$peak" 'BEGIN {
            m = p / 1024
            printf "  %-34s %-8s %8.2f %10.0f  %s\n", i, c, s, m, (s <= 2 && m <= 512) ? "met" : "missed"
        }'
    done
done
