#!/usr/bin/env bash
# The remote interface from outside the process: the real program started with --remote under a
# virtual X server, talking to the simulated dongle with its demonstration heads (Studio A: slots
# 0, 1, 2 and 6 at flash 56, 45, 70, 33 and lamp 41, 30, 62, 24), driven only by orvane-ctl. It
# scans Studio A, changes a unit, fires a test flash, ticks two units and shifts their flash,
# saves the setup, changes a unit and loads the setup back, watches the events, and checks the
# exit codes of wrong values, refusals and an absent program. Every step is checked by the frames
# the dongle logs. A second program started without --remote must listen on nothing; a third one
# started on the first one's port runs on and says why its interface is off. orvane-ctl must not
# hand its token to a listener of another user, nor hang on a FIFO as its token file.
#
# usage: remote_e2e.sh ORVANE ORVANE_CTL DONGLE_SIM
set -euo pipefail

source "$(dirname "$0")/e2e_lib.sh"

# How many frames the dongle received that start with these bytes.
received() {
    grep -c " in $1" frames.log || true
}

await_received() {
    local bytes=$1 count=$2 seen=0
    for _ in $(seq 50); do
        seen=$(received "$bytes")
        [ "$seen" -ge "$count" ] && return 0
        sleep 0.1
    done
    fail "the dongle received $seen frames \"$bytes\", wanted $count"
}

# The TCP sockets a process listens on.
listening() {
    python3 - "$1" <<'PY'
import os, sys
pid = sys.argv[1]
inodes = set()
for fd in os.listdir(f"/proc/{pid}/fd"):
    try:
        target = os.readlink(f"/proc/{pid}/fd/{fd}")
    except OSError:
        continue
    if target.startswith("socket:["):
        inodes.add(target[8:-1])
count = 0
for table in ("/proc/net/tcp", "/proc/net/tcp6"):
    for line in open(table).read().splitlines()[1:]:
        fields = line.split()
        count += fields[3] == "0A" and fields[9] in inodes
print(count)
PY
}

# Runs orvane-ctl and checks its exit code: expect CODE ctl-arguments...
expect() {
    local want=$1 status=0
    shift
    "$ctl" --url "$url" "$@" >ctl.out 2>ctl.err || status=$?
    [ "$status" -eq "$want" ] ||
        fail "orvane-ctl $* ended with $status, not $want: $(cat ctl.out ctl.err)"
}

# A listener run by another user on a free port: orvane-ctl must refuse it with exit 3 and send
# it nothing. Skipped, saying why, where no other user can be had.
stranger_listens() {
    local other_port status=0
    other_port=$(free_port)
    as_other_user /usr/bin/python3 -c '
import socket, sys
s = socket.socket()
s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
s.bind(("127.0.0.1", int(sys.argv[1])))
s.listen()
print("listening", flush=True)
s.settimeout(10)
try:
    while True:
        c, _ = s.accept()
        c.settimeout(2)
        print(c.recv(65536).decode("latin-1"), flush=True)
except OSError:
    pass
' "$other_port" >stranger.out 2>&1 || status=$?
    if [ "$status" -eq 77 ]; then
        step "SKIP the listener of another user: not root, or no setpriv"
        return 0
    fi
    for _ in $(seq 50); do
        grep -q listening stranger.out && break
        sleep 0.1
    done
    grep -q listening stranger.out || fail "the other user's listener did not start: $(cat stranger.out)"
    status=0
    "$ctl" --url "http://127.0.0.1:$other_port" status >ctl.out 2>ctl.err || status=$?
    kill "$other_pid" 2>/dev/null || true
    wait "$other_pid" 2>/dev/null || true
    [ "$status" -eq 3 ] || fail "a listener of another user gave $status, not 3: $(cat ctl.err)"
    grep -q "belongs to another user" ctl.err || fail "no reason given: $(cat ctl.err)"
    ! grep -q "Bearer" stranger.out || fail "the token went to another user's listener"
    [ "$(cat stranger.out)" = listening ] || fail "another user's listener got: $(cat stranger.out)"
    step "a listener of another user gets no request"
}

inside_display() {
    local orvane=$1
    pid=""
    plain=""
    stop_programs() {
        for p in ${pid:-} ${plain:-} ${busy:-}; do
            kill -KILL "$p" 2>/dev/null || true
            wait "$p" 2>/dev/null || true
        done
    }
    trap stop_programs EXIT

    port=$(free_port)
    start_program "$orvane" --remote "$port"
    url=""
    for _ in $(seq 100); do
        url=$(sed -n 's/^orvane: remote interface on //p' orvane.log)
        [ -n "$url" ] && break
        kill -0 "$pid" 2>/dev/null || fail "orvane ended at start (see orvane.log)"
        sleep 0.1
    done
    [ -n "$url" ] || fail "orvane did not report its remote interface within 10 s"
    step "orvane pid $pid, remote interface on $url"
    [ "$(stat -c %a "$XDG_CONFIG_HOME/orvane/remote-token")" = 600 ] ||
        fail "the token file is not private"
    [ "$(listening "$pid")" -eq 1 ] || fail "orvane does not listen on exactly one socket"
    ! grep -qF "$(cat "$XDG_CONFIG_HOME/orvane/remote-token")" orvane.log ||
        fail "the token went into the program's output"

    for _ in $(seq 50); do
        "$ctl" --url "$url" status | grep -q "Zigbee connected" && break
        sleep 0.1
    done
    expect 0 status
    grep -q "Zigbee connected" ctl.out || fail "the link did not come up: $(cat ctl.out)"

    expect 0 scan A
    [ "$(grep -c '^CH-' ctl.out)" -eq 4 ] || fail "the scan listed $(cat ctl.out)"
    [ "$(received 'FF 05 00 00 41$')" -eq 1 ] || fail "no scan request for Studio A"
    step "scanned Studio A: four units"

    expect 0 set 3 flash 5.5 model off
    await_received "FF 07 13 00 04 37 3E$" 1
    await_received "FF 07 1C 00 04 00 00$" 1
    expect 0 test 3
    await_received "FF 07 1B 00 04 00 00$" 1
    step "CH-03 changed and fired as its panel does"

    expect 0 tick 1 on
    expect 0 tick 2 on
    expect 0 group flash +1.0
    await_received "FF 17 1E 42 29 37 1E 37 3E" 1
    expect 0 units --json
    python3 - ctl.out <<'PY' || fail "the units do not show the group change: $(cat ctl.out)"
import json, sys
units = {u["channel"]: u for u in json.load(open(sys.argv[1]))}
assert units[1]["flash"] == 6.6 and units[1]["ticked"], units[1]
assert units[2]["flash"] == 5.5 and units[2]["ticked"], units[2]
assert units[3]["flash"] == 5.5 and not units[3]["model_on"], units[3]
PY
    step "the ticked units moved by +1.0 in one power table"

    expect 0 save Portrait
    [ -s "Business Memory/Portrait.xml" ] || fail "no Business Memory/Portrait.xml"
    expect 0 setups
    [ "$(cat ctl.out)" = Portrait ] || fail "setups listed $(cat ctl.out)"
    expect 0 set 1 flash 3.0
    await_received "FF 07 13 00 01 1E 29$" 1
    expect 0 load Portrait
    await_received "FF 0E 01 00 01 01 42 29" 1
    step "saved, changed and loaded back"

    "$ctl" --url "$url" watch >watch.txt 2>&1 &
    local watcher=$!
    for _ in $(seq 50); do
        grep -q '^status:' watch.txt && break
        sleep 0.1
    done
    expect 0 set 2 flash 4.0
    for _ in $(seq 50); do
        grep -q '^changed: Studio A  CH-02 .* flash 4.0' watch.txt && break
        sleep 0.1
    done
    kill "$watcher" 2>/dev/null || true
    wait "$watcher" 2>/dev/null || true
    grep -q '^changed: Studio A  CH-02 .* flash 4.0' watch.txt || fail "watch printed $(cat watch.txt)"
    step "watch showed the change"

    expect 0 undo
    await_received "FF 07 13 00 02 37 1E$" 1
    expect 0 history
    grep -q "Flash Power CH-02 5.5 → 4.0  (undone)" ctl.out || fail "history listed $(cat ctl.out)"
    expect 0 redo
    await_received "FF 07 13 00 02 28 1E$" 2
    expect 4 redo
    grep -q "nothing to redo" ctl.err || fail "no reason given: $(cat ctl.err)"
    step "undo and redo sent what restores CH-02 and the change again"

    expect 2 set 3 flash 9.9
    expect 2 bogus
    expect 4 set 9 flash 5.0
    grep -q "no unit on channel 9" ctl.err || fail "no reason given: $(cat ctl.err)"
    expect 4 --studio C set 1 flash 5.0
    expect 2 save "a/b"
    local status=0
    "$ctl" --url http://127.0.0.1:1 status >/dev/null 2>&1 || status=$?
    [ "$status" -eq 3 ] || fail "a port nobody listens on gave $status, not 3"
    status=0
    XDG_CONFIG_HOME="$scratch/none" "$ctl" --url "$url" status >/dev/null 2>&1 || status=$?
    [ "$status" -eq 3 ] || fail "a missing token file gave $status, not 3"
    step "exit codes 2, 3 and 4"

    # Qt's HTTP server warns of every WebSocket upgrade it is not set up for: a client's doing, so
    # logged once a minute at most.
    python3 - "$port" <<'PY'
import socket, sys
for _ in range(5):
    c = socket.create_connection(("127.0.0.1", int(sys.argv[1])))
    c.sendall(b"GET /api/v1/events HTTP/1.1\r\nHost: x\r\nConnection: Upgrade\r\n"
              b"Upgrade: websocket\r\nSec-WebSocket-Version: 13\r\n"
              b"Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\n\r\n")
    c.recv(4096)
    c.close()
PY
    sleep 0.5
    [ "$(grep -c "WebSocket received" orvane.log)" -eq 1 ] ||
        fail "upgrade warnings were not logged exactly once: $(grep -c "WebSocket received" orvane.log)"
    step "five upgrade requests, one warning"

    QT_QPA_PLATFORM=xcb "$orvane" >plain.log 2>&1 &
    plain=$!
    sleep 2
    kill -0 "$plain" 2>/dev/null || fail "orvane without --remote ended (see plain.log)"
    [ "$(listening "$plain")" -eq 0 ] || fail "orvane without --remote listens"
    step "without --remote nothing listens"

    QT_QPA_PLATFORM=xcb "$orvane" --remote "$port" >busy.log 2>&1 &
    busy=$!
    for _ in $(seq 50); do
        grep -q "remote interface is off" busy.log && break
        sleep 0.1
    done
    grep -q "^orvane: the remote interface is off: cannot listen on 127.0.0.1:$port" busy.log ||
        fail "a second program on the same port did not say why: $(cat busy.log)"
    sleep 1
    kill -0 "$busy" 2>/dev/null || fail "the program whose listen failed did not run on"
    kill -KILL "$busy"
    wait "$busy" 2>/dev/null || true
    step "a listen that fails is told and the program runs on"

    mkfifo fifo-token
    status=0
    timeout 5 "$ctl" --url "$url" --token-file fifo-token status >/dev/null 2>ctl.err || status=$?
    [ "$status" -eq 3 ] || fail "a FIFO as token file gave $status, not 3: $(cat ctl.err)"
    grep -q "not a regular file" ctl.err || fail "no reason for the FIFO: $(cat ctl.err)"
    step "a FIFO as token file is refused at once"

    stranger_listens
    kill -TERM "$pid"
    status=0
    wait "$pid" || status=$?
    pid=""
    [ "$status" -eq 0 ] || fail "orvane ended with exit code $status after SIGTERM"
    step "orvane ended with exit code 0"
}

if [ "${1:-}" = "--inside-display" ]; then
    ctl=$3
fi
enter_display_run "$@"

[ $# -eq 3 ] || fail "usage: $0 ORVANE ORVANE_CTL DONGLE_SIM"
script=$(realpath "$0")
orvane=$(realpath "$1")
ctl=$(realpath "$2")
sim=$(realpath "$3")
need_tools xvfb-run python3

enter_scratch orvane-remote-e2e
export scratch
export XDG_CONFIG_HOME="$scratch/config"
start_sim "$sim" "$scratch/dongle" --demo --seed 5 --log frames.log
write_option_file "$scratch/dongle"
in_display "$script" "$orvane" "$ctl"
echo "PASS"
