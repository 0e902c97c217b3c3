#!/usr/bin/env bash
# setup_package.sh -- installs what making and checking the Debian package needs, only when
# missing: dpkg-shlibdeps and dpkg-buildflags (dpkg-dev), lintian, fakeroot and file.
# The build's own packages come from tools/setup.sh; `make run` and `make test` need none of these.
set -euo pipefail

packages=(dpkg-dev lintian fakeroot file)

source "$(dirname "$0")/packages.sh"
mapfile -t missing < <(missing_packages "${packages[@]}")
install_packages setup "${missing[@]}"
