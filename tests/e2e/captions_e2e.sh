#!/usr/bin/env bash
# Window captions as a window manager shows them: the real program under a virtual X server, with
# the simulated dongle. The main window, the scan dialog, the port settings dialog, the About box
# and a "Business Memory" question are opened with real input, and each one's _NET_WM_NAME (the
# title a window manager puts in its title bar) must read exactly as the program's caption.
#
# usage: captions_e2e.sh ORVANE DONGLE_SIM
set -euo pipefail

source "$(dirname "$0")/e2e_lib.sh"

# The title a window manager shows for the window: its _NET_WM_NAME, or nothing when unset.
shown_title() {
    LC_ALL=C.UTF-8 xprop -id "$1" -notype _NET_WM_NAME 2>/dev/null |
        sed -n 's/^_NET_WM_NAME = "\(.*\)"$/\1/p'
}

# Waits up to 5 s for a visible window of the program whose name starts with PREFIX (a window's
# other name property may hold the bare caption) and prints its id.
await_window() {
    local prefix=$1 found=""
    for _ in $(seq 50); do
        found=$(xdotool search --all --onlyvisible --pid "$pid" --name "^$prefix" 2>/dev/null |
            head -n 1 || true)
        [ -n "$found" ] && break
        sleep 0.1
    done
    [ -n "$found" ] || fail "no window \"$prefix\" appeared within 5 s"
    echo "$found"
}

expect_title() {
    local id=$1 caption=$2 shown
    shown=$(shown_title "$id")
    [ "$shown" = "$caption" ] || fail "the window \"$caption\" is shown as \"$shown\""
    step "\"$caption\" is shown exactly"
}

# Escape closes every dialog and answers every question with Cancel. With no window manager
# nothing gives a new window the keyboard, so the focus is moved to it first.
dismiss() {
    local id=$1
    xdotool windowfocus --sync "$id"
    xdotool key Escape
    for _ in $(seq 50); do
        xwininfo -id "$id" 2>/dev/null | grep -q IsViewable || return 0
        sleep 0.1
    done
    fail "window $id was still open 5 s after Escape"
}

# Runs inside xvfb-run, with DISPLAY set: starts the program, drives and checks it, stops it.
inside_display() {
    local orvane=$1
    device=$2
    # A scan sent before the port is open would go nowhere.
    start_program "$orvane"
    await_port_open

    local window
    window=$(await_window Orvane)
    expect_title "$window" Orvane
    local X Y WIDTH HEIGHT SCREEN WINDOW
    eval "$(xdotool getwindowgeometry --shell "$window")"

    # The scan dialog: Studio A chosen in the tree (its first line, found on the screen), then
    # Scan, the third toolbar button. Its units answer while the dialog counts.
    local shot=window.png line=""
    for _ in $(seq 50); do
        import -window root "$shot"
        line=$(read_screen "$shot" first-tree-line "$X" $((Y + 50)) $((X + WIDTH / 4)) \
            $((Y + HEIGHT - 40)) 2>/dev/null || true)
        [ -n "$line" ] && break
        sleep 0.1
    done
    [ -n "$line" ] || fail "no studio tree with a first line on the screen within 5 s"
    xdotool mousemove --window "$window" $((${line% *} - X)) $((${line#* } - Y)) click 1
    xdotool mousemove --window "$window" 108 22 click 1
    local dialog
    dialog=$(await_window "Channel scan")
    expect_title "$dialog" "Channel scan"
    local reports=0
    for _ in $(seq 50); do
        reports=$(grep -c ' out FF 0E 01 ' frames.log || true)
        [ "$reports" -ge 4 ] && break
        sleep 0.1
    done
    [ "$reports" -ge 4 ] || fail "the units of Studio A did not answer the scan"
    dismiss "$dialog"

    # The port settings dialog: Com, the last toolbar button.
    xdotool mousemove --window "$window" 188 22 click 1
    dialog=$(await_window "Com Setting")
    expect_title "$dialog" "Com Setting"
    dismiss "$dialog"

    # The About box: F1.
    xdotool windowfocus --sync "$window"
    xdotool key F1
    dialog=$(await_window "About")
    expect_title "$dialog" "About Lumora"
    dismiss "$dialog"

    # A question of the studio-file box: a file name typed, then Save, the second toolbar button.
    # Escape answers Cancel, so nothing is saved.
    xdotool mousemove --window "$window" 280 366 click 1
    xdotool type --window "$window" --delay 20 Caption
    xdotool mousemove --window "$window" 62 22 click 1
    dialog=$(await_window "Business Memory")
    expect_title "$dialog" "Business Memory"
    dismiss "$dialog"
    [ ! -e "Business Memory/Caption.xml" ] || fail "Cancel on the question saved the setup"

    kill -TERM "$pid"
    local status=0
    wait "$pid" || status=$?
    pid=""
    [ "$status" -eq 0 ] || fail "orvane ended with exit code $status after SIGTERM"
    step "orvane ended with exit code 0"
}

enter_display_run "$@"

[ $# -eq 2 ] || fail "usage: $0 ORVANE DONGLE_SIM"
script=$(realpath "$0")
orvane=$(realpath "$1")
sim=$(realpath "$2")
need_tools xvfb-run xdotool xprop xwininfo import convert python3
[ -x "$orvane" ] || fail "no program at $orvane"
[ -x "$sim" ] || fail "no simulator at $sim"

enter_scratch orvane-captions-e2e
link="$scratch/dongle"
start_sim "$sim" "$link" --demo --seed 5 --log frames.log
write_option_file "$link"
in_display "$script" "$orvane" "$device"
echo "PASS: every caption is shown exactly"
