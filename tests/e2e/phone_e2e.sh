#!/usr/bin/env bash
# The phone page in headless Chromium against the real program started with --remote and the
# simulated dongle with its demonstration heads, under a virtual X server: phone_e2e.py pairs,
# scans, steps powers, follows orvane-ctl and a second page, undoes, outlives a restart of the
# program, and prints what it measured.
# Skipped (77) when Chromium, its driver or Selenium is missing.
#
# usage: phone_e2e.sh ORVANE ORVANE_CTL DONGLE_SIM ARTIFACT_DIR
set -euo pipefail

source "$(dirname "$0")/e2e_lib.sh"

inside_display() {
    port=$(free_port)
    start_program "$orvane" --remote "$port"
    await 100 remote_reported || fail "orvane did not report its remote interface within 10 s"
    step "orvane pid $pid, remote interface on $url"
    await 100 link_up || fail "the link did not come up"
    /usr/bin/python3 "$here/phone_e2e.py" "$url" "$XDG_CONFIG_HOME/orvane/remote-token" \
        "$scratch/frames.log" "$scratch/commands" "$ctl" "$pictures" "$orvane" "$pid" ||
        fail "the browser test failed (orvane.log: $(tail -5 orvane.log))"
}
remote_reported() {
    kill -0 "$pid" 2>/dev/null || fail "orvane ended at start (see orvane.log)"
    url=$(sed -n 's/^orvane: remote interface on //p' orvane.log)
    [ -n "$url" ]
}
link_up() { "$ctl" --url "$url" status 2>/dev/null | grep -q "Zigbee connected"; }

here=$(cd "$(dirname "$0")" && pwd)
if [ "${1:-}" = "--inside-display" ]; then
    orvane=$2 ctl=$3 pictures=$4
    shift 4
    inside_display
    exit 0
fi

[ $# -eq 4 ] || fail "usage: $0 ORVANE ORVANE_CTL DONGLE_SIM ARTIFACT_DIR"
for need in /usr/bin/chromium /usr/bin/chromedriver; do
    [ -x "$need" ] || { echo "SKIP: $need is not installed (scripts/deps.sh installs it)"; exit 77; }
done
/usr/bin/python3 -c 'import selenium' 2>/dev/null ||
    { echo "SKIP: python3-selenium is not installed (scripts/deps.sh installs it)"; exit 77; }
need_tools xvfb-run
script=$(realpath "$0")
orvane=$(realpath "$1")
ctl=$(realpath "$2")
sim=$(realpath "$3")
pictures=$(realpath -m "$4")
mkdir -p "$pictures"

enter_scratch orvane-phone-e2e
export scratch
export XDG_CONFIG_HOME="$scratch/config"
start_sim "$sim" "$scratch/dongle" --demo --seed 5 --log frames.log
write_option_file "$scratch/dongle"
in_display "$script" "$orvane" "$ctl" "$pictures"
echo "PASS"
