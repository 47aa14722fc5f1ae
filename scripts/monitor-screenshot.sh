#!/usr/bin/env bash
# Takes docs/monitor.png: the main window and the board monitor side by side while the loop
# polls the virtual board, on a private X server (Xvfb, the real xcb platform).
#
# Usage: scripts/monitor-screenshot.sh [build dir] [output.png]
set -euo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
# shellcheck source=scripts/common.sh
source "$ROOT/scripts/common.sh"

BUILD=${1:-$ROOT/build}
OUTPUT=${2:-$ROOT/docs/monitor.png}
TOOL=$BUILD/tests/monitor_screenshot
if [ ! -x "$TOOL" ]; then
    echo "monitor-screenshot: $TOOL is not built (cmake --build $BUILD --target monitor_screenshot)" >&2
    exit 1
fi

ensure_packages xvfb xauth fonts-liberation fonts-dejavu-core

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$(dirname "$OUTPUT")"
QT_QPA_PLATFORM=xcb XDG_RUNTIME_DIR="$work" \
    xvfb-run --auto-servernum --server-args="-screen 0 1960x900x24 -nolisten tcp" \
    "$TOOL" "$OUTPUT" 12
