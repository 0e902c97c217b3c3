#!/usr/bin/env bash
# setup_package.sh -- installs what making and checking the Debian package needs, only when
# missing: dpkg-shlibdeps and dpkg-buildflags (dpkg-dev), lintian, fakeroot and file.
# The build's own packages come from tools/setup.sh; `make run` and `make test` need none of these.
set -euo pipefail

packages=(dpkg-dev lintian fakeroot file)

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
# Another apt run may hold the lock for a while; wait for it rather than fail.
$sudo apt-get -o DPkg::Lock::Timeout=900 update -qq
$sudo apt-get -o DPkg::Lock::Timeout=900 install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
