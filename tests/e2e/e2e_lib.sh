# Shared by the end-to-end scripts: failing loudly, naming steps, and reading screenshots.
# Source it; it defines functions only.

fail() {
    echo "FAIL: $*" >&2
    exit 1
}
step() { echo "-- $*"; }

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

# The exit trap of every script: stops the program, the X server and the simulator, shows their
# logs when the run failed, and removes the scratch folder. It reads the scripts' own variables
# scratch, xvfb_pid and sim_pid, and closes descriptor 3 (the simulator's command pipe).
cleanup() {
    local status=$?
    set +e
    if [ -s "$scratch/orvane.pid" ]; then
        kill -KILL "$(cat "$scratch/orvane.pid")" 2>/dev/null
    fi
    if [ -n "$xvfb_pid" ] && kill -0 "$xvfb_pid" 2>/dev/null; then
        # xvfb-run's own children (the X server among them) first, then xvfb-run itself.
        pkill -TERM -P "$xvfb_pid" 2>/dev/null
        kill -TERM "$xvfb_pid" 2>/dev/null
        wait "$xvfb_pid" 2>/dev/null
    fi
    if [ -n "$sim_pid" ] && kill -0 "$sim_pid" 2>/dev/null; then
        kill -TERM "$sim_pid" 2>/dev/null
        wait "$sim_pid" 2>/dev/null
    fi
    exec 3>&-
    if [ "$status" -ne 0 ]; then
        for log in orvane.log sim.err frames.log; do
            [ -s "$scratch/$log" ] && { echo "---- $log"; cat "$scratch/$log"; } >&2
        done
    fi
    rm -rf "$scratch"
    exit "$status"
}
