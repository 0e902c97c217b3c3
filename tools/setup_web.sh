#!/usr/bin/env bash
# setup_web.sh -- installs what the web build and its browser check need, only when missing:
# Emscripten and the headless Chromium from Debian, the source-package tools, and puppeteer-core
# from npm at the version the lock file pins. make run and make test never call it.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

# dpkg-dev unpacks the source packages that apt-get source fetches; xz-utils their tarballs.
# libfreetype6 and libglu1-mesa bring the Debian copyright files that the page's notices quote
# (tools/notices.sh).
packages=(emscripten chromium-headless-shell cmake make python3 dpkg-dev xz-utils nodejs npm fonts-comic-neue
          libfreetype6 libglu1-mesa)

source "$root/tools/packages.sh"
mapfile -t missing < <(missing_packages "${packages[@]}")
# Node from another archive may bring npm inside its own nodejs package.
if command -v npm >/dev/null; then
    mapfile -t missing < <(printf '%s\n' "${missing[@]}" | grep -vx -e npm -e nodejs || true)
fi
install_packages setup_web "${missing[@]}"

# The browser check's driver, exactly as tests/web/package-lock.json pins it.
if [ ! -f "$root/tests/web/node_modules/puppeteer-core/package.json" ]; then
    echo "setup_web: installing puppeteer-core"
    (cd "$root/tests/web" && npm ci --no-audit --no-fund --silent)
fi
