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

installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"; }

missing=()
for p in "${packages[@]}" "${i386[@]}"; do
    installed "$p" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
if [ "$(id -u)" -ne 0 ]; then
    command -v sudo >/dev/null || { echo "setup_windows: need root or sudo to install: ${missing[*]}" >&2; exit 1; }
    sudo="sudo"
fi
export DEBIAN_FRONTEND=noninteractive
apt=(apt-get -o DPkg::Lock::Timeout=900)

# wine32 and the 32-bit Mesa come from the i386 architecture; its package lists arrive with the
# update that follows adding it.
if [ ${#i386[@]} -ne 0 ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
    echo "setup_windows: adding the i386 architecture"
    $sudo dpkg --add-architecture i386
fi
echo "setup_windows: installing ${missing[*]}"
$sudo "${apt[@]}" update -qq
$sudo "${apt[@]}" install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
