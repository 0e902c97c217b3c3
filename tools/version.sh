#!/usr/bin/env bash
# version.sh -- prints the version set by project() in CMakeLists.txt, for scripts that name
# what they make (the Windows zip, the Debian package) without configuring a build.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
version=$(sed -n 's/^project(halmwind VERSION \([0-9][0-9.]*\)[ )].*/\1/p' "$root/CMakeLists.txt")
[ -n "$version" ] || { echo "version: no 'project(halmwind VERSION x.y.z ...)' line in CMakeLists.txt" >&2; exit 1; }
echo "$version"
