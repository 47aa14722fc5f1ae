#!/usr/bin/env bash
# Takes docs/screenshot.png: runs the console with its virtual board on a private X server
# (Xvfb, the real xcb platform, not offscreen) and captures the main window.
#
# Usage: scripts/screenshot.sh [program] [output.png]
#   program defaults to build/zov-usb-test, output to docs/screenshot.png.
set -euo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
# shellcheck source=scripts/common.sh
source "$ROOT/scripts/common.sh"

PROGRAM=${1:-$ROOT/build/zov-usb-test}
OUTPUT=${2:-$ROOT/docs/screenshot.png}
# The main window's fixed client size; its caption changes with the connection state.
SIZE=818x835

if [ ! -x "$PROGRAM" ]; then
    echo "screenshot: $PROGRAM is not built (run cmake --build build first)" >&2
    exit 1
fi

ensure_packages xvfb imagemagick x11-utils fonts-liberation fonts-dejavu-core

# A free display number: no lock file and no socket.
display=99
while [ -e "/tmp/.X$display-lock" ] || [ -e "/tmp/.X11-unix/X$display" ]; do
    display=$((display + 1))
done
export DISPLAY=":$display"

work=$(mktemp -d)
xvfb_pid=""
app_pid=""
cleanup() {
    [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null && wait "$app_pid" 2>/dev/null
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

# Wide enough for the virtual board's panel beside the main window, not over it.
Xvfb "$DISPLAY" -screen 0 1700x900x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
for _ in $(seq 50); do
    xwininfo -root >/dev/null 2>&1 && break
    sleep 0.1
done

QT_QPA_PLATFORM=xcb XDG_RUNTIME_DIR="$work" "$PROGRAM" --virtual-board >"$work/app.log" 2>&1 &
app_pid=$!
sleep 3

if ! kill -0 "$app_pid" 2>/dev/null; then
    echo "screenshot: the program ended early:" >&2
    cat "$work/app.log" >&2
    exit 1
fi

# The main window: the program's top-level window of the fixed client size (the virtual
# board's panel is another, smaller one); then its absolute place on the root window.
window_id=$(xwininfo -root -tree |
    awk -v size=" $SIZE+" '/"zov-usb-test" "zov-usb-test"/ && index($0, size) { print $1; exit }')
if [ -z "$window_id" ]; then
    echo "screenshot: no $SIZE window of the program" >&2
    xwininfo -root -tree >&2
    exit 1
fi
info=$(xwininfo -id "$window_id")
x=$(awk '/Absolute upper-left X/ { print $NF }' <<<"$info")
y=$(awk '/Absolute upper-left Y/ { print $NF }' <<<"$info")
width=$(awk '/Width:/ { print $NF }' <<<"$info")
height=$(awk '/Height:/ { print $NF }' <<<"$info")

mkdir -p "$(dirname "$OUTPUT")"
import -window root -crop "${width}x${height}+${x}+${y}" +repage "$OUTPUT"
echo "screenshot: wrote $OUTPUT (${width}x${height})"
