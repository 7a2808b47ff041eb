#!/usr/bin/env bash
# Builds the Debian package from the build tree with CPack, as `make package`
# does but into a folder of its own, has lintian check it, unpacks it with
# dpkg-deb into a temporary root and runs the unpacked morvane-cli on a
# generated state. The package must pass lintian without an error or warning,
# declare what dpkg-shlibdeps found and what the window needs to open, and run
# on the system's libraries.
#
# usage: package_test.sh BUILD MAKE_STATE
set -euo pipefail
build=$(cd "$1" && pwd)
make_state=$2
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
fail() {
    echo "FAIL: $*" >&2
    exit 1
}

cpack -G DEB --config "$build/CPackConfig.cmake" -B "$root/out" >"$root/cpack.log" 2>&1 ||
    fail "cpack: $(cat "$root/cpack.log")"
packages=("$root"/out/morvane_*.deb)
[[ ${#packages[@]} -eq 1 && -f ${packages[0]} ]] || fail "no morvane_*.deb: $(ls "$root/out")"
deb=${packages[0]}

# Hardening is checked on the programs as built: a build without
# dpkg-buildflags (which `make build` passes to CMake) fails here.
lintian --fail-on error,warning "$deb" >"$root/lintian.log" 2>&1 ||
    fail "lintian: $(grep -v '^running with root' "$root/lintian.log")"

depends=$(dpkg-deb --field "$deb" Depends)
for library in libc6 libzip4 libpng16-16 libimagequant0 libqt6widgets6 qt6-qpa-plugins; do
    [[ $depends == *"$library"* ]] || fail "Depends lacks $library: $depends"
done

dpkg-deb -x "$deb" "$root/unpacked"
for file in usr/bin/morvane usr/bin/morvane-cli usr/share/man/man1/morvane-cli.1.gz \
    usr/share/applications/io.github.morvane.Morvane.desktop; do
    [[ -f "$root/unpacked/$file" ]] || fail "the package lacks /$file"
done
# An override silences lintian for good, so each one comes after its reason.
overrides=$root/unpacked/usr/share/lintian/overrides/morvane
if [[ -f $overrides ]]; then
    unexplained=$(awk '/^[^#[:space:]]/ && previous !~ /^#/ { print } { previous = $0 }' "$overrides")
    [[ -z "$unexplained" ]] || fail "lintian overrides without a comment saying why: $unexplained"
fi

"$make_state" --faces 3 --others 2 "$root/GOLDENEYE.pj"
"$root/unpacked/usr/bin/morvane-cli" info "$root/GOLDENEYE.pj" >"$root/info.txt"
grep -qx 'face textures: 3' "$root/info.txt" || fail "the unpacked morvane-cli said: $(cat "$root/info.txt")"
echo "$(basename "$deb"): Depends: $depends"
