#!/usr/bin/env bash
# test_windows.sh -- the Windows build's tests under Wine: the portable core's unit tests
# cross-compiled, then the end-to-end cases of the Linux suite with halmwind.exe as the program.
#   tools/test_windows.sh LINUX_BUILD [units]
# With "units" only the unit tests run.
#
# The design's platform is 32-bit Windows, and that build is tested where this machine can run
# 32-bit programs. Where it cannot, the 64-bit build of the same sources runs under wine64
# instead (HALMWIND_WINDOWS_BITS=32 or 64 chooses by hand). Either way: install what that route
# needs, cross-build into build-win32 or build-win64, and run the same cases in a fresh prefix.
# The first start in a new prefix takes Wine about 10 s.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
linux_build=$(realpath -m "${1:-build}")
only=${2:-all}

source "$root/tools/packages.sh"
source "$root/tools/windows_route.sh"
# The probe is assembled with binutils' own as and ld.
mapfile -t missing < <(missing_packages binutils)
install_packages test-windows "${missing[@]}"
bits=$(windows_route)
announce_windows_route "$bits"
"$root/tools/setup_windows.sh" test "$bits"

toolchain=i686
[ "$bits" = 64 ] && toolchain=x86_64
windows_build=$root/build-win$bits
targets=(halmwind halmwind_unit_tests halmwind_zip)
[ "$only" = units ] || targets+=(halmwind_window_probe)
cmake -S "$root" -B "$windows_build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-$toolchain.cmake" \
    -DCMAKE_BUILD_TYPE=Release
cmake --build "$windows_build" -j "$(nproc)" --target "${targets[@]}"
"$root/tools/windows_imports.sh" "$toolchain-w64-mingw32-objdump" "$windows_build/halmwind.exe"

# The zip carries Halmwind's licence and the notices of the runtime linked into the .exe: the
# winpthreads part of mingw-w64's copyright with its licence text.
zip_file=$root/dist/halmwind-win$bits.zip
# Read whole first: grep -q would cut unzip's output short, which pipefail counts as a failure.
listing=$(unzip -Z1 "$zip_file")
for name in LICENSE.txt THIRD-PARTY-NOTICES.txt; do
    if ! grep -qx "$name" <<<"$listing"; then
        echo "test-windows: $(basename "$zip_file") lacks $name" >&2
        exit 1
    fi
done
licence=$(unzip -p "$zip_file" LICENSE.txt)
notices=$(unzip -p "$zip_file" THIRD-PARTY-NOTICES.txt)
grep -q 'The Halmwind authors' <<<"$licence" ||
    { echo "test-windows: LICENSE.txt is not Halmwind's licence" >&2; exit 1; }
for text in 'mingw-w64-libraries/winpthreads/\*' 'Redistributions in binary form must reproduce' \
        'GCC Runtime Library Exception'; do
    if ! grep -q -- "$text" <<<"$notices"; then
        echo "test-windows: THIRD-PARTY-NOTICES.txt lacks \"$text\"" >&2
        exit 1
    fi
done
echo "test-windows: $(basename "$zip_file") carries LICENSE.txt and the runtime's notices"

export WINEDEBUG=-all
WINEPREFIX=$(mktemp -d /tmp/halmwind-wine.XXXXXX)
launchers=$(mktemp -d /tmp/halmwind-wine-bin.XXXXXX)
export WINEPREFIX
trap 'wineserver -k 2>/dev/null || true; rm -rf "$WINEPREFIX" "$launchers"' EXIT
if [ "$bits" = 64 ]; then
    export WINEARCH=win64
    # Debian's wine launcher prefers wine32 whenever it is installed, and that one cannot start
    # where 32-bit programs cannot run; on this route "wine" is always wine64.
    for name in wine wine-stable; do
        printf '#!/bin/sh\nexec /usr/lib/wine/wine64 "$@"\n' >"$launchers/$name"
        chmod +x "$launchers/$name"
    done
    export PATH="$launchers:$PATH" WINELOADER=/usr/lib/wine/wine64
else
    export WINEARCH=win32
fi

# The end-to-end cases that hold for both builds. Left out: the Linux shell's own units (SDL,
# the capture tool), the missing display (Wine needs one to start at all), the minimise test
# (Wine without a window manager does not report an unmapped window as minimised) and the
# leak check of the AddressSanitizer build.
end_to_end='Program.*:BadWindProgramRun.*:BadTerrainRun.*:WindowFromOutside.SizedToNoHeight*:WindowsBuild.*'
# Left out too: the SDL driver case, and the full-screen case on a display whose only mode is
# 800 x 600, which a plain Xvfb refuses to Wine's ChangeDisplaySettings.
end_to_end+=':-Program.WithoutDisplay*:Program.ChosenDriver*:Program.YesCovers*'
# And the full-screen round trip on a display with a second mode, read from X's display mode:
# Wine's virtual desktop stands in for it (WindowsBuild.YesSwitches*).
end_to_end+=':Program.FullScreenLeaves*'

# Everything runs on one virtual display, so that the prefix's desktop process lives as long as
# the run.
"$root/tools/headless.sh" bash -euo pipefail -c '
    echo "test-windows: making a $WINEARCH Wine prefix in $WINEPREFIX"
    wineboot -i
    # A real Windows has the face; Wine maps it to the Comic Neue that fontconfig has.
    wine reg add "HKCU\\Software\\Wine\\Fonts\\Replacements" /v "Comic Sans MS" /t REG_SZ /d "Comic Neue" /f >/dev/null
    wineserver -w
    echo "test-windows: unit tests of the portable core under wine"
    (cd "$4" && wine "$2/halmwind_unit_tests.exe")
    [ "$5" = units ] && exit 0
    echo "test-windows: end-to-end cases with halmwind.exe under wine"
    cd "$1"
    HALMWIND_TEST_PROGRAM="$2/halmwind.exe" HALMWIND_TEST_LAUNCHER=wine HALMWIND_TEST_NO_KEY=n \
    HALMWIND_TEST_WINDOW_PROBE="$2/halmwind_window_probe.exe" \
    ./halmwind_tests --gtest_filter="$3"
' test-windows "$linux_build" "$windows_build" "$end_to_end" "$root" "$only"
