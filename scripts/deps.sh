#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the demo need, and nothing when they are
# all there already. Run as root (or with sudo available).
set -euo pipefail

# qt6-websockets-dev: Debian's qt6-httpserver-dev needs it to be found by CMake but does not
# depend on it.
packages=(
    build-essential cmake ninja-build pkg-config
    clang libclang-rt-14-dev
    qt6-base-dev qt6-serialport-dev qt6-svg-dev qt6-httpserver-dev qt6-websockets-dev libgl-dev
    libgtest-dev libgmock-dev googletest libbenchmark-dev
    xvfb xauth xdotool x11-utils imagemagick
    fonts-liberation fonts-dejavu-core
    dpkg-dev file librsvg2-bin desktop-file-utils appstream lintian
    chromium chromium-driver python3-selenium libqrencode-dev zbar-tools
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done

if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi

echo "Installing: ${missing[*]}"
sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
    sudo_cmd=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
