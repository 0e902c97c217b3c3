#!/usr/bin/env bash
# notices.sh -- writes the third-party notices of one artefact: what it ships besides Halmwind,
# and each part's licence text and notices as Debian (or, for gl4es, upstream) gives them.
#   tools/notices.sh web OUT_FILE BUILD_WEB_DIR      (dist/halmwind-web/)
#   tools/notices.sh windows OUT_FILE                (the Windows zips)
# The texts are read from the machine, never written here: /usr/share/doc/PACKAGE/copyright of
# the Debian packages that the build used, and the licence files of the source trees it built.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
kind=${1:?usage: notices.sh web|windows OUT_FILE [BUILD_WEB_DIR]}
out=${2:?usage: notices.sh web|windows OUT_FILE [BUILD_WEB_DIR]}

# The copyright file of an installed Debian package, or a failure that names it.
debian_copyright() {
    local file=/usr/share/doc/$1/copyright
    if [ ! -f "$file" ]; then
        echo "notices: $file is missing (is $1 installed?)" >&2
        exit 1
    fi
    echo "$file"
}

# One part: a heading, where its text comes from, and the text itself, unchanged.
section() {
    local title=$1 file=$2
    printf '\n%s\n%s\n' "$title" "$(printf '%*s' "${#title}" '' | tr ' ' '-')"
    printf 'Text of %s:\n\n' "${file#"$root"/}"
    cat "$file"
}

# The installed version of a Debian package.
version() { dpkg-query -W -f='${Version}' "$1"; }

{
case $kind in
web)
    build=${3:?notices.sh web needs the web build folder}
    ftl=$(find "$build/src" -maxdepth 3 -path '*freetype-*/docs/FTL.TXT' | sort | tail -1)
    if [ -z "$ftl" ]; then
        echo "notices: no FreeType source tree with docs/FTL.TXT in $build/src" >&2
        exit 1
    fi
    # The FTL's credit line, with the year of the release's own copyright notice.
    year=$(grep -o 'Copyright (C) [0-9]*-[0-9]*' "$(dirname "$ftl")/../include/freetype/freetype.h" | head -1 | sed 's/.*-//')
    credit=$(grep -m1 -A1 'Portions of this software are copyright' "$ftl" | sed 's/^ *//' | tr '\n' ' ' |
        sed "s/ *\$//; s/<year>/$year/")
    cat <<EOF
Halmwind for the web: third-party notices
=========================================

Halmwind itself is under the MIT licence (LICENSE.txt). halmwind.js and halmwind.wasm also hold:

- gl4es (https://github.com/ptitSeb/gl4es at $(grep -o 'commit [0-9a-f]*' "$root/third_party/gl4es/SOURCE.txt" | head -1),
  with Halmwind's change that its sources keep in third_party/gl4es/patches/): MIT licence,
  its LICENSE below.
- FreeType $(basename "$(dirname "$(dirname "$ftl")")" | sed 's/^freetype-//') (Debian's freetype source package), used under the
  FreeType Project License (FTL). As the FTL asks:
  $credit
- GLU 9.0.2, its libutil and libtess (Debian's libglu source package): SGI Free Software
  License B, Version 2.0.
- The Comic Neue face, ComicNeue-Regular.otf (Debian's fonts-comic-neue $(version fonts-comic-neue)), built
  into the program for the overlay's text: SIL Open Font License, Version 1.1.
- Emscripten's runtime (Debian's emscripten $(version emscripten)): its JavaScript glue in halmwind.js
  and the parts of its system libraries compiled into halmwind.wasm (musl libc, libc++,
  libc++abi, compiler-rt, dlmalloc). Debian's copyright file for emscripten is given whole;
  it names the licence of each of those parts.

The texts follow, each as its source gives it.
EOF
    section "gl4es" "$root/third_party/gl4es/LICENSE"
    section "FreeType: the FreeType Project License" "$ftl"
    section "FreeType: Debian's copyright file" "$(debian_copyright libfreetype6)"
    section "GLU: Debian's copyright file" "$(debian_copyright libglu1-mesa)"
    section "Comic Neue: Debian's copyright file" "$(debian_copyright fonts-comic-neue)"
    section "Emscripten: Debian's copyright file" "$(debian_copyright emscripten)"
    ;;
windows)
    cat <<EOF
Halmwind for Windows: third-party notices
=========================================

Halmwind itself is under the MIT licence (LICENSE.txt). halmwind.exe is linked statically with
the runtime of Debian's mingw-w64 cross compiler, so it also holds:

- mingw-w64's winpthreads (the POSIX threads the compiler's runtime uses) and the mingw-w64
  C runtime's start-up code (Debian's mingw-w64 $(version mingw-w64-common)). Debian's copyright file for
  mingw-w64 is given whole; winpthreads is its part "mingw-w64-libraries/winpthreads".
- GCC's runtime libraries libgcc and libstdc++ (Debian's gcc-mingw-w64 $(version gcc-mingw-w64-base)), under the
  GNU GPL version 3 with the GCC Runtime Library Exception. Debian's copyright file for
  gcc-mingw-w64 is given whole.

OPENGL32, GLU32 and the other DLLs it imports are Windows' own and are not shipped.

The texts follow, each as its source gives it.
EOF
    section "mingw-w64 (winpthreads, C runtime): Debian's copyright file" "$(debian_copyright mingw-w64-common)"
    section "GCC runtime libraries: Debian's copyright file" "$(debian_copyright gcc-mingw-w64-base)"
    ;;
*)
    echo "notices: unknown artefact $kind (web or windows)" >&2
    exit 2
    ;;
esac
} > "$out.tmp"
# Windows' own editors expect CRLF line ends, as the zip's README.txt and LICENSE.txt have.
if [ "$kind" = windows ]; then
    sed -i 's/\r*$/\r/' "$out.tmp"
fi
mv "$out.tmp" "$out"
