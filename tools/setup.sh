#!/usr/bin/env bash
# setup.sh -- installs the Debian packages the build, the demo and the tests need, only when missing.
# xfonts-base gives the X server the core fonts that SDL's X11 message boxes draw with.
set -euo pipefail

packages=(
    build-essential cmake pkg-config
    libsdl2-dev libgl1-mesa-dev libgl1-mesa-dri libepoxy-dev libglu1-mesa-dev
    libfreetype-dev libfontconfig-dev fonts-comic-neue libpng-dev
    libgtest-dev libgmock-dev libbenchmark-dev
    xvfb xauth xfonts-base xdotool imagemagick x11-utils
    clang libclang-rt-14-dev llvm  # the fuzzers: clang, its libFuzzer runtime, llvm-symbolizer
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "setup: installing ${missing[*]}"
sudo=""
if [ "$(id -u)" -ne 0 ]; then
    command -v sudo >/dev/null || { echo "setup: need root or sudo to install: ${missing[*]}" >&2; exit 1; }
    sudo="sudo"
fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
