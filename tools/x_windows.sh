# x_windows.sh -- sourced by the scripts that drive the demo from outside on an X display:
# finding a window by its name and pressing a key in it.
# shellcheck shell=bash

# FindWindow NAME SECONDS: prints the id of the window named exactly so, or fails. xdotool's
# name search misses SDL's message boxes; xwininfo lists every named window.
FindWindow() {
    local deadline=$((SECONDS + $2)) id
    while [ $SECONDS -lt $deadline ]; do
        id=$(xwininfo -root -tree 2>/dev/null | grep -F "\"$1\":" | head -n 1 | awk '{print $1}')
        [ -n "$id" ] && { echo "$id"; return 0; }
        sleep 0.2
    done
    return 1
}

# Press WINDOW KEY [SECONDS]: a press and release between two frames is never seen, so every
# key is held a while (0.3 s unless told).
Press() {
    xdotool windowfocus --sync "$1" 2>/dev/null || true
    xdotool keydown "$2"; sleep "${3:-0.3}"; xdotool keyup "$2"; sleep 0.2
}
