#!/usr/bin/env bash
# test_package.sh -- installs dist/halmwind_<version>_<arch>.deb, starts `halmwind` from another
# folder on a virtual display, looks for the meadow on the screen, quits it, purges the package
# and looks for anything left behind. Prints PASS or FAIL; needs root or sudo.
#   tools/test_package.sh [DEB]
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
self="$root/tools/test_package.sh"

say() { echo "test-package: $*"; }
fail() { say "FAIL: $*"; exit 1; }
work=""

source "$root/tools/x_windows.sh"

# The share of the screen that is grass green: clearly more green than red or blue.
green_share() {
    convert "$1" -fx 'g > 0.25 && g > 1.4 * r && g > 1.4 * b' -format '%[fx:mean]' info:
}

# On the virtual display: halmwind started from WORK/elsewhere, answered, looked at and ended.
look() {
    local work=$1 pid question window share cwd exe status
    mkdir -p "$work/elsewhere"
    cd "$work/elsewhere" || fail "cannot enter $work/elsewhere"
    halmwind >"$work/halmwind.log" 2>&1 &
    pid=$!
    # A failed check leaves the program running; it goes with the check.
    trap 'kill "$pid" 2>/dev/null' EXIT
    question=$(FindWindow "FullScreen-Modus?" 30) || fail "no start-up question \"FullScreen-Modus?\"; the program said: $(cat "$work/halmwind.log")"
    Press "$question" Escape
    window=$(FindWindow "Halmwind" 30) || fail "no window \"Halmwind\" after answering No; the program said: $(cat "$work/halmwind.log")"
    # The launcher execs the program, so the process started is the program itself.
    cwd=$(readlink "/proc/$pid/cwd") exe=$(readlink "/proc/$pid/exe")
    [ "$cwd" = /usr/share/halmwind ] || fail "the program runs in '$cwd', not in /usr/share/halmwind"
    [ "$exe" = /usr/libexec/halmwind/halmwind ] || fail "the process is '$exe', not /usr/libexec/halmwind/halmwind"

    # Mesa's software renderer takes a few seconds for the first frames.
    local deadline=$((SECONDS + 30))
    share=0
    while [ $SECONDS -lt $deadline ]; do
        import -window root "$work/screen.png" 2>/dev/null || fail "import could not read the screen"
        share=$(green_share "$work/screen.png")
        awk -v s="$share" 'BEGIN { exit !(s >= 0.08) }' && break
        sleep 1
    done
    say "green share of the screen: $share"
    awk -v s="$share" 'BEGIN { exit !(s >= 0.08) }' || fail "no meadow on the screen: only $share of it is green"

    Press "$window" Escape
    for _ in $(seq 50); do
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.2
    done
    kill -0 "$pid" 2>/dev/null && { kill "$pid"; fail "the program did not end on Escape"; }
    wait "$pid"
    status=$?
    trap - EXIT
    [ "$status" -eq 0 ] || fail "the program ended with status $status: $(cat "$work/halmwind.log")"
}

if [ "${1:-}" = "--look" ]; then
    look "$2"
    exit 0
fi

sudo=""
if [ "$(id -u)" -ne 0 ]; then
    command -v sudo >/dev/null || fail "installing a package needs root or sudo"
    sudo="sudo"
fi
deb=${1:-$root/dist/halmwind_$("$root/tools/version.sh")_$(dpkg --print-architecture).deb}
[ -f "$deb" ] || fail "$deb is missing; make package makes it"
if dpkg-query -W -f='${Status}' halmwind 2>/dev/null | grep -q "installed"; then
    fail "halmwind is installed already; this test installs and purges its own (dpkg --purge halmwind first)"
fi

# dpkg does not wait for a lock another apt or dpkg run holds; this does, up to 15 minutes.
run_dpkg() {
    local out rc
    for _ in $(seq 90); do
        out=$($sudo dpkg "$@" 2>&1)
        rc=$?
        if [ $rc -ne 0 ] && grep -q "lock" <<<"$out"; then
            sleep 10
            continue
        fi
        [ -n "$out" ] && echo "$out"
        return $rc
    done
    echo "dpkg: still locked after 15 minutes"
    return 1
}

work=$(mktemp -d /tmp/halmwind-test-package.XXXXXX)
installed=0
# On failure the work folder stays for a look.
cleanup() {
    [ $installed -eq 1 ] && run_dpkg --purge halmwind >/dev/null
    [ -d "$work" ] && say "what the run left (file list, screen, program output) is in $work"
}
trap cleanup EXIT

start=$SECONDS
say "installing $deb"
# Set first: a failed install (a dependency missing) leaves a half-installed package to purge.
installed=1
run_dpkg -i "$deb" || fail "dpkg -i failed"
dpkg-query -L halmwind | sort >"$work/files"

# The package holds the program, its launcher, data, desktop entry, icons, manual and
# copyright, and no other program.
for f in /usr/bin/halmwind /usr/libexec/halmwind/halmwind /usr/share/halmwind/terrain.raw \
         /usr/share/halmwind/wind.cg /usr/share/applications/halmwind.desktop \
         /usr/share/icons/hicolor/128x128/apps/halmwind.png /usr/share/man/man6/halmwind.6.gz \
         /usr/share/doc/halmwind/copyright; do
    [ -f "$f" ] || fail "$f is not installed"
done
programs=$(while read -r f; do [ -f "$f" ] && [ -x "$f" ] && echo "$f"; done <"$work/files" | tr '\n' ' ')
[ "$programs" = "/usr/bin/halmwind /usr/libexec/halmwind/halmwind " ] || fail "the package's programs are: $programs"
[ "$(command -v halmwind)" = /usr/bin/halmwind ] || fail "halmwind is not on the PATH as /usr/bin/halmwind"

"$root/tools/headless.sh" bash "$self" --look "$work" || fail "the run on the virtual display failed"

say "purging halmwind"
run_dpkg --purge halmwind || fail "dpkg --purge failed"
installed=0
dpkg-query -W -f='${Status}' halmwind 2>/dev/null | grep -q "installed\|config-files" && fail "dpkg still lists halmwind"
left=()
while read -r f; do
    # Folders shared with other packages (/usr, /usr/share/man, ...) stay, as they should; the
    # package's own (/usr/share/halmwind, /usr/libexec/halmwind, /usr/share/doc/halmwind) go.
    if [ -d "$f" ] && [ ! -L "$f" ]; then
        [[ "$f" == */halmwind ]] && left+=("$f")
    elif [ -e "$f" ] || [ -L "$f" ]; then
        left+=("$f")
    fi
done <"$work/files"
[ ${#left[@]} -eq 0 ] || fail "left behind after purge: ${left[*]}"

rm -rf "$work"
say "PASS: installed, ran from another folder, showed the meadow, purged without a trace ($((SECONDS - start)) s)"
