#!/usr/bin/env bash
# build_web.sh -- the WebAssembly build: gl4es, GLU's libutil and libtess, FreeType and the demo,
# each with Emscripten into BUILD (default build-web), then the page and its files into
# dist/halmwind-web/. Set-up is tools/setup_web.sh's; this script installs nothing.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(mkdir -p "${1:-build-web}" && cd "${1:-build-web}" && pwd)
dist=$root/dist/halmwind-web
jobs=${JOBS:-2}
[ "$jobs" -gt 2 ] && jobs=2
# The machine is shared: the third-party builds and the demo run at lower priority.
nice_run() { nice -n 10 "$@"; }

# Debian's Emscripten: Node must find acorn and friends in Debian's module folder, and the
# system cache is frozen, so a private writable copy stands in for it.
export NODE_PATH=/usr/share/nodejs
export EM_CACHE=$build/em-cache
if [ ! -d "$EM_CACHE" ]; then
    cp -r /usr/share/emscripten/cache "$EM_CACHE.tmp"
    chmod -R u+w "$EM_CACHE.tmp"
    mv "$EM_CACHE.tmp" "$EM_CACHE"
fi
prefix=$build/prefix
mkdir -p "$prefix"

# --- Debian's source packages, fetched with an apt configuration of the build's own -----------
# The deb-src entry points at the archive the machine already uses; the system's sources, lists
# and cache stay untouched.
archive_line() {
    local uri="" suite="" keyring=/usr/share/keyrings/debian-archive-keyring.gpg f
    for f in /etc/apt/sources.list.d/*.sources; do
        [ -f "$f" ] || continue
        # The first deb822 stanza whose suites are Debian's release (not the security suite).
        read -r uri suite < <(awk '
            function take() { if (!done && u && s !~ /security/) { print u, s; done = 1 } u = ""; s = "" }
            /^URIs:/ { u = $2 } /^Suites:/ { s = $2 } /^$/ { take() } END { take() }' "$f") || true
        [ -n "$uri" ] && break
    done
    if [ -z "$uri" ] && [ -f /etc/apt/sources.list ]; then
        read -r uri suite < <(awk '$1 == "deb" && $0 !~ /security/ {
            for (i = 2; i <= NF; i++) if ($i !~ /^\[/ && $i !~ /\]$/) {print $i, $(i+1); exit}}' /etc/apt/sources.list)
    fi
    if [ -z "$uri" ]; then
        echo "build_web: found no Debian archive in the apt sources" >&2
        return 1
    fi
    echo "deb-src [signed-by=$keyring] $uri $suite main"
}

apt_dir=$build/apt
apt_private=(-o Dir::Etc::SourceList="$apt_dir/sources.list" -o Dir::Etc::SourceParts=/dev/null
             -o Dir::State="$apt_dir/state" -o Dir::Cache="$apt_dir/cache"
             -o Dir::State::status=/var/lib/dpkg/status -o APT::Sandbox::User=root
             -o Debug::NoLocking=1)
fetch_source() {
    local package=$1 marker=$build/src/$1.unpacked
    [ -f "$marker" ] && return 0
    mkdir -p "$apt_dir/state/lists/partial" "$apt_dir/cache/archives/partial" "$build/src"
    if [ ! -f "$apt_dir/sources.list" ]; then
        archive_line > "$apt_dir/sources.list"
    fi
    if [ ! -f "$apt_dir/updated" ]; then
        echo "build_web: reading the source lists ($(cut -d' ' -f3- "$apt_dir/sources.list"))"
        apt-get "${apt_private[@]}" update -qq
        touch "$apt_dir/updated"
    fi
    echo "build_web: fetching the source package $package"
    if ! (cd "$build/src" && apt-get "${apt_private[@]}" source -qq "$package" >"$package.log" 2>&1); then
        # A mirror that lacks the Debian part (libglu's .diff.gz) still has the upstream
        # tarball, which is all the build takes from that package.
        unpack_orig "$package"
    fi
    touch "$marker"
}

# The upstream tarball of a source package, checked against the archive's hash and unpacked as
# PACKAGE-VERSION.
unpack_orig() {
    local package=$1 uri file hash dir
    read -r uri file _ hash < <(apt-get "${apt_private[@]}" source --print-uris -qq "$package" |
        grep -E "\.orig\.tar\.[a-z0-9]+' " | head -1)
    uri=${uri//\'/}
    if [ -z "$file" ]; then
        echo "build_web: no upstream tarball found for $package" >&2
        return 1
    fi
    if ! (cd "$build/src" && echo "${hash#SHA256:}  $file" | sha256sum -c --status 2>/dev/null); then
        /usr/lib/apt/apt-helper download-file "$uri" "$build/src/$file" "$hash" >/dev/null
    fi
    (cd "$build/src" && echo "${hash#SHA256:}  $file" | sha256sum -c --status)
    echo "build_web: $package from its upstream tarball $file"
    dir=$build/src/$package-$(echo "$file" | sed -E 's/^[^_]+_([^-]+)\.orig\..*/\1/')
    rm -rf "$dir" "$build/src/unpack"
    mkdir -p "$build/src/unpack"
    tar -xf "$build/src/$file" -C "$build/src/unpack"
    mv "$build/src/unpack"/* "$dir"
    rmdir "$build/src/unpack"
}

# The unpacked source folder of a package: the one dpkg-source made, named package-version.
source_dir() {
    find "$build/src" -maxdepth 1 -type d -name "$1-[0-9]*" | sort | tail -1
}

# --- gl4es: GL 1.1 over WebGL -----------------------------------------------------------------
# The copy in third_party/gl4es/ carries the project's change, kept beside it as a patch: the
# patch must undo cleanly on the copy, so that the two never drift apart.
for change in "$root"/third_party/gl4es/patches/*.patch; do
    if ! patch -d "$root/third_party/gl4es" -p1 -R --dry-run --silent < "$change" >/dev/null; then
        echo "build_web: $(basename "$change") does not match third_party/gl4es/" >&2
        exit 1
    fi
done
# gl4es writes its library into its source folder: it builds from a copy in the build folder,
# refreshed file by file (cp -u), so that a change rebuilds only what it touches.
mkdir -p "$build/gl4es-src"
cp -ru "$root/third_party/gl4es/." "$build/gl4es-src/"
if [ ! -f "$build/gl4es/CMakeCache.txt" ]; then
    echo "build_web: gl4es"
    nice_run emcmake cmake -S "$build/gl4es-src" -B "$build/gl4es" -DCMAKE_BUILD_TYPE=Release \
        -DNOX11=ON -DNOEGL=ON -DSTATICLIB=ON >/dev/null
fi
nice_run cmake --build "$build/gl4es" -j "$jobs" >/dev/null
mkdir -p "$prefix/lib"
cp -u "$build/gl4es-src/lib/libGL.a" "$prefix/lib/libgl4es.a"

# --- FreeType ---------------------------------------------------------------------------------
if [ ! -f "$prefix/lib/libfreetype.a" ]; then
    fetch_source freetype
    src=$(source_dir freetype)
    echo "build_web: FreeType from $(basename "$src")"
    # Only the outlines are needed: no compressed fonts, no PNG glyphs, no shaping.
    nice_run emcmake cmake -S "$src" -B "$build/freetype" -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_INSTALL_PREFIX="$prefix" -DFT_DISABLE_ZLIB=ON -DFT_DISABLE_BZIP2=ON -DFT_DISABLE_PNG=ON \
        -DFT_DISABLE_HARFBUZZ=ON -DFT_DISABLE_BROTLI=ON >/dev/null
    nice_run cmake --build "$build/freetype" -j "$jobs" >/dev/null
    cmake --install "$build/freetype" >/dev/null
fi

# --- GLU's libutil and libtess --------------------------------------------------------------
if [ ! -f "$prefix/lib/libGLU.a" ]; then
    fetch_source libglu
    src=$(source_dir libglu)
    echo "build_web: GLU from $(basename "$src")"
    nice_run emcmake cmake -S "$root/cmake/web_glu" -B "$build/glu" -DCMAKE_BUILD_TYPE=Release \
        -DGLU_SOURCE_DIR="$src" -DGL4ES_INCLUDE_DIR="$root/third_party/gl4es/include" \
        -DCMAKE_INSTALL_PREFIX="$prefix" >/dev/null
    nice_run cmake --build "$build/glu" -j "$jobs" >/dev/null
    cmake --install "$build/glu" >/dev/null
fi

# --- the demo ---------------------------------------------------------------------------------
echo "build_web: the demo"
nice_run emcmake cmake -S "$root" -B "$build/halmwind" -DCMAKE_BUILD_TYPE=Release \
    -DHALMWIND_WEB_PREFIX="$prefix" -DHALMWIND_BUILD_TESTS=OFF -DHALMWIND_BUILD_TOOLS=OFF \
    -DHALMWIND_BUILD_BENCHMARKS=OFF >/dev/null
nice_run cmake --build "$build/halmwind" -j "$jobs" --target halmwind_web -- --no-print-directory

# --- the page and its files -------------------------------------------------------------------
rm -rf "$dist"
mkdir -p "$dist"
cp "$build/halmwind/halmwind.js" "$build/halmwind/halmwind.wasm" "$dist/"
cp "$root/platform/web/page/index.html" "$root/platform/web/page/halmwind_page.js" "$dist/"
cp "$root/data/terrain.raw" "$root/data/wind.cg" "$dist/"
# Halmwind's licence and the notices of everything else the folder ships.
cp "$root/LICENSE" "$dist/LICENSE.txt"
bash "$root/tools/notices.sh" web "$dist/THIRD-PARTY-NOTICES.txt" "$build"
echo "build_web: $(du -sh "$dist" | cut -f1) in $dist"
