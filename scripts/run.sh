#!/usr/bin/env bash
# Installs what is missing, builds, and starts Orvane against the simulated dongle in a demo
# working folder (demo/), so that no hardware is needed: four units answer in Studio A and two in
# Studio B. Without a display the program runs under Xvfb for a few seconds, and a screenshot of
# its window is saved and its path printed.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

bash scripts/deps.sh
bash scripts/build.sh build -DCMAKE_BUILD_TYPE=RelWithDebInfo

demo="$root/demo"
link="$demo/ttyOrvane"
sim="$root/build/sim/orvane-dongle-sim"
orvane="$root/build/app/orvane"
mkdir -p "$demo"

# The simulator reads commands from a pipe we keep open, so it runs until we tell it to quit.
coproc SIM { exec "$sim" --demo --link "$link" --log "$demo/sim.log"; }
sim_pid=$SIM_PID
stop_sim() {
    if kill -0 "$sim_pid" 2>/dev/null; then
        echo quit >&"${SIM[1]}" 2>/dev/null || true
        wait "$sim_pid" 2>/dev/null || true
    fi
}
trap stop_sim EXIT
read -r -t 10 device <&"${SIM[0]}"
echo "Simulated dongle on $link -> $device (frames logged to demo/sim.log)"

# The program finds its port in Option.xml of its working folder.
cat > "$demo/Option.xml" <<XML
<?xml version='1.0' encoding='utf-8'?>
<Option>
	<ComSet>
		<sComPort>$link</sComPort>
		<nBaud>9600</nBaud>
	</ComSet>
</Option>
XML

cd "$demo"
if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
    echo "Starting Orvane: select \"Studio A\" and press Scan to find the simulated units."
    "$orvane"
else
    shot="$demo/orvane-window.png"
    echo "No display: running Orvane under Xvfb for a few seconds."
    xvfb-run -a -s "-screen 0 1024x640x24" bash -c '
        "$1" & app=$!
        sleep 4
        import -window root "$2"
        kill -TERM "$app"
        wait "$app"' _ "$orvane" "$shot"
    echo "Screenshot of the window: $shot"
fi
