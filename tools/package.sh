#!/usr/bin/env bash
# package.sh -- builds the program alone into build-package/ with Debian's hardening flags, makes
# dist/halmwind_<version>_<arch>.deb with CPack and has lintian check it: tools/package.sh [BUILD_DIR]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build-package}
cd "$root"
bash tools/setup_package.sh

version=$(tools/version.sh)
# The changelog's date is the last commit's, so that one commit gives one package.
if [ -z "${SOURCE_DATE_EPOCH:-}" ] && git -C "$root" rev-parse --git-dir >/dev/null 2>&1; then
    SOURCE_DATE_EPOCH=$(git -C "$root" log -1 --format=%ct)
    export SOURCE_DATE_EPOCH
fi
deb="dist/halmwind_${version}_$(dpkg --print-architecture).deb"

# The flags a Debian package is built with (stack protector, fortify, relro, bind-now), read at
# the first configure; the package tree holds no tests or tools, so none are built.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
CPPFLAGS=$(dpkg-buildflags --get CPPFLAGS)
CFLAGS="$(dpkg-buildflags --get CFLAGS) $CPPFLAGS"
CXXFLAGS="$(dpkg-buildflags --get CXXFLAGS) $CPPFLAGS"
LDFLAGS=$(dpkg-buildflags --get LDFLAGS)
export CFLAGS CXXFLAGS LDFLAGS
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
    -DHALMWIND_BUILD_TESTS=OFF -DHALMWIND_BUILD_TOOLS=OFF -DHALMWIND_BUILD_BENCHMARKS=OFF \
    -DHALMWIND_BUILD_FUZZERS=OFF -DHALMWIND_SANITIZE=OFF
cmake --build "$build" -j "${JOBS:-2}"
rm -f "$deb"
# fakeroot: the files in the package belong to root whoever builds it.
(cd "$build" && fakeroot cpack -G DEB)
[ -f "$deb" ] || { echo "package: cpack made no $deb" >&2; exit 1; }

# Errors fail the build; warnings are printed for whoever reads the log.
echo "package: lintian $deb"
lintian --fail-on error --info --tag-display-limit 0 "$deb"
echo "package: $deb ($(du -h "$deb" | cut -f1))"
