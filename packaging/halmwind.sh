#!/bin/sh
# halmwind -- starts the demo in the folder that holds terrain.raw and wind.cg, which it reads
# from its working directory. The paths are taken from where this script lies, so an install
# under another prefix works as well as the package's /usr.
set -e
prefix=$(dirname "$(dirname "$(readlink -f "$0")")")
cd "$prefix/share/halmwind"
exec "$prefix/libexec/halmwind/halmwind" "$@"
