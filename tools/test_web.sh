#!/usr/bin/env bash
# test_web.sh -- the headless browser check of dist/halmwind-web/; pictures into BUILD/shots/.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-build-web}
node "$root/tests/web/check.js" "$root/dist/halmwind-web" "$build/shots"

# The README's montage of the frames compared above, where ImageMagick is at hand.
if command -v montage >/dev/null; then
    shots=$build/shots
    # Only after a whole run: WEB_CASES may have left some of the frames out.
    [ -z "${WEB_CASES:-}" ] && montage "$shots"/meadow-frame2.png "$shots"/wind-steady-frame200.png "$shots"/wind-gusting-frame276.png \
        "$shots"/wind-vortex-frame230.png "$shots"/wind-dummy-frame200.png "$shots"/wind-dummyblast-frame200.png \
        "$shots"/lit-frame120.png "$shots"/wireframe-frame120.png \
        "$shots"/wind-steady-vp-frame200.png "$shots"/wind-vortex-vp-frame230.png \
        -tile 5x2 -geometry 320x240+2+2 -background '#202020' "$shots/montage.png" 2>/dev/null &&
        echo "test_web: $shots/montage.png (docs/web-montage.png in the README)" || true
fi
