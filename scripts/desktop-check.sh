#!/usr/bin/env bash
# scripts/desktop-check.sh BUILD_DIR: runs the built console with its monitor and virtual board
# on real display servers and checks where its windows go. On X11 (Xvfb, at 1920x1080 and
# 1366x768) it reads each window's place from the X server: at 1920x1080 no window may overlap
# another, at 1366x768 none may overlap the main window. On Wayland (weston's headless backend)
# the compositor places the windows: it checks from a screenshot that they are shown. Each run
# ends with SIGTERM, which must close the program cleanly. Prints one line per check with its
# time, then "desktop-check: N checks passed, M failed"; fails if any check did.
set -uo pipefail
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
# shellcheck source=scripts/common.sh
source "$ROOT/scripts/common.sh"
BUILD=$(cd "${1:?usage: $0 BUILD_DIR}" && pwd)
PROGRAM=$BUILD/zov-usb-test
# The main window's fixed client size, which tells it from the others.
MAIN_SIZE="818 835"
# How long the windows may take to show.
SHOW_SECONDS=20

WORK=$(mktemp -d)
chmod 700 "$WORK" # also the Wayland compositor's runtime folder
pids=()
cleanup() {
    local pid
    for pid in "${pids[@]}"; do
        kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null
    done
    rm -rf "$WORK"
}
trap cleanup EXIT

source "$ROOT/scripts/checks.sh"

# wait_for TRIES COMMAND...: runs COMMAND every 0.25 s until it succeeds, at most TRIES times;
# only the last try's output is kept.
wait_for() {
    local tries=$1
    shift
    for _ in $(seq $((tries - 1))); do
        "$@" >/dev/null 2>&1 && return 0
        sleep 0.25
    done
    "$@"
}

# start_program PLATFORM...: the console with both extra windows, its pid in $app.
start_program() {
    env "$@" XDG_RUNTIME_DIR="$WORK" "$PROGRAM" --virtual-board --monitor >"$WORK/app.log" 2>&1 &
    app=$!
    pids+=("$app")
}

# sigterm_ends_it: SIGTERM closes the window and the program ends with status 0.
sigterm_ends_it() {
    kill -TERM "$app"
    local status=0
    wait "$app" || status=$?
    cat "$WORK/app.log"
    [ "$status" -eq 0 ] || { echo "ended with status $status"; return 1; }
}

# x11_frames: one line per visible window of the program: x y width height title.
x11_frames() {
    local id
    for id in $(xdotool search --onlyvisible --pid "$app" 2>/dev/null); do
        xwininfo -id "$id" | awk '
            /^xwininfo: Window id:/ { sub(/^[^"]*"/, ""); sub(/"$/, ""); title = $0 }
            /Absolute upper-left X:/ { x = $NF }
            /Absolute upper-left Y:/ { y = $NF }
            /^  Width:/ { w = $NF }
            /^  Height:/ { h = $NF }
            END { print x, y, w, h, title }'
    done
}

x11_three_windows() {
    [ "$(x11_frames | wc -l)" -eq 3 ]
}

# x11_windows_shown: the three windows show within SHOW_SECONDS; if not, what the X server said.
x11_windows_shown() {
    wait_for $((SHOW_SECONDS * 4)) x11_three_windows || { cat "$WORK/xvfb.log"; return 1; }
}

# x11_no_overlap all|main: of the three windows, no two overlap, or none overlaps the main
# window.
x11_no_overlap() {
    x11_frames | tee "$WORK/frames"
    [ "$(grep -c . "$WORK/frames")" -eq 3 ] || { echo "not three windows"; return 1; }
    awk -v which="$1" -v main="$MAIN_SIZE" '
        { x[NR] = $1; y[NR] = $2; w[NR] = $3; h[NR] = $4; isMain[NR] = ($3 " " $4 == main) }
        END {
            bad = 0
            for (i = 1; i <= NR; ++i)
                for (j = i + 1; j <= NR; ++j) {
                    if (which == "main" && !isMain[i] && !isMain[j]) continue
                    if (x[i] < x[j] + w[j] && x[j] < x[i] + w[i] &&
                        y[i] < y[j] + h[j] && y[j] < y[i] + h[i]) {
                        print "windows " i " and " j " overlap"
                        bad = 1
                    }
                }
            exit bad
        }' "$WORK/frames"
}

# x11_run SIZE RULE: the checks on an Xvfb screen of SIZE (WIDTHxHEIGHT).
x11_run() {
    local size=$1 rule=$2
    # Xvfb picks a free display and writes its number to descriptor 3. Without -noreset it
    # starts over when its last client leaves (the readiness probe below), and a client that
    # connects meanwhile is shut out.
    Xvfb -displayfd 3 -noreset -screen 0 "${size}x24" -nolisten tcp 3>"$WORK/display" \
        >"$WORK/xvfb.log" 2>&1 &
    local xvfb=$!
    pids+=("$xvfb")
    wait_for 40 test -s "$WORK/display"
    DISPLAY=":$(cat "$WORK/display")"
    export DISPLAY
    wait_for 40 xwininfo -root >/dev/null 2>&1
    start_program QT_QPA_PLATFORM=xcb
    check "x11 $size: the three windows show" x11_windows_shown
    if [ "$rule" = all ]; then
        check "x11 $size: no window overlaps another" x11_no_overlap all
    else
        check "x11 $size: no window overlaps the main window" x11_no_overlap main
    fi
    check "x11 $size: SIGTERM ends the program cleanly" sigterm_ends_it
    kill "$xvfb"
    wait "$xvfb" 2>/dev/null
    unset DISPLAY
}

# screenshot NAME: the whole Wayland output as WORK/NAME.png.
screenshot() {
    local dir="$WORK/shot-$1"
    mkdir -p "$dir"
    (cd "$dir" && WAYLAND_DISPLAY=wayland-zov XDG_RUNTIME_DIR="$WORK" weston-screenshooter) &&
        mv "$dir"/*.png "$WORK/$1.png"
}

# changed_pixels A B: how many pixels differ between two screenshots.
changed_pixels() {
    compare -metric AE -fuzz 2% "$WORK/$1.png" "$WORK/$2.png" null: 2>&1 |
        awk '{ printf "%d\n", $1 }'
}

# desktop_drawn: two screenshots in a row are the same: the shell has drawn the desktop.
desktop_drawn() {
    screenshot desktop && screenshot again && [ "$(changed_pixels desktop again)" -eq 0 ]
}

# wayland_windows_shown: the screen differs from the empty desktop by at least the main
# window's area.
wayland_windows_shown() {
    screenshot now || return 1
    local changed
    changed=$(changed_pixels desktop now)
    echo "pixels changed from the empty desktop: $changed"
    [ "$changed" -ge $((818 * 835)) ]
}

weston_failed() {
    cat "$WORK/weston.log"
    return 1
}

wayland_run() {
    XDG_RUNTIME_DIR="$WORK" weston --backend=headless-backend.so --use-pixman \
        --socket=wayland-zov --width=1920 --height=1080 --idle-time=0 \
        --debug >"$WORK/weston.log" 2>&1 &
    local weston=$!
    pids+=("$weston")
    if ! wait_for 40 test -S "$WORK/wayland-zov" || ! wait_for 40 desktop_drawn; then
        check "wayland: weston starts and takes screenshots" weston_failed
        return
    fi
    start_program QT_QPA_PLATFORM=wayland WAYLAND_DISPLAY=wayland-zov
    check "wayland: the windows show" wait_for $((SHOW_SECONDS * 2)) wayland_windows_shown
    check "wayland: SIGTERM ends the program cleanly" sigterm_ends_it
    kill "$weston"
    wait "$weston" 2>/dev/null
}

ensure_packages "${DESKTOP_CHECK_PACKAGES[@]}" >/dev/null
if [ ! -x "$PROGRAM" ]; then
    echo "desktop-check: $PROGRAM is not built"
    exit 1
fi
x11_run 1920x1080 all
x11_run 1366x768 main
wayland_run
echo "desktop-check: $passed checks passed, $failed failed"
[ "$failed" -eq 0 ]
