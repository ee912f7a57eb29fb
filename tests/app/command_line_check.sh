#!/usr/bin/env bash
# The real programs' command lines, seen from outside. --help and --version answer on standard
# output with exit code 0 even without a display; an unknown option is refused on standard error
# with exit code 2, also without a display and behind Qt's own options. Started plainly, orvane
# works in the folder it is started from; with --user-folder it creates ~/Orvane and reads its
# Option.xml there.
#
# usage: command_line_check.sh ORVANE DONGLE_SIM VERSION
set -euo pipefail

source "$(dirname "$0")/../e2e/e2e_lib.sh"

# expect CODE STDOUT STDERR COMMAND...: runs the command and checks its exit code, and that each
# stream holds the extended regular expression given, or is empty where "" is given.
expect() {
    local code=$1 out=$2 err=$3
    shift 3
    local status=0
    "$@" >out.txt 2>err.txt || status=$?
    local what="'$*'"
    [ "$status" -eq "$code" ] || fail "$what ended with $status, not $code: $(cat out.txt err.txt)"
    for stream in out err; do
        local want=${!stream}
        if [ -z "$want" ]; then
            [ ! -s $stream.txt ] || fail "$what wrote to std$stream: $(cat $stream.txt)"
        else
            grep -Eq -- "$want" $stream.txt || fail "$what: std$stream lacks /$want/: $(cat $stream.txt)"
        fi
    done
}

# Starts orvane in the background from FOLDER with HOME=$home, on the offscreen platform.
start_orvane() {
    local folder=$1
    shift
    (cd "$folder" && HOME="$home" exec "$orvane" -platform offscreen "$@") >>orvane.log 2>&1 &
    pid=$!
    echo "$pid" >orvane.pid
}

# wait_for WHAT TEST...: up to 10 s for the test to pass while orvane runs.
wait_for() {
    local what=$1
    shift
    await 100 while_running "$what" "$@" || fail "orvane: not $what within 10 s"
}
while_running() {
    kill -0 "$pid" 2>/dev/null || fail "orvane ended before $1 (see orvane.log)"
    shift
    "$@"
}
works_in() { [ "$(readlink "/proc/$pid/cwd")" = "$1" ]; }
holds_device() { holds_open "$pid" "$device"; }

[ $# -eq 3 ] || fail "usage: $0 ORVANE DONGLE_SIM VERSION"
orvane=$(realpath "$1")
sim=$(realpath "$2")
version=$3
# Under the leak checker, what the platform's system libraries keep is not the program's.
export LSAN_OPTIONS="${LSAN_OPTIONS:+$LSAN_OPTIONS:}suppressions=$lsan_supp:print_suppressions=0"

enter_scratch orvane-cli

step "answers that need no display"
# The X11 platform with no display to reach: anything that opened a window would fail here.
no_display=(env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=xcb)
expect 0 "^orvane $version\$" "" "${no_display[@]}" "$orvane" --version
expect 0 "^Usage: orvane \\[options\\]" "" "${no_display[@]}" "$orvane" --help
expect 0 "--user-folder" "" "${no_display[@]}" "$orvane" -h
expect 2 "" "^orvane: Unknown option 'frob'" "${no_display[@]}" "$orvane" -reverse --frob
expect 0 "^orvane-dongle-sim $version\$" "" "$sim" --version
expect 0 "--version" "" "$sim" --help
expect 2 "" "unknown argument '--frob'" "$sim" --link x --frob

step "refusals, behind Qt's own options"
expect 2 "" "^orvane: Unknown option 'frob'" "$orvane" -platform offscreen --frob
expect 2 "" "Unexpected value after '--user-folder'" "$orvane" -platform offscreen --user-folder=no
expect 0 "^orvane $version\$" "" "$orvane" -platform offscreen -reverse --version

step "simulated dongle"
start_sim "$sim" "$scratch/dongle" --unit A:0

home="$scratch/home"
mkdir -p "$home" terminal
write_option_file "$scratch/dongle" terminal/Option.xml

step "started from a terminal: the current folder"
start_orvane terminal
wait_for "opening the port named in ./Option.xml" holds_device
works_in "$scratch/terminal" || fail "orvane works in $(readlink /proc/$pid/cwd)"
stop_program
[ ! -e "$home/Orvane" ] || fail "a plain start created ~/Orvane"

step "started from the desktop entry: ~/Orvane, created"
start_orvane terminal --user-folder
wait_for "working in ~/Orvane" works_in "$home/Orvane"
stop_program

step "and started again: ~/Orvane/Option.xml, not the start folder's"
write_option_file "$scratch/dongle" "$home/Orvane/Option.xml"
write_option_file ttyNoSuchPort terminal/Option.xml
start_orvane terminal --user-folder
wait_for "opening the port named in ~/Orvane/Option.xml" holds_device
works_in "$home/Orvane" || fail "orvane works in $(readlink /proc/$pid/cwd)"
stop_program
step "passed"
