#!/usr/bin/env bash
# The real program, seen from outside: started under a virtual X server in a scratch working folder
# whose Option.xml names a running simulated dongle, it must open that port, show its window,
# end cleanly on SIGTERM, let go of the port and leave Option.xml as it found it.
#
# usage: main_window_e2e.sh ORVANE DONGLE_SIM SCREENSHOT
set -euo pipefail

source "$(dirname "$0")/e2e_lib.sh"

# Runs inside the virtual display: starts the program, checks it from outside, stops it.
inside_display() {
    local picture=$3
    show_program "$1" "$2"
    await_painted "$picture"
    stop_program
}
enter_display_run "$@"

take_arguments SCREENSHOT "$@"
need_tools xvfb-run xdotool import identify stty

enter_scratch orvane-e2e
link="$scratch/dongle"
start_sim "$sim" "$link" --unit A:0 --seed 5 --log frames.log
write_option_file "$link"
cp Option.xml Option.xml.before

in_display "$script" "$orvane" "$device" "$pictures"

# Nothing but the simulator itself may still hold the line, and the dongle must answer a second
# program as it did the first.
holders=""
for proc in /proc/[0-9]*; do
    [ "${proc#/proc/}" != "$sim_pid" ] && holds_open "${proc#/proc/}" "$device" &&
        holders="$holders ${proc#/proc/}"
done
[ -z "$holders" ] || fail "$device is still held by pid(s)$holders"
kill -0 "$sim_pid" 2>/dev/null || fail "the simulator died with the program"
before=$(frames in "FF 05 00 00 41")
exec 4<>"$link" || fail "cannot open $link again after the program ended"
stty -F "$link" raw -echo
printf '\xff\x05\x00\x00\x41' >&4
await 50 frames_reach in "FF 05 00 00 41" $((before + 1)) && await 50 grep -q ' out ' frames.log ||
    fail "the simulator did not take a scan request on a second open"
exec 4>&-
step "the port was released and the simulator answers a second open"

cmp -s Option.xml Option.xml.before || fail "Option.xml was changed by the run"
step "Option.xml unchanged"
echo "PASS: screenshot at $pictures"
