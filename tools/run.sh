#!/usr/bin/env bash
# run.sh -- runs the demo from data/; without a display, a captured tour of every wind path and mode.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-build}" && pwd)

has_display() {
    if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
        return 0
    fi
    [ -n "${WAYLAND_DISPLAY:-}" ]
}

if has_display; then
    cd "$root/data"
    exec "$build/halmwind"
fi

command -v xvfb-run >/dev/null || { echo "run: no display, and xvfb-run is missing (tools/setup.sh installs it)" >&2; exit 1; }

# One run through the wind paths (W) and modes (A): tilted away (Up) so the blades are seen from
# the side, wind at full strength (X) blowing across the picture (R), the ring widened (P) for
# the dummy modes; gusting is shot near the top of a gust. Each entry is FRAME:NAME.
keys="Up@1-45 W@46 X@46-240 R@46-95
      A@242 A@320 A@372 P@372-411 A@422
      W@442 A@462 A@482 A@532 A@582"
shots=(
    45:01-off
    240:02-opengl-steady 317:03-opengl-gusting 370:04-opengl-vortex
    420:05-opengl-dummy 440:06-opengl-dummyblast
    460:07-shader-dummyblast 480:08-shader-steady 485:09-shader-gusting
    580:10-shader-vortex 600:11-shader-dummy
)

mkdir -p "$root/shots"
rm -f "$root"/shots/tour-*.png
arguments=(--data "$root/data" --keys "$keys")
for s in "${shots[@]}"; do
    arguments+=(--shot "${s%%:*}:$root/shots/tour-${s#*:}.png")
done
echo "run: no display found; capturing a tour of the wind paths and modes under xvfb-run"
"$root/tools/headless.sh" "$build/halmwind_capture" "${arguments[@]}"

echo "run: ${#shots[@]} pictures in $root/shots/:"
ls -1 "$root"/shots/tour-*.png | sed 's/^/  /'
echo "run: on a machine with a display, 'make run' shows the live program."
