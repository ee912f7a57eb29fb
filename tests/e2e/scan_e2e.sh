#!/usr/bin/env bash
# A channel scan, driven and checked from outside the process: the real program under a virtual X
# server, talking to the simulated dongle with its demonstration heads (four in Studio A). Real
# mouse clicks choose "Studio A" in the studio tree and press Scan; the dongle must receive the scan
# request for Studio A and answer with four status reports, the scan dialog must close by itself,
# and the navigation grid must then show four name rows. The program must end cleanly on SIGTERM.
#
# usage: scan_e2e.sh ORVANE DONGLE_SIM SCREENSHOT
set -euo pipefail

source "$(dirname "$0")/e2e_lib.sh"

# Runs inside xvfb-run, with DISPLAY set: starts the program, drives and checks it, stops it.
inside_display() {
    local orvane=$1 device=$2 screenshot=$3
    # Global, so that the exit trap still sees it once this function has returned.
    pid=""
    stop_program() {
        if [ -n "${pid:-}" ] && kill -0 "$pid" 2>/dev/null; then
            kill -KILL "$pid" 2>/dev/null || true
            wait "$pid" 2>/dev/null || true
        fi
    }
    trap stop_program EXIT

    # The suite runs with the offscreen platform for its widget tests; this one needs the X server.
    QT_QPA_PLATFORM=xcb \
        LSAN_OPTIONS="${LSAN_OPTIONS:+$LSAN_OPTIONS:}suppressions=$lsan_supp:print_suppressions=0" \
        "$orvane" >orvane.log 2>&1 &
    pid=$!
    echo "$pid" >orvane.pid
    step "orvane started as pid $pid on $DISPLAY"

    # A scan sent before the port is open would go nowhere.
    local opened=""
    for _ in $(seq 50); do
        kill -0 "$pid" 2>/dev/null || fail "orvane ended before opening the port (see orvane.log)"
        for fd in /proc/"$pid"/fd/*; do
            if [ "$(readlink "$fd" 2>/dev/null || true)" = "$device" ]; then
                opened=yes
                break 2
            fi
        done
        sleep 0.1
    done
    [ -n "$opened" ] || fail "orvane did not open $device within 5 s"
    step "orvane holds $device open"

    local window=""
    for _ in $(seq 50); do
        window=$(xdotool search --onlyvisible --name '^Orvane$' 2>/dev/null | head -n 1 || true)
        [ -n "$window" ] && break
        sleep 0.1
    done
    [ -n "$window" ] || fail "no visible window titled \"Orvane\" within 5 s"
    local X Y WIDTH HEIGHT SCREEN WINDOW
    eval "$(xdotool getwindowgeometry --shell "$window")"
    step "window $window at ($X,$Y), $WIDTH x $HEIGHT"

    # The studio tree sits in the left quarter of the window, below the toolbar. Its first line is
    # found on the screen rather than assumed, once the window has been painted.
    local shot=window.png line=""
    for _ in $(seq 50); do
        import -window root "$shot"
        line=$(read_screen "$shot" first-tree-line "$X" $((Y + 50)) $((X + WIDTH / 4)) \
            $((Y + HEIGHT - 40)) 2>/dev/null || true)
        [ -n "$line" ] && break
        sleep 0.1
    done
    [ -n "$line" ] || fail "no studio tree with a first line on the screen within 5 s"
    local line_x=${line% *} line_y=${line#* }
    step "the tree's first line is at ($line_x,$line_y) on the screen"

    xdotool mousemove --window "$window" $((line_x - X)) $((line_y - Y)) click 1
    # A chosen line turns light grey (230,230,230).
    local chosen=0
    for _ in $(seq 50); do
        import -window root "$shot"
        chosen=$(read_screen "$shot" count "$X" $((line_y - 4)) $((X + WIDTH / 4)) \
            $((line_y + 5)) 230 230 230)
        [ "$chosen" -gt 100 ] && break
        sleep 0.1
    done
    [ "$chosen" -gt 100 ] || fail "clicking the first tree line did not select it"
    step "Studio A is selected"

    # Scan is the third toolbar button.
    xdotool mousemove --window "$window" 108 22 click 1
    local dialog=""
    for _ in $(seq 50); do
        dialog=$(xdotool search --onlyvisible --name '^Channel scan$' 2>/dev/null | head -n 1 ||
            true)
        [ -n "$dialog" ] && break
        sleep 0.1
    done
    [ -n "$dialog" ] || fail "pressing Scan opened no scan dialog within 5 s"
    step "the scan dialog is open"

    local requests=0 reports=0
    for _ in $(seq 50); do
        requests=$(grep -c ' in FF 05 00 00 41$' frames.log || true)
        reports=$(grep -c ' out FF 0E 01 ' frames.log || true)
        [ "$requests" -ge 1 ] && [ "$reports" -ge 4 ] && break
        sleep 0.1
    done
    [ "$requests" -eq 1 ] || fail "the dongle received $requests scan requests for Studio A"
    [ "$reports" -eq 4 ] || fail "the dongle sent $reports status reports, not 4"
    step "the dongle took the scan of Studio A and answered for four heads"

    # The dialog counts six seconds and closes by itself.
    for _ in $(seq 150); do
        xdotool search --onlyvisible --name '^Channel scan$' >/dev/null 2>&1 || break
        sleep 0.1
    done
    ! xdotool search --onlyvisible --name '^Channel scan$' >/dev/null 2>&1 ||
        fail "the scan dialog was still open 15 s after it opened"
    step "the scan dialog closed by itself"

    # The navigation grid fills the right part of the window: one name row per head, red text
    # (252,65,50) on light grey (240,240,240).
    local gx=$((X + WIDTH * 3 / 5)) gy=$((Y + 50)) gx1=$((X + WIDTH)) gy1=$((Y + HEIGHT - 30))
    local bands="" count=0 grey=0
    for _ in $(seq 50); do
        import -window root "$screenshot"
        bands=$(read_screen "$screenshot" bands "$gx" "$gy" "$gx1" "$gy1" 252 65 50 40)
        count=$(wc -w <<<"$bands")
        [ "$count" -eq 4 ] && break
        sleep 0.1
    done
    [ "$count" -eq 4 ] || fail "the grid showed $count name rows ($bands), not 4"
    local band top bottom pixels
    for band in $bands; do
        top=${band%%-*}
        bottom=${band#*-}
        bottom=${bottom%%:*}
        pixels=${band##*:}
        [ "$pixels" -ge 20 ] || fail "the name row at y $top has only $pixels red text pixels"
        grey=$(read_screen "$screenshot" count "$gx" $((top - 2)) "$gx1" $((bottom + 3)) \
            240 240 240)
        [ "$grey" -ge 500 ] || fail "the name row at y $top is not on light grey ($grey pixels)"
    done
    step "the grid shows four name rows: $bands"
    # One of them is the current unit, its state cell blue (91,138,215).
    bands=$(read_screen "$screenshot" bands "$gx" "$gy" "$gx1" "$gy1" 91 138 215)
    [ "$(wc -w <<<"$bands")" -eq 1 ] || fail "not one current unit in the grid ($bands)"
    step "one unit is current: $bands"

    kill -TERM "$pid"
    local ended=""
    for _ in $(seq 50); do
        if ! kill -0 "$pid" 2>/dev/null; then
            ended=yes
            break
        fi
        # A zombie has ended; only the wait below collects it.
        if [ "$(awk '{print $3}' /proc/"$pid"/stat 2>/dev/null)" = Z ]; then
            ended=yes
            break
        fi
        sleep 0.1
    done
    [ -n "$ended" ] || fail "orvane was still running 5 s after SIGTERM"
    local status=0
    wait "$pid" || status=$?
    pid=""
    [ "$status" -eq 0 ] || fail "orvane ended with exit code $status after SIGTERM"
    step "orvane ended with exit code 0"
}

if [ "${1:-}" = "--inside-display" ]; then
    shift
    inside_display "$@"
    exit 0
fi

[ $# -eq 3 ] || fail "usage: $0 ORVANE DONGLE_SIM SCREENSHOT"
script=$(realpath "$0")
lsan_supp=$(dirname "$script")/lsan-system.supp
export lsan_supp
orvane=$(realpath "$1")
sim=$(realpath "$2")
screenshot=$(realpath -m "$3")
for tool in xvfb-run xdotool import convert python3; do
    command -v "$tool" >/dev/null || fail "$tool is not installed (scripts/deps.sh installs it)"
done
[ -x "$orvane" ] || fail "no program at $orvane"
[ -x "$sim" ] || fail "no simulator at $sim"
mkdir -p "$(dirname "$screenshot")"
rm -f "$screenshot"

scratch=$(mktemp -d "${TMPDIR:-/tmp}/orvane-scan-e2e.XXXXXX")
sim_pid=""
xvfb_pid=""
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

cd "$scratch"
link="$scratch/dongle"

# The simulator reads its commands from a pipe this script keeps open, so it runs until told.
mkfifo commands
"$sim" --link "$link" --demo --seed 5 --log frames.log <commands >sim.out 2>sim.err &
sim_pid=$!
exec 3>commands
device=""
for _ in $(seq 100); do
    kill -0 "$sim_pid" 2>/dev/null || fail "the simulator ended at start (see sim.err)"
    device=$(head -n 1 sim.out 2>/dev/null || true)
    [ -n "$device" ] && break
    sleep 0.1
done
[ -n "$device" ] || fail "the simulator did not name its pty within 10 s"
[ "$(readlink "$link")" = "$device" ] || fail "$link does not lead to $device"
step "simulator pid $sim_pid on $device"

cat >Option.xml <<XML
<?xml version="1.0" encoding="UTF-8"?>
<Option>
	<ComSet>
		<sComPort>$link</sComPort>
		<nBaud>9600</nBaud>
	</ComSet>
</Option>
XML

xvfb-run -a -s "-screen 0 1024x640x24" bash "$script" --inside-display "$orvane" "$device" \
    "$screenshot" &
xvfb_pid=$!
xvfb_status=0
wait "$xvfb_pid" || xvfb_status=$?
xvfb_pid=""
[ "$xvfb_status" -eq 0 ] || fail "the run under the virtual display failed ($xvfb_status)"
echo "PASS: screenshot at $screenshot"
