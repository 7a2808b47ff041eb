#!/usr/bin/env bash
# Installs the build into a DESTDIR and checks what a desktop and a packager
# expect of it: every file in its place and nothing more, the desktop entry,
# MIME type and metainfo accepted by their validators, the save states' names
# typed as such by the MIME libraries, the manual pages free of groff
# warnings, and the bash completion answering as it should.
#
# usage: install_test.sh BUILD
set -euo pipefail
build=$1
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
fail() {
    echo "FAIL: $*" >&2
    exit 1
}

DESTDIR=$root/dest cmake --install "$build" --prefix /usr >/dev/null
dest=$root/dest/usr
share=$dest/share
app_id=io.github.morvane.Morvane

expected=(
    bin/morvane
    bin/morvane-cli
    share/applications/$app_id.desktop
    share/bash-completion/completions/morvane-cli
    share/doc/morvane/LICENSE
    share/doc/morvane/README.md
    share/doc/morvane/changelog.Debian.gz
    share/doc/morvane/copyright
    share/lintian/overrides/morvane
    share/man/man1/morvane-cli.1.gz
    share/man/man1/morvane.1.gz
    share/metainfo/$app_id.metainfo.xml
    share/mime/packages/morvane.xml
    share/icons/hicolor/scalable/apps/morvane.svg
)
for size in 16 32 48 64 128 256; do
    expected+=("share/icons/hicolor/${size}x$size/apps/morvane.png")
done
installed=$(cd "$dest" && find . -type f -printf '%P\n' | sort)
wanted=$(printf '%s\n' "${expected[@]}" | sort)
[[ "$installed" == "$wanted" ]] ||
    fail "installed files differ from the expected ones:"$'\n'"$(diff <(echo "$wanted") <(echo "$installed"))"

for size in 16 32 48 64 128 256; do
    file "$share/icons/hicolor/${size}x$size/apps/morvane.png" | grep -q "PNG image data, $size x $size" ||
        fail "the ${size}x$size icon is not $size pixels square"
done

desktop-file-validate "$share/applications/$app_id.desktop" || fail "desktop-file-validate"
grep -qx 'Exec=morvane %f' "$share/applications/$app_id.desktop" || fail "Exec is not 'morvane %f'"
appstreamcli validate --no-net "$share/metainfo/$app_id.metainfo.xml" >"$root/appstream.log" 2>&1 ||
    fail "appstreamcli validate: $(cat "$root/appstream.log")"

# The MIME type goes through update-mime-database beside the system's own
# types, which it subclasses, in a data folder of the test's own; the tool
# reports errors without failing, so its output must be empty. Every type that
# the desktop entry names must exist.
data=$root/data
mime=$data/mime
mkdir -p "$mime/packages"
cp /usr/share/mime/packages/freedesktop.org.xml "$share/mime/packages/morvane.xml" "$mime/packages/"
update-mime-database "$mime" >"$root/mime.log" 2>&1
! grep -v -e "^Note that" -e "^set by the" -e "^environment variables" -e "^be able to find" \
    -e "^them. The" -e "^directories currently" -e '^- /' -e '^$' "$root/mime.log" ||
    fail "update-mime-database complained"
for type in $(sed -n 's/^MimeType=//p' "$share/applications/$app_id.desktop" | tr ';' ' '); do
    grep -qx "$type" "$mime/types" || fail "$type is in the desktop entry but not a MIME type"
done

# The states' names as a file manager asks for their type, through xdg-mime:
# Perl's File::MimeInfo where no desktop is named, GLib under GNOME. Each file
# holds what the emulator writes (gzip, zip), so a glob that a library does not
# read leaves it the generic type of its contents.
names=$root/names
mkdir "$names"
for slot in 1 5; do gzip -c <<<state >"$names/s.st$slot"; done
for slot in '' 5 10; do echo state >"$names/s.pj$slot"; done
python3 - "$names"/s.pj{,5,10}.zip <<'PY'
import sys, zipfile
for name in sys.argv[1:]:
    with zipfile.ZipFile(name, "w") as archive:
        archive.writestr("s.pj", b"state")
PY
for name in s.st1 s.st5 s.pj s.pj5 s.pj10 s.pj.zip s.pj5.zip s.pj10.zip; do
    case $name in
        *.zip) wanted_type=application/x-project64-state-zip ;;
        *.pj*) wanted_type=application/x-project64-state ;;
        *) wanted_type=application/x-mupen64plus-state ;;
    esac
    for desktop in X-Generic GNOME; do
        type=$(XDG_CURRENT_DESKTOP=$desktop XDG_DATA_HOME="$data" XDG_DATA_DIRS="$root/none" \
            xdg-mime query filetype "$names/$name")
        [[ $type == "$wanted_type" ]] || fail "xdg-mime under $desktop types $name as '$type', not $wanted_type"
    done
done

for page in morvane morvane-cli; do
    warnings=$(gzip -dc "$share/man/man1/$page.1.gz" | LC_ALL=C.UTF-8 groff -man -ww -z -Tutf8 2>&1)
    [[ -z "$warnings" ]] || fail "$page.1: $warnings"
done

# The completion, as bash would call it.
complete_line() {
    (
        cd "$root"
        # shellcheck disable=SC1091
        source "$share/bash-completion/completions/morvane-cli"
        COMP_WORDS=("$@")
        COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
        _morvane_cli
        printf '%s\n' "${COMPREPLY[@]}" | sort | tr '\n' ' '
    )
}
mkdir -p "$root/faces" && touch "$root/state.pj"
[[ $(complete_line morvane-cli ex) == "export " ]] || fail "completion of a command"
[[ $(complete_line morvane-cli export state.pj faces --format '') == "bmp png " ]] ||
    fail "completion of --format's values"
[[ $(complete_line morvane-cli export state.pj faces --f) == "--force --format " ]] ||
    fail "completion of export's options"
[[ $(complete_line morvane-cli import state.pj --) == "--dither --force --output " ]] ||
    fail "completion of import's options"
[[ $(complete_line morvane-cli info st) == "state.pj " ]] || fail "completion of a state"
[[ $(complete_line morvane-cli export state.pj f) == "faces " ]] || fail "completion of a folder"
# A name with spaces is one answer, whether its start is typed plain or with
# the backslashes that readline put in at the previous Tab.
touch "$root/GoldenEye 007 (U) [!].pj.zip"
for typed in Gold 'GoldenEye\ 007\ \(U'; do
    [[ $(complete_line morvane-cli info "$typed") == "GoldenEye 007 (U) [!].pj.zip " ]] ||
        fail "completion of a name with spaces from '$typed': $(complete_line morvane-cli info "$typed")"
done

"$dest/bin/morvane-cli" --version | grep -q '^morvane-cli ' || fail "morvane-cli --version"
env -u DISPLAY -u WAYLAND_DISPLAY "$dest/bin/morvane" --version | grep -q '^morvane ' ||
    fail "morvane --version"
echo "installed and checked: ${#expected[@]} files"
