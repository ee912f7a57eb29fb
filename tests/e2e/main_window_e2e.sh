#!/usr/bin/env bash
# The real program, seen from outside: started under a virtual X server in a scratch working folder
# whose Option.xml names a running simulated dongle, it must open that port, show its window,
# end cleanly on SIGTERM, let go of the port and leave Option.xml as it found it.
#
# usage: main_window_e2e.sh ORVANE DONGLE_SIM SCREENSHOT
set -euo pipefail

source "$(dirname "$0")/e2e_lib.sh"

# Runs inside xvfb-run, with DISPLAY set: starts the program, checks it from outside, stops it.
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
    # Under the leak checker, what the X11 platform's system libraries keep is not the program's.
    QT_QPA_PLATFORM=xcb \
        LSAN_OPTIONS="${LSAN_OPTIONS:+$LSAN_OPTIONS:}suppressions=$lsan_supp:print_suppressions=0" \
        "$orvane" >orvane.log 2>&1 &
    pid=$!
    echo "$pid" >orvane.pid
    step "orvane started as pid $pid on $DISPLAY"

    # The port is opened by the first reconnect tick, half a second after start.
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
    step "window $window is titled \"$(xdotool getwindowname "$window")\""

    # A screen that is still one flat colour has not been painted yet.
    local colours=0
    for _ in $(seq 50); do
        import -window root "$screenshot"
        colours=$(identify -format '%k' "$screenshot")
        [ "$colours" -gt 16 ] && break
        sleep 0.1
    done
    [ "$colours" -gt 16 ] || fail "the screen showed no painted window within 5 s"
    step "screenshot ($colours colours): $screenshot"

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
screenshot=$3
for tool in xvfb-run xdotool import identify stty; do
    command -v "$tool" >/dev/null || fail "$tool is not installed (scripts/deps.sh installs it)"
done
[ -x "$orvane" ] || fail "no program at $orvane"
[ -x "$sim" ] || fail "no simulator at $sim"
mkdir -p "$(dirname "$screenshot")"
rm -f "$screenshot"

scratch=$(mktemp -d "${TMPDIR:-/tmp}/orvane-e2e.XXXXXX")
sim_pid=""
xvfb_pid=""
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

cd "$scratch"
link="$scratch/dongle"

# The simulator reads its commands from a pipe this script keeps open, so it runs until told.
mkfifo commands
"$sim" --link "$link" --unit A:0 --seed 5 --log frames.log <commands >sim.out 2>sim.err &
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
cp Option.xml Option.xml.before

xvfb-run -a -s "-screen 0 1024x640x24" bash "$script" --inside-display "$orvane" "$device" \
    "$screenshot" &
xvfb_pid=$!
xvfb_status=0
wait "$xvfb_pid" || xvfb_status=$?
xvfb_pid=""
[ "$xvfb_status" -eq 0 ] || fail "the run under the virtual display failed ($xvfb_status)"

# Nothing but the simulator itself may still hold the line, and the dongle must answer a second
# program as it did the first.
holders=$(
    for proc in /proc/[0-9]*; do
        [ "${proc#/proc/}" = "$sim_pid" ] && continue
        for fd in "$proc"/fd/*; do
            if [ "$(readlink "$fd" 2>/dev/null || true)" = "$device" ]; then
                echo "${proc#/proc/}"
                break
            fi
        done
    done 2>/dev/null
)
[ -z "$holders" ] || fail "$device is still held by pid(s) $holders"
kill -0 "$sim_pid" 2>/dev/null || fail "the simulator died with the program"
before=$(grep -c ' in FF 05 00 00 41$' frames.log || true)
exec 4<>"$link" || fail "cannot open $link again after the program ended"
stty -F "$link" raw -echo
printf '\xff\x05\x00\x00\x41' >&4
answered=""
for _ in $(seq 50); do
    if [ "$(grep -c ' in FF 05 00 00 41$' frames.log || true)" -gt "$before" ] &&
        grep -q ' out ' frames.log; then
        answered=yes
        break
    fi
    sleep 0.1
done
exec 4>&-
[ -n "$answered" ] || fail "the simulator did not take a scan request on a second open"
step "the port was released and the simulator answers a second open"

cmp -s Option.xml Option.xml.before || fail "Option.xml was changed by the run"
step "Option.xml unchanged"
echo "PASS: screenshot at $screenshot"
