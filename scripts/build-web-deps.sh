#!/usr/bin/env bash
# Builds the core's five libraries (zlib, libpng, libzip, Zstandard and
# libimagequant) from Debian's own source packages as static WebAssembly
# libraries, for the browser build: headers in build-web/deps/include, archives
# in build-web/deps/lib. Emscripten's ports would download them instead.
#
# Each library is built once. Its stamp in build-web/stamps holds the source
# version, the emscripten version and the build's flags; a library whose stamp
# still matches is left alone, so a second run takes about a second and needs
# no network. The first run needs root (or sudo) when apt has no deb-src entry
# for Debian's main archive: it adds one beside the deb entry and says so.
#
#   bash scripts/build-web-deps.sh [OUT]    # OUT defaults to build-web
set -euo pipefail
cd "$(dirname "$0")/.."

out=$(realpath -m "${1:-build-web}")
src=$out/src          # Debian's source packages, as fetched, and unpacked
work=$out/work        # the CMake builds' own folders
logs=$out/logs        # one build log per library
stamps=$out/stamps
prefix=$out/deps
jobs=${JOBS:-2}

# emscripten 3.1.6 with a node newer than Debian's: emcc finds its acorn module
# only through NODE_PATH, and CMake's test programs must run without the node
# flag that emcmake picks (node 20 rejects it), and without fetch(), which the
# generated JavaScript would call on a file path.
export NODE_PATH=/usr/share/nodejs
emulator="$(command -v node);--no-experimental-fetch"
emscripten=$(dpkg-query -W -f='${Version}' emscripten)

sudo=()
if [[ $(id -u) -ne 0 ]] && command -v sudo >/dev/null; then
    sudo=(sudo)
fi

# --- Debian's source packages ---

sources_file=/etc/apt/sources.list.d/debian.sources
src_entry=/etc/apt/sources.list.d/debian-src.sources
updated=false

# apt-get source needs a deb-src entry for the main archive. The security
# archive's sources cannot be fetched here (404), so the entry leaves it out.
ensure_deb_src() {
    local main uri
    main=$(awk 'BEGIN { RS = "" } /Types:[^\n]*deb/ && !/debian-security/' "$sources_file" |
           grep -E '^(URIs|Suites|Components|Signed-By):')
    uri=$(awk '/^URIs:/ { print $2 }' <<<"$main")
    if has_deb_src "${uri%/}"; then
        return
    fi
    printf 'Types: deb-src\n%s\n' "$main" | "${sudo[@]}" tee "$src_entry" >/dev/null
    echo "Added a deb-src entry for Debian's main archive ($uri) in $src_entry:"
    sed 's/^/    /' "$src_entry"
    update_sources
}

# Whether a deb-src entry for the archive at $1 is there already, in either of
# apt's two forms. Read from the files: asking apt takes a second.
has_deb_src() {
    local uri=$1
    cat /etc/apt/sources.list.d/*.sources 2>/dev/null |
        awk -v uri="$uri" 'BEGIN { RS = "" }
            /(^|\n)Types:[^\n]*deb-src/ && $0 ~ ("\nURIs:[^\n]* " uri "/?( |\n|$)") { found = 1 }
            END { exit !found }' ||
        cat /etc/apt/sources.list /etc/apt/sources.list.d/*.list 2>/dev/null |
        grep -qE "^deb-src +(\[[^]]*\] +)?${uri}/? "
}

update_sources() {
    if ! $updated; then
        echo "apt-get update"
        "${sudo[@]}" apt-get update -qq
        updated=true
    fi
}

# The .dsc that `apt-get source NAME` would fetch, e.g. zlib_1.2.13.dfsg-1.dsc:
# that of the highest version in apt's source lists. Read with apt-cache, as
# apt-get takes a second a package to say it.
dsc_of() {
    local dsc
    dsc=$(newest_dsc "$1")
    if [[ -z "$dsc" ]]; then
        update_sources
        dsc=$(newest_dsc "$1")
    fi
    if [[ -z "$dsc" ]]; then
        echo "apt has no source package $1" >&2
        exit 1
    fi
    echo "$dsc"
}

newest_dsc() {
    local best="" best_version="" version dsc
    while read -r version dsc; do
        if [[ -z "$best" ]] || dpkg --compare-versions "$version" gt "$best_version"; then
            best=$dsc
            best_version=$version
        fi
    done < <(apt-cache showsrc --only-source "$1" 2>/dev/null |
             awk '/^Version:/ { version = $2 }
                  /^Files:/ { files = 1; next }
                  /^[^ ]/ { files = 0 }
                  files && $3 ~ /\.dsc$/ { print version, $3 }')
    echo "$best"
}

# Fetches the source package once, and unpacks it afresh into src/NAME, with
# Debian's patches applied.
unpack() {
    local name=$1 dsc=$2
    if [[ ! -f "$src/$dsc" ]]; then
        update_sources
        # Into a folder of ours, not apt's: its download user could not write there.
        (cd "$src" && apt-get source --download-only -qq -o APT::Sandbox::User="$(id -un)" "$name")
    fi
    rm -rf "${src:?}/$name"
    dpkg-source --no-check -x "$src/$dsc" "$src/$name" >/dev/null
}

# --- The five builds, each into the prefix ---

cmake_build() {
    local name=$1
    shift
    rm -rf "${work:?}/$name"
    emcmake cmake -S "$src/$name" -B "$work/$name" \
        -DCMAKE_INSTALL_PREFIX="$prefix" -DCMAKE_CROSSCOMPILING_EMULATOR="$emulator" \
        -DZLIB_INCLUDE_DIR="$prefix/include" -DZLIB_LIBRARY="$prefix/lib/libz.a" "$@"
    cmake --build "$work/$name" -j "$jobs"
    cmake --install "$work/$name"
}

flags_zlib=(--static)
build_zlib() {
    cd "$src/zlib"
    emconfigure ./configure "${flags_zlib[@]}" --prefix="$prefix"
    emmake make -j "$jobs" install
}

# libpng, libzip and libimagequant are built for size: the page downloads
# every byte, while they handle a picture of 32x64 or a zip of a few entries.
# zlib, which unpacks and packs whole states, keeps its speed.
flags_libpng1_6=(-DCMAKE_BUILD_TYPE=MinSizeRel -DPNG_SHARED=OFF -DPNG_TESTS=OFF -DPNG_EXECUTABLES=OFF
                 -DPNG_HARDWARE_OPTIMIZATIONS=OFF)
build_libpng1_6() {
    cmake_build libpng1.6 "${flags_libpng1_6[@]}"
}

# Only the zlib method: the core reads and writes zips of one deflated entry.
flags_libzip=(-DCMAKE_BUILD_TYPE=MinSizeRel -DBUILD_SHARED_LIBS=OFF -DENABLE_BZIP2=OFF -DENABLE_LZMA=OFF
              -DENABLE_COMMONCRYPTO=OFF -DENABLE_GNUTLS=OFF -DENABLE_MBEDTLS=OFF
              -DENABLE_OPENSSL=OFF -DENABLE_WINDOWS_CRYPTO=OFF
              -DBUILD_TOOLS=OFF -DBUILD_REGRESS=OFF -DBUILD_EXAMPLES=OFF -DBUILD_DOC=OFF)
build_libzip() {
    cmake_build libzip "${flags_libzip[@]}"
}

# The library alone, without the dictionary builder, the deprecated calls and
# the legacy formats: half the size of its CMake build's, and faster to build.
flags_libzstd=(ZSTD_LIB_MINIFY=1 ZSTD_LIB_DICTBUILDER=0 ZSTD_LIB_DEPRECATED=0)
build_libzstd() {
    cd "$src/libzstd/lib"
    emmake make -j "$jobs" libzstd.a "${flags_libzstd[@]}"
    install -m 644 libzstd.a "$prefix/lib/"
    install -m 644 zstd.h zstd_errors.h "$prefix/include/"
}

# Its CMake build wants SSE and a shared library: its C files compile alone.
flags_libimagequant=(-std=c99 -Os -DNDEBUG)
build_libimagequant() {
    cd "$src/libimagequant"
    rm -f ./*.o
    local file
    for file in libimagequant blur mediancut mempool nearest pam kmeans; do
        emcc "${flags_libimagequant[@]}" -c "$file.c" -o "$file.o"
    done
    emar rcs "$prefix/lib/libimagequant.a" ./*.o
    install -m 644 libimagequant.h "$prefix/include/"
}

# Builds one library unless its stamp matches, and says what it did.
dependency() {
    local name=$1
    local -n flags=flags_${1//[.-]/_}
    local dsc
    dsc=$(dsc_of "$name")
    local version=${dsc#"${name}"_}
    version=${version%.dsc}
    local key="$dsc emscripten $emscripten ${flags[*]}"
    if [[ -f "$stamps/$name" && "$(cat "$stamps/$name")" == "$key" ]]; then
        echo "$name $version: built already"
        return
    fi
    echo "$name $version: building (log in $logs/$name.log)"
    local started=$SECONDS
    rm -f "$stamps/$name"
    unpack "$name" "$dsc"
    # A subshell of its own, so that the build's cd stays there, and with
    # errexit set inside: a condition around it would turn errexit off.
    set +e
    (set -e; "build_${name//[.-]/_}") >"$logs/$name.log" 2>&1
    local status=$?
    set -e
    if [[ $status -ne 0 ]]; then
        tail -n 30 "$logs/$name.log" >&2
        echo "$name: the build failed; its log is $logs/$name.log" >&2
        exit 1
    fi
    echo "$key" >"$stamps/$name"
    echo "$name $version: built in $((SECONDS - started)) s"
}

mkdir -p "$src" "$work" "$logs" "$stamps" "$prefix/include" "$prefix/lib"
started=$SECONDS
ensure_deb_src
# zlib first: libpng and libzip build against it.
for name in zlib libpng1.6 libzip libzstd libimagequant; do
    dependency "$name"
done
echo "Dependencies in $prefix ($((SECONDS - started)) s)"
