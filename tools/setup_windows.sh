#!/usr/bin/env bash
# setup_windows.sh -- installs what the Windows targets need, only when missing: the mingw-w64
# cross compiler for i686 (posix threads), zip, and for the tests Wine in a 32-bit flavour with
# the 32-bit Mesa drivers and Debian's GoogleTest sources. make run and make test never call it.
#   tools/setup_windows.sh build   the cross compiler and zip
#   tools/setup_windows.sh test    the above, Wine and its 32-bit GL, the GoogleTest sources
set -euo pipefail
what=${1:-test}

packages=(g++-mingw-w64-i686-posix binutils-mingw-w64-i686 zip)
i386=()
if [ "$what" = test ]; then
    packages+=(googletest wine xvfb xauth xdotool imagemagick x11-utils fonts-comic-neue)
    i386=(wine32:i386 libgl1:i386 libglx-mesa0:i386 libgl1-mesa-dri:i386)
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
