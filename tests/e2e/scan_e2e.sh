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

# Runs inside the virtual display: starts the program, drives and checks it, stops it.
inside_display() {
    local picture=$3
    show_program "$1" "$2"
    select_first_studio
    press_scan
    await_scan_of_four_heads
    await_scan_closed

    # The navigation grid fills the right part of the window: one name row per head, red text
    # (252,65,50) on light grey (240,240,240).
    gx=$((X + WIDTH * 3 / 5)) gy=$((Y + 50)) gx1=$((X + WIDTH)) gy1=$((Y + HEIGHT - 30))
    bands=""
    await 50 grid_shows_four_names "$picture" ||
        fail "the grid showed $(wc -w <<<"$bands") name rows ($bands), not 4"
    local band top bottom pixels grey
    for band in $bands; do
        top=${band%%-*}
        bottom=${band#*-}
        bottom=${bottom%%:*}
        pixels=${band##*:}
        [ "$pixels" -ge 20 ] || fail "the name row at y $top has only $pixels red text pixels"
        grey=$(read_screen "$picture" count "$gx" $((top - 2)) "$gx1" $((bottom + 3)) \
            240 240 240)
        [ "$grey" -ge 500 ] || fail "the name row at y $top is not on light grey ($grey pixels)"
    done
    step "the grid shows four name rows: $bands"
    # One of them is the current unit, its state cell blue (91,138,215).
    bands=$(read_screen "$picture" bands "$gx" "$gy" "$gx1" "$gy1" 91 138 215)
    [ "$(wc -w <<<"$bands")" -eq 1 ] || fail "not one current unit in the grid ($bands)"
    step "one unit is current: $bands"
    stop_program
}
grid_shows_four_names() {
    screenshot "$1"
    bands=$(read_screen "$1" bands "$gx" "$gy" "$gx1" "$gy1" 252 65 50 40)
    [ "$(wc -w <<<"$bands")" -eq 4 ]
}
enter_display_run "$@"

take_arguments SCREENSHOT "$@"
need_tools xvfb-run xdotool import convert python3

enter_scratch orvane-scan-e2e
link="$scratch/dongle"
start_sim "$sim" "$link" --demo --seed 5 --log frames.log
write_option_file "$link"
in_display "$script" "$orvane" "$device" "$pictures"
echo "PASS: screenshot at $pictures"
