# packages.sh -- sourced by the set-up scripts: which Debian packages are missing, and installing
# them with apt-get as root or through sudo.
# shellcheck shell=bash

# Prints each named package that is not installed, one a line.
missing_packages() {
    local p
    for p in "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || echo "$p"
    done
}

# Runs a command as root: directly, or through sudo.
as_root() {
    if [ "$(id -u)" -eq 0 ]; then
        "$@"
    elif command -v sudo >/dev/null; then
        sudo "$@"
    else
        echo "setup: need root or sudo for: $*" >&2
        return 1
    fi
}

# install_packages WHO PACKAGE...: installs the given packages (nothing when none are given).
# Another apt run may hold the lock for a while; it is waited for rather than failed on.
install_packages() {
    local who=$1
    shift
    [ $# -eq 0 ] && return 0
    echo "$who: installing $*"
    export DEBIAN_FRONTEND=noninteractive
    as_root apt-get -o DPkg::Lock::Timeout=900 update -qq
    as_root apt-get -o DPkg::Lock::Timeout=900 install -y -qq --no-install-recommends "$@" >/dev/null
}
