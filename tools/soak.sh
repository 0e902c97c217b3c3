#!/usr/bin/env bash
# soak.sh -- runs the demo for MINUTES minutes, cycling paths, modes and switches by key presses,
# and prints its resident memory at the start, every minute and at the end.
# Usage: tools/soak.sh [MINUTES] [BUILD_DIR]   (defaults: 10, build)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
minutes=${1:-10}
build=${2:-build}
case "$build" in /*) ;; *) build="$root/$build" ;; esac
program="$build/halmwind"
[ -x "$program" ] || { echo "soak: $program not found; run make build first" >&2; exit 1; }

# Without a display, the script runs itself again on a virtual one.
if [ -z "${DISPLAY:-}" ]; then
    exec "$root/tools/headless.sh" bash "$0" "$minutes" "$build"
fi

source "$root/tools/x_windows.sh"

Rss() {
    awk '/^VmRSS:/ {print $2 " " $3}' "/proc/$pid/status" 2>/dev/null || echo "gone"
}

# A program that has ended stays a zombie until waited for: it counts as gone.
Alive() {
    [ -r "/proc/$pid/status" ] && ! grep -q '^State:[[:space:]]*Z' "/proc/$pid/status" 2>/dev/null
}

workdir=$(mktemp -d)
trap 'kill "$pid" 2>/dev/null || true; rm -rf "$workdir"' EXIT
cp "$root/data/wind.cg" "$root/data/terrain.raw" "$workdir/"
cd "$workdir"
"$program" 2>"$workdir/stderr.txt" &
pid=$!

question=$(FindWindow "FullScreen-Modus?" 30) || { echo "soak: no start-up question" >&2; exit 1; }
Press "$question" Escape
window=$(FindWindow "Halmwind" 30) || { echo "soak: no Halmwind window" >&2; exit 1; }
sleep 3
start_rss=$(Rss)
echo "soak: pid $pid, VmRSS at start: $start_rss"

# One round: every wind path and mode, strength and frequency up and down, direction, ring,
# wire frame, light, camera.
keys=(W A A A A A W A A A A A W
      X X Y M N E R J L I K P O F3 F3 F4 F4 Prior Next Up Down Left Right)
end=$((SECONDS + minutes * 60))
next_report=$((SECONDS + 60))
rounds=0
while [ $SECONDS -lt $end ] && Alive; do
    window=$(FindWindow "Halmwind" 10) || { echo "soak: the window is gone" >&2; break; }
    for key in "${keys[@]}"; do
        Press "$window" "$key"
        [ $SECONDS -ge $end ] && break
    done
    rounds=$((rounds + 1))
    if [ $SECONDS -ge $next_report ]; then
        echo "soak: after $(( (SECONDS - end + minutes * 60) / 60 )) min, $rounds rounds: VmRSS $(Rss)"
        next_report=$((next_report + 60))
    fi
done

Alive || { echo "soak: the program ended early" >&2; cat "$workdir/stderr.txt" >&2; exit 1; }
end_rss=$(Rss)
echo "soak: VmRSS at end: $end_rss ($rounds rounds in $minutes min; at start: $start_rss)"
Press "$window" Escape
for _ in $(seq 1 100); do
    Alive || break
    sleep 0.2
done
if Alive; then
    echo "soak: the program did not end on Escape" >&2
    exit 1
fi
status=0
wait "$pid" || status=$?
echo "soak: exit code $status"
exit "$status"
