#!/usr/bin/env bash
# Installs what is missing, builds, and starts Orvane against the simulated dongle in a demo
# working folder (demo/), so that no hardware is needed: four units answer in Studio A and two in
# Studio B. Without a display the program runs under Xvfb until its window is shown, and a
# screenshot of it is saved and its path printed.
#
# The simulator, Option.xml and the virtual display are started as the end-to-end tests start
# them, by their library.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/tests/e2e/e2e_lib.sh"

# Runs inside the virtual display: shows the window connected to the dongle, keeps a picture.
inside_display() {
    show_program "$1" "$2"
    # The status bar reads "Zigbee connected" once the window has repainted after the open.
    sleep 1
    await_painted "$3"
    stop_program
}
enter_display_run "$@"

cd "$root"
bash scripts/deps.sh
bash scripts/build.sh build -DCMAKE_BUILD_TYPE=RelWithDebInfo

demo="$root/demo"
link="$demo/ttyOrvane"
orvane="$root/build/app/orvane"
mkdir -p "$demo"
# The demo folder stays; the simulator is stopped when the script ends.
enter_folder "$demo"
start_sim "$root/build/sim/orvane-dongle-sim" "$link" --demo --log sim.log
echo "Simulated dongle on $link -> $device (frames logged to demo/sim.log)"
# The program finds its port in Option.xml of its working folder.
write_option_file "$link"

if have_display; then
    echo "Starting Orvane: select \"Studio A\" and press Scan to find the simulated units."
    "$orvane"
else
    echo "No display: running Orvane under Xvfb until its window is shown."
    in_display "$root/scripts/run.sh" "$orvane" "$device" "$demo/orvane-window.png"
    echo "Screenshot of the window: $demo/orvane-window.png"
fi
