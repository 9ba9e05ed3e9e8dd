#!/usr/bin/env bash
# Installs the Debian packages Tarvo needs to build, test and run, when any is missing.
set -euo pipefail

packages=(cmake ninja-build g++ qt6-base-dev qt6-base-dev-tools libgl-dev fonts-liberation2)
if [ "${TARVO_WITH_X:-0}" = 1 ]; then
    # For using the program as a user would on a virtual screen: tools/try-under-xvfb.sh.
    packages+=(xvfb xauth xdotool dbus-x11 at-spi2-core python3-pyatspi imagemagick)
fi
# The latency file system of the network-share benchmark (bench/latency.sh).
if [ "${TARVO_WITH_FUSE:-0}" = 1 ]; then
    packages+=(fuse3 libfuse3-dev pkg-config)
fi

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
$sudo apt-get update
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "${missing[@]}"
