#!/usr/bin/env bash
# headless.sh -- runs a command on a fresh virtual display: tools/headless.sh COMMAND [ARGS...]
#
# -noreset: by default the X server resets itself whenever its last client leaves, and a client
# that connects during the reset is dropped ("connection reset by peer"). The tests start and
# end short-lived clients (xwininfo, xdotool, each message box) all the time, so on a busy
# machine a message box could fail to open.
set -euo pipefail
command -v xvfb-run >/dev/null || { echo "headless: xvfb-run is missing (tools/setup.sh installs it)" >&2; exit 1; }
exec xvfb-run -a -s "-screen 0 1024x768x24 -noreset" "$@"
