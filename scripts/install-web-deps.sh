#!/usr/bin/env bash
# Installs the Debian packages that the browser build (`make web`) and the
# page's tests need, and only those that are missing, then the tests' npm
# packages (playwright-core, as tests/web/package-lock.json pins it) into
# tests/web/node_modules. Run as root (or with sudo available) for the Debian
# packages. Kept apart from install-deps.sh so that a native build that never
# makes the page does not pull in a compiler and a browser it does not use.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/apt-install.sh

# The pinned packages, installed again only when the lock file changed since
# the last install (npm ci starts from an empty node_modules each time).
install_test_packages() {
    local lock=tests/web/package-lock.json
    local stamp=tests/web/node_modules/.morvane-package-lock.json
    if cmp -s "$lock" "$stamp" 2>/dev/null; then
        return 0
    fi
    echo "Installing the page's test packages: npm ci in tests/web"
    npm ci --prefix tests/web --no-audit --no-fund --loglevel=error
    cp "$lock" "$stamp"
}

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

# NodeSource's nodejs carries npm; Debian's has it in a package of its own.
if ! command -v npm >/dev/null; then
    packages+=(npm)
fi
install_missing "${packages[@]}"
install_test_packages
