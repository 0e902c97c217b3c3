#!/usr/bin/env bash
# setup.sh -- installs the Debian packages the build, the demo and the tests need, only when missing.
# xfonts-base gives the X server the core fonts that SDL's X11 message boxes draw with.
set -euo pipefail

packages=(
    build-essential cmake pkg-config
    libsdl2-dev libgl1-mesa-dev libgl1-mesa-dri libepoxy-dev libglu1-mesa-dev
    libfreetype-dev libfontconfig-dev fonts-comic-neue libpng-dev
    libgtest-dev libgmock-dev libbenchmark-dev
    xvfb xauth xfonts-base xdotool imagemagick x11-utils x11-xserver-utils  # xrandr: display modes in tests
    clang libclang-rt-14-dev llvm  # the fuzzers: clang, its libFuzzer runtime, llvm-symbolizer
    glslang-tools spirv-cross  # the Cg tests' oracle: the same program read as HLSL, turned back into GLSL
)

source "$(dirname "$0")/packages.sh"
mapfile -t missing < <(missing_packages "${packages[@]}")
install_packages setup "${missing[@]}"
