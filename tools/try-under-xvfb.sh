#!/usr/bin/env bash
# try-under-xvfb.sh [FILE]   (TARVO_DISPLAY picks the display number, default 50)
# Starts the built Tarvo as a user would meet it, on a virtual screen with an accessibility
# bus, on the demo archive, with settings and home in a temporary folder. Prints the lines to
# drive it (xdotool), read it (tools/a11y-tree.py) and photograph it (import); Ctrl+C ends all.
# Needs: TARVO_WITH_X=1 tools/ensure-deps.sh (Xvfb, xdotool, AT-SPI, pyatspi, ImageMagick).
set -euo pipefail
cd "$(dirname "$0")/.."
display=":${TARVO_DISPLAY:-50}"
[[ -x build/tarvo ]] || { echo "build/tarvo not found; run ./test.sh or ./run.sh first" >&2; exit 1; }

work=$(mktemp -d)
trap 'kill $(jobs -p) 2>/dev/null; rm -rf "$work"' EXIT
mkdir -p "$work/home" "$work/program"
cp build/tarvo "$work/program/"
printf '%s\n' "$PWD/examples" >"$work/program/suchpfad.txt"

Xvfb "$display" -screen 0 1600x1000x24 >/dev/null 2>&1 &
sleep 1
export DISPLAY=$display HOME=$work/home XDG_CONFIG_HOME=$work/home/.config
export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 QT_ACCESSIBILITY=1
eval "$(dbus-launch --sh-syntax)"
echo "export DISPLAY=$display DBUS_SESSION_BUS_ADDRESS='$DBUS_SESSION_BUS_ADDRESS'"
echo "  xdotool search --name Suchmaske windowactivate; xdotool type 4711; xdotool key Return"
echo "  /usr/bin/python3 tools/a11y-tree.py"
echo "  import -window root /tmp/tarvo.png"
/usr/libexec/at-spi-bus-launcher --launch-immediately >/dev/null 2>&1 &
sleep 1
"$work/program/tarvo" "$@"
