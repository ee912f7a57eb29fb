#!/usr/bin/env bash
# A long run of the real program against the simulated dongle, for what short tests cannot show:
#   1. N times the dongle is pulled and plugged in again: each time Orvane must reopen the port
#      within a second, and its open descriptors and memory must stay flat over the run;
#   2. M times a setup is saved and the program killed (SIGKILL) at a random moment around the
#      save: afterwards every file in "Business Memory" must be a complete setup, never a cut one;
#   3. the receive framer's fuzz target runs for S seconds;
#   4. the remote interface takes valid requests for R seconds while hostile clients hold half
#      heads, send garbage and churn event streams (--remote-only runs this stage alone).
# Every start of the program must hold the port within a second; a start still without it after
# two seconds has its threads' stacks, the device's holders and the simulator's state written to
# standard error. Not part of the test suite: it takes many minutes. Its figures, with the times
# from start to open port, are on its last lines. A run of the save stage mostly, for the starts:
#   scripts/soak.sh --cycles 1 --saves 150 --fuzz-seconds 1 --remote-seconds 1
#
# usage: scripts/soak.sh [--cycles N] [--saves M] [--fuzz-seconds S]   (defaults 500, 200, 60)
#                        [--remote-seconds R] [--remote-only]          (default 600)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cycles=500
saves=200
fuzz_seconds=60
remote_seconds=600 remote_only=0
while [ $# -gt 0 ]; do
    case $1 in
        --cycles) cycles=$2; shift 2 ;;
        --saves) saves=$2; shift 2 ;;
        --fuzz-seconds) fuzz_seconds=$2; shift 2 ;;
        --remote-seconds) remote_seconds=$2; shift 2 ;;
        --remote-only) remote_only=1; shift ;;
        -h | --help) sed -n '2,18p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
        *) echo "soak: unknown option $1 (see --help)" >&2; exit 2 ;;
    esac
done

fail() {
    echo "soak: FAIL: $*" >&2
    exit 1
}
note() { printf '%s\n' "-- $*"; }

bash "$root/scripts/deps.sh"
bash "$root/scripts/build.sh" build --target orvane --target orvane-dongle-sim \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo
orvane=$root/build/app/orvane
sim=$root/build/sim/orvane-dongle-sim

scratch=$(mktemp -d /tmp/orvane-soak.XXXXXX)
xvfb_pid="" sim_pid="" pid=""
cleanup() {
    local status=$?
    set +e
    [ -n "$pid" ] && kill -KILL "$pid" 2>/dev/null
    [ -n "$sim_pid" ] && kill -TERM "$sim_pid" 2>/dev/null
    [ -n "$xvfb_pid" ] && kill -TERM "$xvfb_pid" 2>/dev/null
    wait 2>/dev/null
    exec 3>&-
    if [ "$status" -ne 0 ]; then
        [ -z "${start_times[*]:-}" ] ||
            echo "soak: ${#start_times[@]} starts before this, port open $(start_figures)" >&2
        for log in orvane.log sim.err; do
            [ -s "$scratch/$log" ] && { echo "---- $log"; tail -n 40 "$scratch/$log"; } >&2
        done
    fi
    rm -rf "$scratch"
    exit "$status"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
cd "$scratch"

# One X server for the whole run, on a display number nobody uses.
display=:$((100 + RANDOM % 800))
Xvfb "$display" -screen 0 1024x640x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
export DISPLAY=$display QT_QPA_PLATFORM=xcb
for _ in $(seq 50); do
    xdpyinfo >/dev/null 2>&1 && break
    sleep 0.1
done
xdpyinfo >/dev/null 2>&1 || fail "the virtual X server did not start"

# The dongle, taking console commands through descriptor 3.
mkfifo commands
"$sim" --link "$scratch/tty" --demo --seed 5 --log frames.log <commands >sim.out 2>sim.err &
sim_pid=$!
exec 3>commands
for _ in $(seq 100); do
    [ -L "$scratch/tty" ] && break
    sleep 0.05
done
[ -L "$scratch/tty" ] || fail "the simulator made no link"
printf '<?xml version="1.0" encoding="utf-8"?>\n<Option>\n\t<ComSet>\n\t\t<sComPort>%s</sComPort>\n\t\t<nBaud>9600</nBaud>\n\t</ComSet>\n</Option>\n' \
    "$scratch/tty" >Option.xml

# Whether the program holds the dongle's current pseudo-terminal open.
holds_port() {
    local device fd
    device=$(readlink -f "$scratch/tty" 2>/dev/null) || return 1
    for fd in /proc/"$pid"/fd/*; do
        [ "$(readlink "$fd" 2>/dev/null || true)" = "$device" ] && return 0
    done
    return 1
}
now_ms() { date +%s%3N; }
descriptors() { find /proc/"$pid"/fd -mindepth 1 -maxdepth 1 | wc -l; }
resident_kib() { awk '/^VmRSS:/ { print $2 }' /proc/"$pid"/status; }

start_program() {
    local started
    started=$(now_ms)
    "$orvane" >>orvane.log 2>&1 &
    pid=$!
    await_port_open "$started"
}

# --- Start to port open, for every start --------------------------------------------------------
# Milliseconds from launch until the program held the port, one entry per start.
start_times=()
# A start this slow is looked at while it still waits: a cause seen once in hundreds of starts
# must be explained from what was recorded then.
slow_start_ms=2000

await_port_open() {
    local started=$1 looked=0 deadline=$(($1 + 5000))
    until holds_port; do
        kill -0 "$pid" 2>/dev/null || fail "orvane ended at start (see orvane.log)"
        if [ "$looked" -eq 0 ] && [ $(($(now_ms) - started)) -ge "$slow_start_ms" ]; then
            looked=1
            describe_slow_start "$started"
            # The look stops the program for a while: give it a second of its own after it.
            deadline=$((deadline > $(now_ms) + 1000 ? deadline : $(now_ms) + 1000))
        fi
        [ "$(now_ms)" -lt "$deadline" ] || fail "orvane did not open the port within 5 s"
        sleep 0.02
    done
    start_times+=("$(($(now_ms) - started))")
}

# Where the program, the device and the simulator are, to standard error.
describe_slow_start() {
    local device
    device=$(readlink -f "$scratch/tty" 2>/dev/null || echo "(no link)")
    {
        echo "==== start $((${#start_times[@]} + 1)): no port after $(($(now_ms) - $1)) ms;" \
            "load $(cut -d' ' -f1-3 /proc/loadavg)"
        echo "---- the program's threads: id, name, state, kernel wait, ms run, ms waiting for CPU"
        thread_states "$pid"
        echo "---- the processes under the program and the simulator"
        ps -o pid,ppid,stat,wchan:24,etimes,args --forest -p "$pid,$sim_pid" \
            --ppid "$pid,$sim_pid" || true
        echo "---- the device $device: holders and locks"
        device_holders "$device"
        echo "---- the simulator"
        thread_states "$sim_pid"
        tail -n 5 frames.log 2>/dev/null || true
        tail -n 5 sim.err 2>/dev/null || true
        echo "---- the program's stacks"
        gdb -p "$pid" -batch -ex "thread apply all bt" 2>&1 | grep -v '^\[New LWP' || true
        echo "---- the program's output"
        tail -n 20 orvane.log
        echo "===="
    } >&2
}

# A start slowed by a busy machine shows as time waiting for a CPU; one held up by something it
# waits on shows as a thread asleep in the kernel, with little run or CPU-waiting time.
thread_states() {
    local task
    for task in /proc/"$1"/task/*; do
        printf '%s %s %s %s %s\n' "${task##*/}" "$(cat "$task/comm" 2>/dev/null)" \
            "$(sed 's/.*) //; s/ .*//' "$task/stat" 2>/dev/null)" \
            "$(cat "$task/wchan" 2>/dev/null)" \
            "$(awk '{ printf "%d %d", $1 / 1e6, $2 / 1e6 }' "$task/schedstat" 2>/dev/null)"
    done
}

# Every process with the device open, and the advisory locks on it.
device_holders() {
    local device=$1 fd inode
    [ -e "$device" ] || return 0
    for fd in /proc/[0-9]*/fd/*; do
        if [ "$(readlink "$fd" 2>/dev/null || true)" = "$device" ]; then
            fd=${fd#/proc/}
            echo "held by ${fd%%/*} ($(cat /proc/"${fd%%/*}"/comm 2>/dev/null))"
        fi
    done
    inode=$(stat -c %i "$device")
    grep ":$inode " /proc/locks || echo "no lock"
}

# A photographer restarting the program must find it connected at once, as after a replug.
check_start_times() {
    local slow
    slow=$(printf '%s\n' "${start_times[@]}" | awk '$1 > 1000' | wc -l)
    note "starts: ${#start_times[@]}, port open $(start_figures)"
    [ "$slow" -eq 0 ] || fail "$slow of ${#start_times[@]} starts took over 1 s to open the port"
}

# "p50 P ms, p99 Q ms, max M ms" over every start made so far.
start_figures() {
    printf '%s\n' "${start_times[@]}" | sort -n | awk '{ v[NR] = $1 } END {
        p99 = int(NR * 0.99); if (p99 < NR * 0.99) p99++
        printf "p50 %d ms, p99 %d ms, max %d ms", v[int((NR + 1) / 2)], v[p99], v[NR] }'
}

# --- 4. The remote interface under hostile clients ----------------------------------------------
# Self-contained: its own program started with --remote, its own load, its own last line. Valid
# clients (with the token) send a mix of requests while others hold half request heads (from
# the valid clients' own address and from another), send garbage, and open and drop event
# streams (scripts/soak-remote-clients.py). The valid requests' times and outcomes are counted;
# the program's descriptors and resident memory, read after a first round of the same load and
# again after the whole load, must stay flat, and the valid requests' p99 below a second.
remote_stage() {
    local seconds=$1 port line
    port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0))
print(s.getsockname()[1])')
    XDG_CONFIG_HOME="$scratch/config" "$orvane" --remote "$port" >>orvane.log 2>&1 &
    pid=$!
    local deadline=$(($(now_ms) + 10000))
    until grep -q "^orvane: remote interface on http://127.0.0.1:$port" orvane.log; do
        kill -0 "$pid" 2>/dev/null || fail "orvane ended at start (see orvane.log)"
        [ "$(now_ms)" -lt "$deadline" ] || fail "orvane did not report its remote interface"
        sleep 0.1
    done
    note "remote interface on port $port: hostile and valid clients for $seconds s"
    line=$(python3 "$root/scripts/soak-remote-clients.py" "$port" "$pid" "$seconds" \
        "$scratch/config/orvane/remote-token") || fail "the remote stage's clients failed"
    local answered refused p50 p99 hostile fds_a fds_b rss_a rss_b
    read -r answered refused p50 p99 hostile fds_a fds_b rss_a rss_b <<<"$line"
    kill -TERM "$pid"
    wait "$pid" || true
    pid=""
    [ "$answered" -gt 0 ] || fail "no valid request was answered"
    [ "$fds_b" -le $((fds_a + 2)) ] || fail "remote: open descriptors grew from $fds_a to $fds_b"
    [ $((rss_b - rss_a)) -le 8192 ] || fail "remote: memory grew from $rss_a to $rss_b KiB"
    awk -v p99="$p99" 'BEGIN { exit !(p99 < 1000) }' || fail "remote: p99 of valid requests $p99 ms"
    remote_figures="remote $seconds s: $answered valid requests answered, $refused refused"
    remote_figures+=" (p50 $p50 ms, p99 $p99 ms) among $hostile hostile connections;"
    remote_figures+=" descriptors $fds_a->$fds_b, resident $rss_a->$rss_b KiB"
}

if [ "$remote_only" -eq 1 ]; then
    remote_stage "$remote_seconds"
    echo "soak: $remote_figures"
    exit 0
fi

# --- 1. Pulled and plugged in again -------------------------------------------------------------
start_program
note "pulling and plugging the dongle $cycles times"
reconnects=()
fds_start="" rss_start=""
for cycle in $(seq "$cycles"); do
    echo unplug >&3
    deadline=$(($(now_ms) + 5000))
    while holds_port; do
        [ "$(now_ms)" -lt "$deadline" ] || fail "cycle $cycle: the port stayed open after unplug"
        sleep 0.01
    done
    # Let the program see the loss before the dongle comes back, as a hand pulling it would.
    sleep 0.1
    echo plug >&3
    plugged=$(now_ms)
    deadline=$((plugged + 5000))
    until holds_port; do
        [ "$(now_ms)" -lt "$deadline" ] || fail "cycle $cycle: no reconnect within 5 s"
        sleep 0.01
    done
    took=$(($(now_ms) - plugged))
    reconnects+=("$took")
    [ "$took" -le 1000 ] || fail "cycle $cycle: the reconnect took $took ms"
    # Counted once the program has settled into its steady state.
    if [ "$cycle" -eq 10 ] || { [ "$cycles" -lt 10 ] && [ "$cycle" -eq 1 ]; }; then
        fds_start=$(descriptors)
        rss_start=$(resident_kib)
    fi
done
fds_end=$(descriptors)
rss_end=$(resident_kib)
read -r reconnect_p50 reconnect_max < <(printf '%s\n' "${reconnects[@]}" | sort -n |
    awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)], v[NR] }')
[ "$fds_end" -le "$fds_start" ] || fail "open descriptors grew from $fds_start to $fds_end"
# A few hundred KiB come and go with Qt's caches; a leak per cycle would show as megabytes.
[ $((rss_end - rss_start)) -le 4096 ] || fail "memory grew from $rss_start to $rss_end KiB"
note "reconnects: p50 ${reconnect_p50} ms, max ${reconnect_max} ms; descriptors $fds_start -> $fds_end; resident $rss_start -> $rss_end KiB"
kill -TERM "$pid"
wait "$pid" || true
pid=""

# --- 2. Saves cut short by SIGKILL --------------------------------------------------------------
window_of() {
    xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n 1 || true
}
await_window() {
    local title=$1 found="" deadline=$(($(now_ms) + 8000))
    until [ -n "$found" ]; do
        [ "$(now_ms)" -lt "$deadline" ] || fail "no window \"$title\" within 8 s"
        sleep 0.05
        found=$(window_of "$title")
    done
    echo "$found"
}
reports_sent() { grep -c ' out FF 0E 01 ' frames.log || true; }

# The places clicked below are those of the window's fixed start layout (800 x 500 at 0,0 of the
# screen): the first tree line, the Scan and Save buttons and the file name box.
tree_x=60 tree_y=85 scan_x=108 save_x=62 bar_y=22 name_x=280 name_y=366
reference=""
cut_short=0
note "saving and killing $saves times"
for round in $(seq "$saves"); do
    start_program
    window=$(await_window '^Orvane$')
    xdotool windowmove "$window" 0 0
    sleep 0.2
    xdotool mousemove --window "$window" "$tree_x" "$tree_y" click 1
    before=$(reports_sent)
    xdotool mousemove --window "$window" "$scan_x" "$bar_y" click 1
    await_window '^Channel scan$' >/dev/null
    deadline=$(($(now_ms) + 6000))
    while [ $(($(reports_sent) - before)) -lt 4 ]; do
        [ "$(now_ms)" -lt "$deadline" ] || fail "round $round: the scan found fewer than 4 heads"
        sleep 0.05
    done
    # Escape ends the count early; the dialog has the keyboard while it is open.
    xdotool key Escape 2>/dev/null || true
    deadline=$(($(now_ms) + 8000))
    while [ -n "$(window_of '^Channel scan$')" ]; do
        [ "$(now_ms)" -lt "$deadline" ] || fail "round $round: the scan dialog stayed open"
        sleep 0.05
    done
    xdotool mousemove --window "$window" "$name_x" "$name_y" click 1
    xdotool type --window "$window" --delay 5 Soak
    xdotool mousemove --window "$window" "$save_x" "$bar_y" click 1
    await_window '^Business Memory$' >/dev/null
    # A completed save puts a new file in the old one's place: a new inode under the same name.
    before_inode=$(stat -c %i "Business Memory/Soak.xml" 2>/dev/null || echo none)
    # The kill is timed from just before the key is sent, so that it lands anywhere from before
    # the program sees the key, through the save, to well after it: a save takes a few ms.
    (
        sleep "$(printf '0.%03d' $((RANDOM % 20)))"
        kill -KILL "$pid"
    ) &
    killer=$!
    xdotool key Return 2>/dev/null || true
    wait "$killer"
    wait "$pid" 2>/dev/null || true
    pid=""
    after_inode=$(stat -c %i "Business Memory/Soak.xml" 2>/dev/null || echo none)
    [ "$before_inode" = "$after_inode" ] && cut_short=$((cut_short + 1))

    # Every file in the folder is the complete setup, byte for byte as the first save wrote it.
    for file in "Business Memory"/* "Business Memory"/.[!.]*; do
        [ -e "$file" ] || continue
        if [ -z "$reference" ] && [ "$file" = "Business Memory/Soak.xml" ]; then
            grep -q '</StudioManage>' "$file" || fail "round $round: the first save is cut: $file"
            reference=$(mktemp)
            cp "$file" "$reference"
        fi
        [ -n "$reference" ] && cmp -s "$file" "$reference" ||
            fail "round $round: \"$file\" is not a complete setup"
    done
done
[ -n "$reference" ] || fail "no save ever completed"
files=$(find "Business Memory" -mindepth 1 | wc -l)
rm -f "$reference"
note "saves: $saves killed, $cut_short of them before the file was replaced; $files file(s) left, all complete"

# --- 3. The framer's fuzz target ----------------------------------------------------------------
CC=clang CXX=clang++ bash "$root/scripts/build.sh" build-fuzz --target fuzz_framer \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DORVANE_SANITIZE=address,undefined -DORVANE_BUILD_FUZZ=ON \
    -DORVANE_BUILD_TESTS=OFF -DORVANE_BUILD_BENCH=OFF
mkdir -p fuzz-corpus
"$root/build-fuzz/fuzz/fuzz_framer" -max_total_time="$fuzz_seconds" -print_final_stats=1 \
    fuzz-corpus "$root/fuzz/corpus/framer" >fuzz.log 2>&1 || {
    tail -n 30 fuzz.log >&2
    fail "the framer's fuzz target found a fault"
}
runs=$(awk '/stat::number_of_executed_units/ { print $2 }' fuzz.log)
note "fuzzing: $runs runs in $fuzz_seconds s, no fault"

echo "soak: $cycles reconnects (p50 ${reconnect_p50} ms, max ${reconnect_max} ms, descriptors" \
    "$fds_start->$fds_end, resident $rss_start->$rss_end KiB); $saves saves killed ($cut_short" \
    "before the replace, every file complete); framer fuzzed $fuzz_seconds s ($runs runs), no fault"
remote_stage "$remote_seconds"
echo "soak: $remote_figures"
check_start_times
echo "soak: ${#start_times[@]} starts, port open $(start_figures)"
