#!/usr/bin/env bash
# scripts/desktop-check.sh BUILD_DIR: runs the built console with its monitor and virtual board
# on real display servers and checks where its windows go. On X11 (Xvfb, at 1920x1080 and
# 1366x768) it reads each window's place from the X server: at 1920x1080 no window may overlap
# another, at 1366x768 none may overlap the main window. On Wayland (weston's headless backend)
# the compositor places the windows: it checks from a screenshot that they are shown. Each run
# ends with SIGTERM, which must close the program cleanly. Then the station window
# (check --station --window) on two virtual boards: on X11 at 1366x768 it must fit the screen
# alone, its questions are answered by key presses (xdotool, through the X server) and both
# verdicts shown, saved as station-window.png; then the same on Wayland, in weston's X11
# backend inside an Xvfb (the X server's keys reach weston's seat), saved as
# station-window-wayland.png. The
# screenshots go to BUILD_DIR, or to SCREENSHOTS_DIR when set (SCREENSHOTS_DIR=docs renews the
# README's).
# Prints one line per check with its time, then "desktop-check: N checks passed, M failed";
# fails if any check did.
set -uo pipefail
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
# shellcheck source=scripts/common.sh
source "$ROOT/scripts/common.sh"
BUILD=$(cd "${1:?usage: $0 BUILD_DIR}" && pwd)
PROGRAM=$BUILD/zov-usb-test
SHOTS=$(cd "${SCREENSHOTS_DIR:-$BUILD}" && pwd)
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

# sigterm_ends_it [STATUS]: SIGTERM closes the window and the program ends with STATUS (0).
sigterm_ends_it() {
    local expected=${1:-0}
    kill -TERM "$app"
    local status=0
    wait "$app" || status=$?
    cat "$WORK/app.log"
    [ "$status" -eq "$expected" ] || { echo "ended with status $status"; return 1; }
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
# start_xvfb SIZE: an X server of SIZE (1366x768), ready; its pid in $xvfb, DISPLAY exported.
start_xvfb() {
    # Xvfb picks a free display and writes its number to descriptor 3. Without -noreset it
    # starts over when its last client leaves (the readiness probe below), and a client that
    # connects meanwhile is shut out.
    Xvfb -displayfd 3 -noreset -screen 0 "${1}x24" -nolisten tcp 3>"$WORK/display" \
        >"$WORK/xvfb.log" 2>&1 &
    xvfb=$!
    pids+=("$xvfb")
    wait_for 40 test -s "$WORK/display"
    DISPLAY=":$(cat "$WORK/display")"
    export DISPLAY
    wait_for 40 xwininfo -root >/dev/null 2>&1
}

x11_run() {
    local size=$1 rule=$2
    start_xvfb "$size"
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

# The running weston's socket in WORK: each run has its own, a socket left by the last weston
# may still be there.
WAYLAND_SOCKET=wayland-zov

# screenshot NAME: the whole Wayland output as WORK/NAME.png.
screenshot() {
    local dir="$WORK/shot-$1"
    mkdir -p "$dir"
    (cd "$dir" && WAYLAND_DISPLAY=$WAYLAND_SOCKET XDG_RUNTIME_DIR="$WORK" weston-screenshooter) &&
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

# The station window's plan and bench: two boards at once, each with a question.
cat >"$WORK/station.toml" <<'TOML'
name = "Station window"
[[step]]
type = "read_ad"
min = 100
[[step]]
type = "prompt"
text = "Press S1"
TOML
cat >"$WORK/bench.toml" <<'TOML'
[[board]]
port = "bay-1"
serial = "ZB-0042"
[[board]]
port = "bay-2"
serial = "ZB-0043"
ad = 20
TOML

# start_station PLAN PLATFORM...: the station window on the bench, its pid in $app.
start_station() {
    local plan=$1
    shift
    rm -rf "$WORK/records"
    env "$@" XDG_RUNTIME_DIR="$WORK" "$PROGRAM" check "$WORK/$plan" --station "$WORK/records" \
        --window --virtual-bench "$WORK/bench.toml" >"$WORK/app.log" 2>&1 &
    app=$!
    pids+=("$app")
}

x11_one_window() {
    [ "$(x11_frames | wc -l)" -eq 1 ]
}

# x11_station_fits: one window, wholly on the 1366x768 screen: nothing covers it, and it
# covers nothing of its own.
x11_station_fits() {
    wait_for $((SHOW_SECONDS * 4)) x11_one_window || { x11_frames; return 1; }
    x11_frames | tee "$WORK/frames"
    awk '{ if ($1 < 0 || $2 < 0 || $1 + $3 > 1366 || $2 + $4 > 768) { print "off the screen"; exit 1 } }' \
        "$WORK/frames"
}

asked() {
    grep -c "prompt " "$WORK/app.log" | grep -qx "$1"
}

# x11_station_keys: Enter answers each socket's question, in turn, as the operator would.
x11_station_keys() {
    local id
    id=$(xdotool search --onlyvisible --pid "$app" | head -1)
    xdotool windowfocus --sync "$id" || return 1
    for answered in 1 2; do
        sleep 1 # the question shown
        xdotool key Return
        wait_for 40 asked "$answered" || { cat "$WORK/app.log"; return 1; }
    done
}

verdicts_shown() {
    [ "$(grep -c -e 'PASS: board serial' -e 'FAIL: board serial' "$WORK/app.log")" -eq 2 ]
}

# station_shot NAME: the station window's whole screen, as NAME.png in $SHOTS.
station_shot() {
    wait_for 40 verdicts_shown || { cat "$WORK/app.log"; return 1; }
    sleep 1 # painted
    import -window root "$SHOTS/$1.png"
}

x11_station_run() {
    start_xvfb 1366x768
    start_station station.toml QT_QPA_PLATFORM=xcb
    check "x11 1366x768: the station window fits the screen alone" x11_station_fits
    check "x11 1366x768: key presses answer both sockets' questions" x11_station_keys
    check "x11 1366x768: both verdicts shown, saved" station_shot station-window
    check "x11 1366x768: SIGTERM ends the station" sigterm_ends_it 1
    kill "$xvfb"
    wait "$xvfb" 2>/dev/null
    unset DISPLAY
}

# both_read: both boards' first steps have ended, so their questions are coming.
both_read() {
    [ "$(grep -c " 1 read_ad " "$WORK/app.log")" -eq 2 ]
}

# wayland_station_keys: Enter answers each socket's question, in turn. The keys go to the X
# window of weston's X11 backend, which hands them to the focused Wayland client as a seat's
# keyboard: the station window is a Wayland client throughout.
wayland_station_keys() {
    local weston_window=""
    for _ in $(seq 40); do
        weston_window=$(xdotool search --class "Weston Compositor" 2>/dev/null | head -1)
        [ -n "$weston_window" ] && break
        sleep 0.25
    done
    [ -n "$weston_window" ] || { xwininfo -root -children; return 1; }
    xdotool windowfocus --sync "$weston_window" || return 1
    xdotool mousemove --window "$weston_window" 683 384 click 1 # focus the station window
    for answered in 1 2; do
        sleep 1 # the question shown
        xdotool key Return
        wait_for 40 asked "$answered" || { cat "$WORK/app.log"; return 1; }
    done
}

# The station window on Wayland with key presses: weston's X11 backend inside an Xvfb of
# 1366x768, so that the X server's injected keys reach weston's seat.
wayland_station_run() {
    start_xvfb 1366x768
    WAYLAND_SOCKET=wayland-station
    XDG_RUNTIME_DIR="$WORK" weston --backend=x11-backend.so --use-pixman --width=1366 --height=768 \
        --socket="$WAYLAND_SOCKET" --idle-time=0 >"$WORK/weston.log" 2>&1 &
    local weston=$!
    pids+=("$weston")
    if ! wait_for 40 test -S "$WORK/$WAYLAND_SOCKET"; then
        check "wayland: weston starts in the X server" weston_failed
        return
    fi
    start_station station.toml QT_QPA_PLATFORM=wayland WAYLAND_DISPLAY="$WAYLAND_SOCKET"
    wait_for $((SHOW_SECONDS * 4)) both_read
    check "wayland 1366x768: key presses answer both sockets' questions" wayland_station_keys
    check "wayland 1366x768: both verdicts shown, saved" station_shot station-window-wayland
    check "wayland 1366x768: SIGTERM ends the station" sigterm_ends_it 1
    kill "$weston" "$xvfb"
    wait "$weston" "$xvfb" 2>/dev/null
    unset DISPLAY
}

ensure_packages "${DESKTOP_CHECK_PACKAGES[@]}" >/dev/null
if [ ! -x "$PROGRAM" ]; then
    echo "desktop-check: $PROGRAM is not built"
    exit 1
fi
x11_run 1920x1080 all
x11_run 1366x768 main
wayland_run
x11_station_run
wayland_station_run
echo "desktop-check: $passed checks passed, $failed failed"
[ "$failed" -eq 0 ]
