#!/usr/bin/env bash
# shots.sh -- remakes the README pictures in docs/ with halmwind_capture under a virtual display.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-build}" && pwd)
capture="$build/halmwind_capture"
[ -x "$capture" ] || { echo "shots: $capture is missing; build first (make shots does)" >&2; exit 1; }
mkdir -p "$root/docs"
frames=$(mktemp -d)
trap 'rm -rf "$frames"' EXIT

# shot NAME FRAME KEYS: one run of the scene from its start, frame FRAME written to docs/NAME.png.
shot() {
    "$root/tools/headless.sh" "$capture" --data "$root/data" --keys "$3" --shot "$2:$root/docs/$1.png"
    echo "shots: docs/$1.png"
}

# anim NAME FIRST LAST KEYS: every second frame from FIRST to LAST, 400 x 300, played in about
# three seconds and looped, as docs/NAME.gif. Only the frames that change are stored in full.
anim() {
    local name=$1 first=$2 last=$3 keys=$4 list=() f
    rm -f "$frames"/*.png
    for f in $(seq "$first" 2 "$last"); do
        list+=(--shot "$f:$frames/$(printf %05d "$f").png")
    done
    "$root/tools/headless.sh" "$capture" --data "$root/data" --keys "$keys" "${list[@]}"
    local count=$(( (last - first) / 2 + 1 ))
    convert -delay $(( 300 / count )) -loop 0 "$frames"/*.png -resize 400x300 -layers Optimize \
        "$root/docs/$name.gif"
    echo "shots: docs/$name.gif ($count frames, $(du -k "$root/docs/$name.gif" | cut -f1) kB)"
}

# The meadow is tilted away (Up) so blades are seen from the side; the wind turned to 90 degrees
# (R) blows across the picture. X held 200 frames takes the strength to 100 percent.
tilt="Up@2-45"
across="R@2-51"
strong="X@2-200"

# The animations: one whole gust and one whole turn of the vortex (100 frames each at the
# starting frequency, so the loop closes), from full strength on.
anim anim-gusting 230 328 "W@1 A@3 X@2-230 $tilt $across"
anim anim-vortex 230 328 "W@1 A@3 A@5 X@2-230 $tilt"
# Dummy-Blast at half strength with the ring widened to 3: it goes to (-1.5, -1.5) first, then
# round a square of side 3 (L right, I away, J left, K nearer) back to where the loop started.
anim anim-dummyblast 132 250 \
    "W@1 A@3 A@5 A@7 A@9 X@2-100 P@2-21 $tilt J@101-115 K@116-130 L@131-160 I@161-190 J@191-220 K@221-250"

shot meadow 2 ""
# The package's icon: the meadow of the opening frame, cut out of the black around it.
for size in 64 128; do
    convert "$root/docs/meadow.png" -crop 440x440+180+80 +repage -fuzz 3% -transparent black \
        -resize ${size}x${size} -strip "PNG32:$root/packaging/icons/halmwind-$size.png"
done
echo "shots: packaging/icons/halmwind-64.png, halmwind-128.png"
shot tilted 60 "Up@1-60"
shot wind-steady 200 "W@1 $strong $tilt $across"
# Frame 276 is near the top of a gust at the starting frequency.
shot wind-gusting 276 "W@1 A@3 X@2-276 $tilt $across"
# The vortex turns the direction itself; by frame 230 it blows across the picture again.
shot wind-vortex 230 "W@1 A@3 A@5 X@2-230 $tilt"
# The same two on the vertex program's path (W twice), which must draw as the processor's.
shot wind-steady-vp 200 "W@1 W@3 $strong $tilt $across"
shot wind-vortex-vp 230 "W@1 W@3 A@5 A@7 X@2-230 $tilt"
shot wind-dummy 200 "W@1 A@3 A@5 A@7 $strong $tilt $across"
shot wind-dummyblast 200 "W@1 A@3 A@5 A@7 A@9 $strong $tilt"
# The ring widened by P; a weaker wind, since the dummy modes bend most with a high exponent.
shot ring-dummy 120 "W@1 A@3 A@5 A@7 P@2-41 X@2-100 $tilt $across"
shot ring-dummyblast 120 "W@1 A@3 A@5 A@7 A@9 P@2-41 X@2-100 $tilt"
shot lit 120 "F4@1 W@1 X@2-100 $tilt $across"
shot wireframe 120 "F3@1 W@1 X@2-100 $tilt $across"

du -ch "$root"/docs/*.png "$root"/docs/*.gif | tail -n 1 | sed 's/^/shots: /'
