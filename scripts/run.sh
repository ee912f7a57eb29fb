#!/usr/bin/env bash
# Installs what is missing, builds, and starts Orvane against the simulated dongle in a demo
# working folder (demo/), so that no hardware is needed.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

bash scripts/deps.sh
bash scripts/build.sh build -DCMAKE_BUILD_TYPE=RelWithDebInfo

mkdir -p demo
link="$root/demo/ttyOrvane"
sim="$root/build/sim/orvane-dongle-sim"

if [ ! -x "$root/build/app/orvane" ]; then
    cat <<MSG
Orvane's main window is not part of this build yet. Starting the simulated dongle instead:
four units in Studio A and two in Studio B, on the serial port $link
(frames are logged to demo/sim.log). Type commands such as 'add A 7', 'heat A 0 70',
'unplug', 'plug' or 'quit'.
MSG
    exec "$sim" --demo --link "$link" --log "$root/demo/sim.log"
fi
