#!/usr/bin/env bash
# setup_windows.sh -- installs what the Windows targets need, only when missing: the mingw-w64
# cross compiler (posix threads) and zip, and for the tests Wine with the Mesa drivers of the
# same width and Debian's GoogleTest sources. make run and make test never call it.
#   tools/setup_windows.sh build [32|64]   the cross compiler for i686 (32) or x86_64 (64), zip
#   tools/setup_windows.sh test [32|64]    the above, and Wine of that width with its GL
set -euo pipefail
what=${1:-test}
bits=${2:-32}

case "$bits" in
32) packages=(g++-mingw-w64-i686-posix binutils-mingw-w64-i686 zip) ;;
64) packages=(g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 zip) ;;
*)
    echo "setup_windows: the width is 32 or 64, not '$bits'" >&2
    exit 2
    ;;
esac
i386=()
if [ "$what" = test ]; then
    packages+=(googletest xvfb xauth xdotool imagemagick x11-utils fonts-comic-neue)
    if [ "$bits" = 32 ]; then
        packages+=(wine)
        i386=(wine32:i386 libgl1:i386 libglx-mesa0:i386 libgl1-mesa-dri:i386)
    else
        # wine64 alone: the wine package's launcher runs 64-bit programs through it.
        packages+=(wine wine64 libgl1 libglx-mesa0 libgl1-mesa-dri)
    fi
fi

source "$(dirname "$0")/packages.sh"
mapfile -t missing < <(missing_packages "${packages[@]}" "${i386[@]}")
[ ${#missing[@]} -eq 0 ] && exit 0

# wine32 and the 32-bit Mesa come from the i386 architecture; its package lists arrive with the
# update that follows adding it.
if [ ${#i386[@]} -ne 0 ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
    echo "setup_windows: adding the i386 architecture"
    as_root dpkg --add-architecture i386
fi
install_packages setup_windows "${missing[@]}"
