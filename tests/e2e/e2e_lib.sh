# The one library of the end-to-end scripts and of scripts/run.sh: failing loudly and naming steps,
# waiting for a condition, the simulated dongle, Option.xml, the program on a display (a virtual X
# server of its own for the checks), screenshots and what they show, and clean-up. Source it; it
# defines functions and the path of the leak checker's suppressions, and runs nothing.
#
# The functions share a few globals with the scripts: scratch (the folder the run works in),
# sim_pid and device (the simulator and its pty), pid and window (the program and its window),
# xvfb_pid (the virtual X server's runner). Descriptor 3 holds the simulator's command pipe open.

lsan_supp=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/lsan-system.supp

fail() {
    echo "FAIL: $*" >&2
    exit 1
}
step() { echo "-- $*"; }

# need_tools TOOL...: fails naming the first tool that is not installed.
need_tools() {
    local tool
    for tool in "$@"; do
        command -v "$tool" >/dev/null || fail "$tool is not installed (scripts/deps.sh installs it)"
    done
}

# take_arguments USAGE "$@": the three arguments of an end-to-end script, the program, the simulator
# and where the pictures go: a SCREENSHOT file, or an ARTIFACT_DIR folder, as USAGE names it. Sets
# orvane, sim and pictures to their absolute paths and makes room for the pictures; sets script to
# the script's own path, which in_display runs again.
take_arguments() {
    local usage=$1
    shift
    [ $# -eq 3 ] || fail "usage: $(basename "$0") ORVANE DONGLE_SIM $usage"
    script=$(realpath "$0")
    orvane=$(realpath "$1")
    sim=$(realpath "$2")
    pictures=$(realpath -m "$3")
    [ -x "$orvane" ] || fail "no program at $orvane"
    [ -x "$sim" ] || fail "no simulator at $sim"
    if [ "$usage" = ARTIFACT_DIR ]; then
        mkdir -p "$pictures"
    else
        mkdir -p "$(dirname "$pictures")"
        rm -f "$pictures"
    fi
}

# await TRIES COMMAND...: runs the command every 0.1 s until it succeeds, at most TRIES times;
# returns 1 when it never did.
await() {
    local tries=$1
    shift
    for _ in $(seq "$tries"); do
        "$@" && return 0
        sleep 0.1
    done
    return 1
}

# enter_folder DIR: makes DIR the folder the run works in and sets the traps through which
# cleanup stops everything the run started, however the script ends.
enter_folder() {
    sim_pid=""
    xvfb_pid=""
    pid=""
    trap cleanup EXIT
    trap 'exit 130' INT
    trap 'exit 143' TERM
    cd "$1" || fail "cannot work in $1"
}

# enter_scratch NAME: the same in a new scratch folder, which cleanup removes with all it holds.
enter_scratch() {
    scratch=$(mktemp -d "${TMPDIR:-/tmp}/$1.XXXXXX")
    enter_folder "$scratch"
}

# write_option_file PORT [FILE]: Option.xml as the program keeps it, naming PORT at 9600 baud;
# FILE is ./Option.xml unless named.
write_option_file() {
    cat >"${2:-Option.xml}" <<XML
<?xml version="1.0" encoding="UTF-8"?>
<Option>
	<ComSet>
		<sComPort>$1</sComPort>
		<nBaud>9600</nBaud>
	</ComSet>
</Option>
XML
}

# start_sim SIM LINK [OPTION...]: starts the simulated dongle in the current folder with its link
# at LINK and its output in sim.out and sim.err. It reads its commands from a pipe that descriptor
# 3 holds open until the script ends, so it runs until told or stopped. Sets sim_pid, and device to
# the pty it names once LINK leads there; fails when that does not happen within 10 s.
start_sim() {
    local sim=$1 link=$2
    shift 2
    rm -f commands
    mkfifo commands
    "$sim" --link "$link" "$@" <commands >sim.out 2>sim.err &
    sim_pid=$!
    exec 3>commands
    device=""
    await 100 sim_named_pty || fail "the simulator did not name its pty within 10 s"
    [ "$(readlink "$link")" = "$device" ] || fail "$link does not lead to $device"
    step "simulator pid $sim_pid on $device"
}
sim_named_pty() {
    kill -0 "$sim_pid" 2>/dev/null || fail "the simulator ended at start (see sim.err)"
    device=$(head -n 1 sim.out 2>/dev/null || true)
    [ -n "$device" ]
}

# holds_open PID PATH: whether the process holds PATH open.
holds_open() {
    local fd
    for fd in /proc/"$1"/fd/*; do
        [ "$(readlink "$fd" 2>/dev/null || true)" = "$2" ] && return 0
    done
    return 1
}

have_display() { [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; }

# under_xvfb COMMAND...: runs the command under a virtual X server of its own, 1024 x 640 at 24
# bits, and returns its exit status. While it runs, xvfb_pid names it, so that cleanup can stop it.
under_xvfb() {
    xvfb-run -a -s "-screen 0 1024x640x24" "$@" &
    xvfb_pid=$!
    local status=0
    wait "$xvfb_pid" || status=$?
    xvfb_pid=""
    return "$status"
}

# in_display SCRIPT ARG...: runs the script again under a virtual X server of its own, with
# --inside-display before the arguments, where enter_display_run hands them to the script's
# inside_display; fails when that run fails.
in_display() {
    local script=$1
    shift
    under_xvfb bash "$script" --inside-display "$@" ||
        fail "the run under the virtual display failed ($?)"
}

# enter_display_run "$@": in a script run again by in_display, runs its inside_display with the
# arguments and ends; otherwise returns at once. Whatever way inside_display ends, the program it
# started does not outlive it.
enter_display_run() {
    [ "${1:-}" = "--inside-display" ] || return 0
    shift
    pid=""
    trap kill_program EXIT
    inside_display "$@"
    exit 0
}
kill_program() {
    if [ -n "${pid:-}" ] && kill -0 "$pid" 2>/dev/null; then
        kill -KILL "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    fi
}

# start_program ORVANE [ARG...]: starts the program in the current folder on the X server of
# DISPLAY, its output in orvane.log; sets pid, also kept in orvane.pid for cleanup.
start_program() {
    # The suite runs with the offscreen platform for its widget tests; this needs the X server.
    # Under the leak checker, what the X11 platform's system libraries keep is not the program's.
    QT_QPA_PLATFORM=xcb \
        LSAN_OPTIONS="${LSAN_OPTIONS:+$LSAN_OPTIONS:}suppressions=$lsan_supp:print_suppressions=0" \
        "$@" >orvane.log 2>&1 &
    pid=$!
    echo "$pid" >orvane.pid
    step "orvane started as pid $pid on $DISPLAY"
}

# free_port: prints a TCP port of 127.0.0.1 that nobody listens on now. The remote interface takes
# only ports 1-65535 on its command line, so a run that wants a port of its own asks for one here.
free_port() {
    python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}

# as_other_user COMMAND...: runs the command as the user nobody, in the background; sets
# other_pid. Fails with status 77 when no other user can be had (not root, or no setpriv).
as_other_user() {
    [ "$(id -u)" -eq 0 ] && command -v setpriv >/dev/null || return 77
    setpriv --reuid nobody --regid nogroup --clear-groups "$@" &
    other_pid=$!
}

# show_program ORVANE DEVICE: starts the program on this display and waits until it holds the
# simulator's pty DEVICE open and shows its window (see await_window). A scan or a setting sent
# before the port is open would go nowhere.
show_program() {
    device=$2
    start_program "$1"
    await_port_open
    await_window
}

# await_port_open: waits up to 5 s for the program to open the simulator's pty, which it does as
# it builds its window.
await_port_open() {
    await 50 program_opened_port || fail "orvane did not open $device within 5 s"
    step "orvane holds $device open"
}
program_opened_port() {
    kill -0 "$pid" 2>/dev/null || fail "orvane ended before opening the port (see orvane.log)"
    holds_open "$pid" "$device"
}

# await_window: waits up to 5 s for the program's visible window titled "Orvane"; sets window, and
# X, Y, WIDTH and HEIGHT to its place on the screen.
await_window() {
    window=""
    await 50 find_window || fail "no visible window titled \"Orvane\" within 5 s"
    local SCREEN WINDOW
    eval "$(xdotool getwindowgeometry --shell "$window")"
    step "window $window \"$(xdotool getwindowname "$window")\" at ($X,$Y), $WIDTH x $HEIGHT"
}
find_window() {
    window=$(xdotool search --onlyvisible --name '^Orvane$' 2>/dev/null | head -n 1 || true)
    [ -n "$window" ]
}

# stop_program: SIGTERM; the program must end within 5 s, with exit code 0.
stop_program() {
    kill -TERM "$pid"
    await 50 program_ended || fail "orvane was still running 5 s after SIGTERM"
    local status=0
    wait "$pid" || status=$?
    pid=""
    rm -f orvane.pid
    [ "$status" -eq 0 ] || fail "orvane ended with exit code $status after SIGTERM"
    step "orvane ended with exit code 0"
}
program_ended() {
    # A zombie has ended; only the wait in stop_program collects it.
    ! kill -0 "$pid" 2>/dev/null || [ "$(awk '{print $3}' /proc/"$pid"/stat 2>/dev/null)" = Z ]
}

# screenshot FILE: the whole screen.
screenshot() { import -window root "$1"; }

# await_painted FILE: takes screenshots into FILE until the screen shows more than a few colours,
# at most 5 s: a screen still of one flat colour has not been painted yet.
await_painted() {
    local colours=0
    await 50 screen_painted "$1" || fail "the screen showed no painted window within 5 s"
    step "screenshot ($colours colours): $1"
}
screen_painted() {
    screenshot "$1"
    colours=$(identify -format '%k' "$1")
    [ "$colours" -gt 16 ]
}

# frames DIRECTION BYTES: how many frames of the simulator's log (frames.log) end with exactly
# these bytes in that direction ("in" to the dongle, "out" from it).
frames() { grep -c " $1 $2\$" frames.log || true; }
# frames_starting DIRECTION BYTES: how many of them start with these bytes.
frames_starting() { grep -c " $1 $2" frames.log || true; }

# await_frames DIRECTION BYTES COUNT MESSAGE: waits up to 5 s until `frames DIRECTION BYTES`
# reaches COUNT; fails with MESSAGE otherwise.
await_frames() {
    await 50 frames_reach "$1" "$2" "$3" ||
        fail "$4 (log: $(frames "$1" "$2") x \"$1 $2\", wanted $3)"
}
frames_reach() { [ "$(frames "$1" "$2")" -ge "$3" ]; }

# select_first_studio: finds the first line of the studio tree (the left quarter of the window,
# below the toolbar) on the screen once it is painted, clicks it, and waits until it shows as
# chosen: light grey (230,230,230).
select_first_studio() {
    local line=""
    await 50 find_first_tree_line || fail "no studio tree with a first line on the screen within 5 s"
    local line_x=${line% *} line_y=${line#* }
    step "the tree's first line is at ($line_x,$line_y) on the screen"
    xdotool mousemove --window "$window" $((line_x - X)) $((line_y - Y)) click 1
    await 50 line_chosen "$line_y" || fail "clicking the first tree line did not select it"
    step "Studio A is selected"
}
find_first_tree_line() {
    screenshot window.png
    line=$(read_screen window.png first-tree-line "$X" $((Y + 50)) $((X + WIDTH / 4)) \
        $((Y + HEIGHT - 40)) 2>/dev/null || true)
    [ -n "$line" ]
}
line_chosen() {
    screenshot window.png
    [ "$(read_screen window.png count "$X" $(($1 - 4)) $((X + WIDTH / 4)) $(($1 + 5)) \
        230 230 230)" -gt 100 ]
}

# press_scan: presses Scan, the third toolbar button, and waits up to 5 s for the scan dialog.
press_scan() {
    xdotool mousemove --window "$window" 108 22 click 1
    await 50 scan_dialog_open || fail "pressing Scan opened no scan dialog within 5 s"
    step "the scan dialog is open"
}
scan_dialog_open() { xdotool search --onlyvisible --name '^Channel scan$' >/dev/null 2>&1; }

# await_scan_of_four_heads: waits up to 5 s for the dongle to have taken exactly one scan request
# for Studio A and answered it with a status report from each of the four demonstration heads.
await_scan_of_four_heads() {
    await 50 scanned_four_heads ||
        fail "the dongle took $(frames in "FF 05 00 00 41") scan requests for Studio A and sent" \
            "$(frames_starting out "FF 0E 01 ") status reports, not 1 and 4"
    step "the dongle took the scan of Studio A and answered for four heads"
}
scanned_four_heads() {
    [ "$(frames in "FF 05 00 00 41")" -eq 1 ] && [ "$(frames_starting out "FF 0E 01 ")" -eq 4 ]
}

# await_scan_closed: the dialog counts six seconds and closes by itself; fails after 15 s.
await_scan_closed() {
    await 150 scan_dialog_gone || fail "the scan dialog was still open 15 s after it opened"
    step "the scan dialog closed by itself"
}
scan_dialog_gone() { ! scan_dialog_open; }

# Reads a screenshot (as the PPM that `convert` writes on standard input) and answers one question
# about it; see the commands below. Coordinates are screen pixels.
read_screen() {
    local png=$1
    shift
    convert "$png" ppm:- | python3 -c '
import sys

data = sys.stdin.buffer.read()
# P6 header: magic, width, height, maximum, each followed by white space; no comments from convert.
fields, at = [], 0
while len(fields) < 4:
    while data[at:at + 1].isspace():
        at += 1
    start = at
    while not data[at:at + 1].isspace():
        at += 1
    fields.append(data[start:at])
at += 1
if fields[0] != b"P6" or fields[3] != b"255":
    sys.exit("not an 8-bit binary PPM")
width, height = int(fields[1]), int(fields[2])
pixels = data[at:]

def rgb(x, y):
    i = 3 * (y * width + x)
    return tuple(pixels[i:i + 3])

def clip(x0, y0, x1, y1):
    return max(0, x0), max(0, y0), min(width, x1), min(height, y1)

command, args = sys.argv[1], [int(a) for a in sys.argv[2:]]
WHITE = (255, 255, 255)

if command == "first-tree-line":
    # args: the left pane as x0 y0 x1 y1. The tree is the white box in it; its first line is the
    # first band of dark text from its top. Prints the middle of that text.
    x0, y0, x1, y1 = clip(*args)
    probe = x0 + (x1 - x0) // 2
    top = next((y for y in range(y0, y1 - 5)
                if all(rgb(probe, y + d) == WHITE for d in range(5))), None)
    if top is None:
        sys.exit("no white tree in the left pane")
    left = next(x for x in range(probe, x0, -1) if rgb(x - 1, top + 2) != WHITE)
    right = next(x for x in range(probe, x1) if rgb(x + 1, top + 2) != WHITE)
    def dark_in_row(y):
        return [x for x in range(left + 2, right - 1) if sum(rgb(x, y)) < 300]
    first = next((y for y in range(top, min(top + 60, y1)) if dark_in_row(y)), None)
    if first is None:
        sys.exit("no text near the top of the tree")
    last = first
    while last + 1 < y1 and dark_in_row(last + 1):
        last += 1
    # Across the line: from its image to the end of its text, whatever is not the white around.
    middle = (first + last) // 2
    xs = [x for x in range(left + 2, right - 1) if rgb(x, middle) != WHITE]
    print((min(xs) + max(xs)) // 2, middle)

elif command == "count":
    # args: x0 y0 x1 y1 r g b. Prints how many pixels of exactly that colour the area holds.
    x0, y0, x1, y1 = clip(*args[:4])
    colour = tuple(args[4:7])
    print(sum(1 for y in range(y0, y1) for x in range(x0, x1) if rgb(x, y) == colour))

elif command == "bands":
    # args: x0 y0 x1 y1 r g b [tolerance]. Rows holding that colour, or with a tolerance one that
    # far from it in each channel (the smoothed edges of small text), grouped into bands where
    # fewer than 12 rows lie between them: one band per line of text. Prints "top-bottom:pixels"
    # per band.
    x0, y0, x1, y1 = clip(*args[:4])
    colour = tuple(args[4:7])
    tolerance = args[7] if len(args) > 7 else 0
    def near(pixel):
        return all(abs(a - b) <= tolerance for a, b in zip(pixel, colour))
    bands = []
    for y in range(y0, y1):
        n = sum(1 for x in range(x0, x1) if near(rgb(x, y)))
        if not n:
            continue
        if bands and y - bands[-1][1] < 12:
            bands[-1][1] = y
            bands[-1][2] += n
        else:
            bands.append([y, y, n])
    print(" ".join("%d-%d:%d" % tuple(b) for b in bands))
elif command == "slider-thumb":
    # args: x0 x1 y, one row across a slider. Its thumb is the white run between the filled and
    # the empty part of the groove; prints the middle of it.
    x0, _, x1, _ = clip(args[0], 0, args[1], height)
    y = args[2]
    white = [x for x in range(x0, x1) if rgb(x, y) == WHITE]
    if not white or max(white) - min(white) + 1 != len(white):
        sys.exit("no single white thumb on the slider row")
    print((min(white) + max(white)) // 2)

else:
    sys.exit("unknown command " + command)
' "$@"
}

# The exit trap of every script (see enter_scratch): stops the program, the X server and the
# simulator, shows their logs when the run failed, removes the scratch folder, and closes
# descriptor 3, the simulator's command pipe.
cleanup() {
    local status=$?
    set +e
    if [ -s "${scratch:-.}/orvane.pid" ]; then
        kill -KILL "$(cat "${scratch:-.}/orvane.pid")" 2>/dev/null
    fi
    if [ -n "${xvfb_pid:-}" ] && kill -0 "$xvfb_pid" 2>/dev/null; then
        # xvfb-run's own children (the X server among them) first, then xvfb-run itself.
        pkill -TERM -P "$xvfb_pid" 2>/dev/null
        kill -TERM "$xvfb_pid" 2>/dev/null
        wait "$xvfb_pid" 2>/dev/null
    fi
    if [ -n "${sim_pid:-}" ] && kill -0 "$sim_pid" 2>/dev/null; then
        kill -TERM "$sim_pid" 2>/dev/null
        wait "$sim_pid" 2>/dev/null
    fi
    exec 3>&-
    if [ "$status" -ne 0 ]; then
        for log in orvane.log sim.err frames.log; do
            [ -s "${scratch:-.}/$log" ] && { echo "---- $log"; cat "${scratch:-.}/$log"; } >&2
        done
    fi
    [ -n "${scratch:-}" ] && rm -rf "$scratch"
    exit "$status"
}
