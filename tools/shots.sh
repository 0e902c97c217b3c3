#!/usr/bin/env bash
# shots.sh -- remakes the README pictures in docs/ with halmwind_capture under a virtual display.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-build}" && pwd)
capture="$build/halmwind_capture"
[ -x "$capture" ] || { echo "shots: $capture is missing; build first (make shots does)" >&2; exit 1; }
mkdir -p "$root/docs"

# shot NAME FRAME KEYS: one run of the scene from its start, frame FRAME written to docs/NAME.png.
shot() {
    "$root/tools/headless.sh" "$capture" --data "$root/data" --keys "$3" --shot "$2:$root/docs/$1.png"
    echo "shots: docs/$1.png"
}

# The meadow is tilted away (Up) so blades are seen from the side; the wind turned to 90 degrees
# (R) blows across the picture. X held 200 frames takes the strength to 100 percent.
tilt="Up@2-45"
across="R@2-51"
strong="X@2-200"

shot meadow 2 ""
shot tilted 60 "Up@1-60"
shot wind-steady 200 "W@1 $strong $tilt $across"
# Frame 276 is near the top of a gust at the starting frequency.
shot wind-gusting 276 "W@1 A@3 X@2-276 $tilt $across"
# The vortex turns the direction itself; by frame 230 it blows across the picture again.
shot wind-vortex 230 "W@1 A@3 A@5 X@2-230 $tilt"
shot wind-dummy 200 "W@1 A@3 A@5 A@7 $strong $tilt $across"
shot wind-dummyblast 200 "W@1 A@3 A@5 A@7 A@9 $strong $tilt"
# The ring widened by P; a weaker wind, since the dummy modes bend most with a high exponent.
shot ring-dummy 120 "W@1 A@3 A@5 A@7 P@2-41 X@2-100 $tilt $across"
shot ring-dummyblast 120 "W@1 A@3 A@5 A@7 A@9 P@2-41 X@2-100 $tilt"
shot lit 120 "F4@1 W@1 X@2-100 $tilt $across"
shot wireframe 120 "F3@1 W@1 X@2-100 $tilt $across"

du -ch "$root"/docs/*.png | tail -n 1 | sed 's/^/shots: /'
