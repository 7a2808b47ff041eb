#!/usr/bin/env bash
# Installs the Debian packages that Morvane needs to build, run and test,
# and only those that are missing. Run as root (or with sudo available).
set -euo pipefail
. "$(dirname "$0")/apt-install.sh"

packages=(
    # build
    g++ make cmake pkg-config
    # tests
    libgtest-dev libgmock-dev python3
    # real image tools that the tests check our files against
    imagemagick python3-pil
    # the desktop application, and a display for it where there is none
    qt6-base-dev libgl-dev xvfb xauth
    # compressed save states (RetroArch's RZIP v2 is Zstandard) and PNG pictures
    libzip-dev zlib1g-dev libzstd-dev libpng-dev libimagequant-dev
    # make bench: Google Benchmark, and GNU time for the peak memory
    libbenchmark-dev time
    # the fuzz targets (clang's libFuzzer and sanitizer runtimes) and memcheck
    clang-14 libclang-rt-14-dev valgrind
    # make test: a real N64 emulator core (test dependency only) that saves the
    # states Morvane reads and loads the states Morvane writes; its RSP plugin
    libmupen64plus2 libmupen64plus-dev mupen64plus-rsp-hle
    # make test: RetroArch run headless with its NES core on a cartridge of our
    # own, saving the RetroArch states Morvane reads and loading those it writes
    retroarch libretro-nestopia libretro-core-info
    # the desktop entry, MIME type and AppStream metainfo, checked by their
    # own validators; the Debian package and its dependencies (dpkg-shlibdeps)
    desktop-file-utils shared-mime-info appstream dpkg-dev file
    # Debian's checker of the package; what two MIME libraries make of the
    # save states' names, asked through xdg-mime: Perl's File::MimeInfo and GLib
    lintian xdg-utils libfile-mimeinfo-perl libglib2.0-bin
)

install_missing "${packages[@]}"
