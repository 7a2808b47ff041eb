#!/usr/bin/env bash
# Installs the Debian packages that the browser build (`make web`) needs, and
# only those that are missing. Run as root (or with sudo available). Kept apart
# from install-deps.sh so that the native build and CI do not pull in a
# compiler and a browser they never use.
set -euo pipefail

packages=(
    # the compiler to WebAssembly, and the node that runs what it makes
    emscripten nodejs
    # the configuration and builds of the core and its dependencies
    make cmake pkg-config
    # apt-get source: fetches and unpacks Debian's source packages
    dpkg-dev
    # the page's tests in a real browser
    chromium
)

missing=()
for package in "${packages[@]}"; do
    status=$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null || true)
    if [[ "$status" != "install ok installed" ]]; then
        missing+=("$package")
    fi
done

if [[ ${#missing[@]} -eq 0 ]]; then
    exit 0
fi

echo "Installing: ${missing[*]}"
sudo=()
if [[ $(id -u) -ne 0 ]]; then
    if command -v sudo >/dev/null; then
        sudo=(sudo)
    else
        echo "These packages are missing and I am not root: ${missing[*]}" >&2
        exit 1
    fi
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
