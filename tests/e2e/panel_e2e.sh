#!/usr/bin/env bash
# The remote control panel, driven and checked from outside the process: the real program under a
# virtual X server, talking to the simulated dongle with its demonstration heads (Studio A: slots
# 0, 1, 2 and 6 at flash 56, 45, 70, 33 and lamp 41, 30, 62, 24). With real clicks and keys it
# scans Studio A, moves the current unit's flash power one step with the keyboard on its slider,
# ticks two units in the navigation grid and raises their flash power one step from the group
# layout, goes back and fires a test flash; then it saves the setup through the Business Memory
# box, moves one unit again and loads the setup back. Every step is checked by the frames the
# dongle logs, the save also by the file it writes.
# Screenshots of the normal and the group layout are kept; the program must end cleanly on
# SIGTERM.
#
# usage: panel_e2e.sh ORVANE DONGLE_SIM ARTIFACT_DIR
set -euo pipefail

source "$(dirname "$0")/e2e_lib.sh"

# A checksum of one part of the screen, window-relative: x y width height.
region_sum() {
    import -window root -crop "$3x$4+$((X + $1))+$((Y + $2))" +repage ppm:- | md5sum
}

# await_region_change BEFORE MESSAGE X Y WIDTH HEIGHT: waits up to 5 s until that part of the
# screen no longer sums to BEFORE; fails with MESSAGE otherwise.
await_region_change() {
    local before=$1 message=$2
    shift 2
    await 50 region_differs "$before" "$@" || fail "$message"
}
region_differs() {
    local before=$1
    shift
    [ "$(region_sum "$@")" != "$before" ]
}

# The program's visible windows: the main window, plus a popup while one is open.
visible_windows() {
    xdotool search --onlyvisible --pid "$pid" 2>/dev/null | wc -l || true
}
more_windows_than() { [ "$(visible_windows)" -gt "$1" ]; }

# Clicks at window-relative (x, y).
click_at() {
    xdotool mousemove --window "$window" "$1" "$2" click 1
}

# Picks the entry of the panel's mode combo KEY (Down or Up) away from the current one: a click
# opens the list, the key moves in it once it is shown, Return takes the entry.
pick_mode() {
    local key=$1 before
    before=$(visible_windows)
    click_at "$combo_x" "$combo_y"
    await 50 more_windows_than "$before" || fail "clicking the mode combo opened no list within 5 s"
    xdotool key --window "$window" "$key" Return
    await 50 eval "! more_windows_than $before" ||
        fail "the mode combo's list was still open 5 s after Return"
}

# Waits for the program's question box titled "Business Memory", answers it with Return (its
# default button, OK) and waits until it has gone; at most 5 s each. MESSAGE names the question.
answer_question() {
    local message=$1 box=""
    await 50 find_question || fail "$message: no question box within 5 s"
    # With no window manager nothing gives the new box the keyboard: the focus is moved to it, so
    # that Return goes there as a real key press.
    xdotool windowfocus --sync "$box"
    xdotool key Return
    await 50 eval '! find_question' || fail "$message: the question box was still open 5 s after Return"
}
find_question() {
    box=$(xdotool search --all --onlyvisible --pid "$pid" --name '^Business Memory' 2>/dev/null |
        head -n 1 || true)
    [ -n "$box" ]
}

# Runs inside the virtual display: starts the program, drives and checks it, stops it.
inside_display() {
    local artifacts=$3
    show_program "$1" "$2"
    # The panel's controls sit where the panes' default widths put them in the default window.
    [ "$WIDTH" -eq 800 ] && [ "$HEIGHT" -eq 500 ] ||
        fail "the window is $WIDTH x $HEIGHT, not the default 800 x 500 this layout assumes"
    # Window-relative places of the controls used below.
    combo_x=434 combo_y=63
    local slider_x=258 slider_y=151 test_x=247 test_y=231
    # The group layout sits a few pixels lower than the normal one: its flash up arrow.
    local spin_up_x=299 spin_up_y=113
    local box_x=545 first_state_y=148 state_pitch=62

    # 1. Studio A, then Scan.
    select_first_studio
    press_scan
    await_scan_of_four_heads
    await_scan_closed
    [ "$(frames_starting out "FF 0E 01 ")" -eq 4 ] || fail "more status reports than the 4 heads"
    step "scanned: four heads reported, the scan dialog closed"

    # 2. The current unit after a scan is the second (slot 1: flash 45 = 0x2D, lamp 30 = 0x1E).
    # A click on the slider's thumb gives it the focus and, as any let-go of the thumb does,
    # sends the unchanged value; Right then moves it one step and sends the new one.
    click_at "$slider_x" "$slider_y"
    await_frames in "FF 07 13 00 02 2D 1E" 1 "the click on the flash slider sent no setting"
    xdotool key --window "$window" Right
    await_frames in "FF 07 13 00 02 2E 1E" 1 "Right on the flash slider sent no flash power 46"
    await_frames out "FF 07 13 00 02 2E 1E" 1 "the head in slot 1 did not report flash power 46"
    [ "$(frames_starting in "FF 07 13 ")" -eq 2 ] ||
        fail "$(frames_starting in "FF 07 13 ") flash power settings, not one per gesture"
    [ "$(frames in "FF 07 13 00 02 2E 1E")" -eq 1 ] || fail "flash power 46 was sent twice"
    step "the keyboard moved slot 1's flash power 45 -> 46 in one setting frame"

    # Lets the read-out repaint before the picture is taken.
    sleep 0.3
    import -window "$window" "$artifacts/e2e-panel-normal.png"
    step "screenshot: $artifacts/e2e-panel-normal.png"

    # 3. Ticks the first and the third unit (slots 0 and 2) in their state cells.
    local k y sum
    for k in 0 2; do
        y=$((first_state_y + k * state_pitch))
        sum=$(region_sum $((box_x - 8)) $((y - 8)) 16 16)
        click_at "$box_x" "$y"
        await_region_change "$sum" "clicking the box of unit $k changed nothing on the screen" \
            $((box_x - 8)) $((y - 8)) 16 16
    done
    [ "$(frames_starting in "FF 17 ")" -eq 0 ] || fail "ticking units sent a power table"
    step "units in slots 0 and 2 ticked"

    sum=$(region_sum 205 80 300 180)
    pick_mode Down
    await_region_change "$sum" "choosing the group settings did not change the panel" \
        205 80 300 180
    step "the panel shows the group layout"
    # One step up on the group's flash offset: the ticked units 56 -> 57 and 70 -> 71; the
    # others keep theirs (slot 1 now 46), and every lamp power stays.
    local table="FF 17 1E 39 29 2E 1E 47 3E 00 00 00 00 00 00 21 18 00 00 00 00 00 00"
    click_at "$spin_up_x" "$spin_up_y"
    await_frames in "$table" 1 "the group flash step sent no power table with 57 and 71"
    await_frames out "FF 17 1E 39 29 2E 1E 47 3E 00 00 00 00 00 00 21 18 00 00 00 00 00 00" 1 \
        "the dongle did not echo the new power table"
    [ "$(frames_starting in "FF 17 ")" -eq 1 ] ||
        fail "$(frames_starting in "FF 17 ") power tables for one step"
    step "one power table raised the ticked units' flash power one step"
    sleep 0.3
    import -window "$window" "$artifacts/e2e-panel-group.png"
    step "screenshot: $artifacts/e2e-panel-group.png"

    # 4. Back to the unit's own settings, and a test flash for the current unit, which the last
    # click in the grid made the one in slot 2.
    sum=$(region_sum 205 80 300 180)
    pick_mode Up
    await_region_change "$sum" "choosing the unit settings did not change the panel" \
        205 80 300 180
    [ "$(frames_starting in "FF 07 1B ")" -eq 0 ] || fail "a test flash before Test was pressed"
    click_at "$test_x" "$test_y"
    await_frames in "FF 07 1B 00 04 00 00" 1 "Test sent no test flash to slot 2"
    await_frames out "FF 07 6B 00 04 00 00" 1 "the head in slot 2 did not report its test flash"
    await_frames out "FF 07 61 00 04 00 00" 1 "the head in slot 2 did not report it is charging"
    [ "$(frames_starting in "FF 07 1B ")" -eq 1 ] ||
        fail "$(frames_starting in "FF 07 1B ") test flashes for one press"
    step "Test fired slot 2 once; it reported the flash and its recharge"

    # 5. The setup saved through the Business Memory box, one unit changed, the setup loaded back.
    # By now the units stand at flash 57, 46, 71, 33 and lamp 41, 30, 62, 24 (slots 0, 1, 2, 6).
    local name_x=280 name_y=366 entry_x=280 entry_y=280 save_x=62 save_y=22 load_x=22 load_y=22
    local saved="Business Memory/Evening.xml"
    [ ! -e "$saved" ] || fail "$saved exists before the save"
    click_at "$name_x" "$name_y"
    xdotool type --window "$window" --delay 20 Evening
    sum=$(region_sum 215 265 130 90)
    click_at "$save_x" "$save_y"
    answer_question "pressing Save"
    await 50 test -s "$saved" || fail "saving wrote no \"$saved\" within 5 s"
    local flashes lamps
    flashes=$(grep -o '<nFlashValue>[0-9]*</nFlashValue>' "$saved" | grep -o '[0-9]*' | xargs)
    lamps=$(grep -o '<nModelValue>[0-9]*</nModelValue>' "$saved" | grep -o '[0-9]*' | xargs)
    [ "$flashes" = "57 46 71 33" ] || fail "the saved flash powers are \"$flashes\", not 57 46 71 33"
    [ "$lamps" = "41 30 62 24" ] || fail "the saved lamp powers are \"$lamps\", not 41 30 62 24"
    await_region_change "$sum" "the file list did not change after the save" 215 265 130 90
    step "Save wrote \"$saved\" with flash 57 46 71 33 and lamp 41 30 62 24"

    # The current unit (slot 2, flash 71 = 0x47, lamp 62 = 0x3E) one step up on its slider: a
    # click on the thumb, found on the screen, then Right.
    screenshot window.png
    local thumb
    thumb=$(read_screen window.png slider-thumb $((X + 210)) $((X + 315)) $((Y + slider_y))) ||
        fail "no slider thumb found on the flash slider"
    click_at $((thumb - X)) "$slider_y"
    await_frames in "FF 07 13 00 04 47 3E" 1 "the click on the flash slider of slot 2 sent nothing"
    xdotool key --window "$window" Right
    await_frames in "FF 07 13 00 04 48 3E" 1 "Right on the flash slider sent no flash power 72"
    await_frames out "FF 07 13 00 04 48 3E" 1 "the head in slot 2 did not report flash power 72"
    [ "$(frames_starting in "FF 07 13 ")" -eq 4 ] ||
        fail "$(frames_starting in "FF 07 13 ") flash power settings, not 4 after two gestures"
    step "slot 2's flash power moved 71 -> 72 after the save"

    # The saved entry, picked in the list, previews the file; Load sends it to the units.
    [ "$(frames_starting in "FF 0E 01 ")" -eq 0 ] || fail "unit settings sent before Load"
    sum=$(region_sum 350 270 140 100)
    click_at "$entry_x" "$entry_y"
    await_region_change "$sum" "clicking the saved entry showed no file preview" 350 270 140 100
    click_at "$load_x" "$load_y"
    answer_question "pressing Load"
    # One complete settings frame per unit, in slot order, made from the saved file's values:
    # mask, flash on, flash power, lamp power, cell, sound, lamp modes, lamp on, 00.
    local expected got=""
    expected=$(python3 - "$saved" <<'PY'
import sys
import xml.etree.ElementTree as ET

masks = ["00 01", "00 02", "00 04", "02 00"]
units = ET.parse(sys.argv[1]).getroot().iter("Strobe")
for mask, unit in zip(masks, units, strict=True):
    value = lambda name: int(unit.findtext(name))
    fields = ["bFlashPow", "nFlashValue", "nModelValue", "bFlashCell", "bFlashSnd",
              "nModelMode1", "nModelMode2", "bModelPow"]
    print("FF 0E 01 " + mask + "".join(" %02X" % value(f) for f in fields) + " 00")
PY
    ) || fail "the saved file cannot be read back into frames"
    await 50 eval '[ "$(frames_starting in "FF 0E 01 ")" -ge 4 ]' || true
    sleep 0.3
    got=$(grep " in FF 0E 01 " frames.log | sed 's/.* in //' || true)
    [ "$got" = "$expected" ] ||
        fail "Load sent unit settings \"$got\", wanted \"$expected\""
    echo "$got" | grep -qx "FF 0E 01 00 04 .. 47 3E .*" ||
        fail "Load did not give slot 2 its saved flash power 71 back"
    step "Load sent the four saved units' settings once each, slot 2 back at flash 71"

    # 6. SIGTERM ends the program cleanly.
    stop_program
}
enter_display_run "$@"

take_arguments ARTIFACT_DIR "$@"
need_tools xvfb-run xdotool import convert python3 md5sum
artifacts=$pictures
rm -f "$artifacts/e2e-panel-normal.png" "$artifacts/e2e-panel-group.png"

enter_scratch orvane-panel-e2e
link="$scratch/dongle"
start_sim "$sim" "$link" --demo --seed 5 --log frames.log
write_option_file "$link"
in_display "$script" "$orvane" "$device" "$artifacts"
for png in e2e-panel-normal.png e2e-panel-group.png; do
    [ -s "$artifacts/$png" ] || fail "no screenshot $artifacts/$png"
done
echo "PASS: screenshots in $artifacts (e2e-panel-normal.png, e2e-panel-group.png)"
