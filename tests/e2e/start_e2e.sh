#!/usr/bin/env bash
# A start held up outside the program: the desktop's session bus takes the program's connection
# and never answers, as a bus still being started on demand or a stuck one does. Qt waits for that
# bus while the window is built, yet a photographer restarting the program must find the dongle
# connected: the port must be held all the same.
#
# usage: start_e2e.sh ORVANE DONGLE_SIM
set -euo pipefail

source "$(dirname "$0")/e2e_lib.sh"

# silent_bus PATH: a socket at PATH that accepts every connection, writes "connected" to
# PATH.log for each, and never says a word; it ends with the script that started it.
silent_bus() {
    python3 -c '
import os, select, socket, sys
path, parent = sys.argv[1], os.getppid()
server = socket.socket(socket.AF_UNIX)
server.bind(path)
server.listen(8)
held = []
log = open(path + ".log", "a", buffering=1)
while os.getppid() == parent:
    if select.select([server], [], [], 0.2)[0]:
        held.append(server.accept()[0])
        log.write("connected\n")
' "$1" &
    await 50 test -S "$1" || fail "the silent bus did not come up"
}
bus_reached() { grep -q connected "$1.log" 2>/dev/null; }

inside_display() {
    local bus=$3
    device=$2
    export DBUS_SESSION_BUS_ADDRESS="unix:path=$bus"
    start_program "$1"
    await_port_open
    # Without this the run would prove nothing: the program must have been left waiting.
    await 50 bus_reached "$bus" || fail "orvane never reached the session bus"
    step "orvane waits on the silent session bus and holds the port all the same"
}
enter_display_run "$@"

[ $# -eq 2 ] || fail "usage: $0 ORVANE DONGLE_SIM"
script=$(realpath "$0")
orvane=$(realpath "$1")
sim=$(realpath "$2")
need_tools xvfb-run python3
[ -x "$orvane" ] || fail "no program at $orvane"
[ -x "$sim" ] || fail "no simulator at $sim"

enter_scratch orvane-start-e2e
link="$scratch/dongle"
start_sim "$sim" "$link" --unit A:0 --seed 5
write_option_file "$link"
silent_bus "$scratch/bus"

in_display "$script" "$orvane" "$device" "$scratch/bus"
echo "PASS"
