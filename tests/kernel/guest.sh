#!/bin/bash
# The real-kernel scenario, run as root in the guest of scripts/kernel-stage.sh, inside the
# host's root file system (read-only) with fresh /dev, /proc, /sys, /tmp and /run. Starts the
# uhid board stand-in, runs the console's checks against it (as root, then the permission
# check as an unprivileged user, both finding boards by rescanning; then the hotplug checks
# again with a udev daemon running, so that the console takes udev's events) and leaves the
# logs and the counts in $ZOV_RESULTS.
set -u
build=$ZOV_BUILD_DIR
results=$ZOV_RESULTS
tests=$build/tests/kernel/guest_console_test
export QT_QPA_PLATFORM=offscreen
export ZOV_BOARD_CONTROL=/tmp/board.control ZOV_BOARD_LOG=/tmp/board.log
export ZOV_PROGRAM=$build/zov-usb-test

echo "guest: $(uname -r), $(nproc) CPUs; starting the board stand-in"
# It stands for the board and the kernel's USB side, which do not wait for the scheduler:
# a real-time priority keeps it from being starved by the console it serves.
chrt --fifo 10 "$build/tests/kernel/uhid_board" --control "$ZOV_BOARD_CONTROL" \
    --log "$ZOV_BOARD_LOG" &
board=$!
for _ in $(seq 100); do
    grep -qs ready "$ZOV_BOARD_LOG" && break
    sleep 0.1
done

passed=0
failed=0
# run_checks NAME [setpriv options...] -- gtest options...: one run of the checks, counted.
run_checks() {
    local name=$1 log=$results/$1.log as=() status ok bad
    shift
    while [ "$1" != -- ]; do as+=("$1"); shift; done
    shift
    echo "guest: checks '$name' start at $(cut -d' ' -f1 /proc/uptime) s"
    if [ ${#as[@]} -gt 0 ]; then
        # The build tree may lie where only root may look (a clone in a private folder): the
        # checks run from a copy. They link only the system's shared libraries.
        install -m 0755 "$tests" /tmp/guest_console_test
        setpriv "${as[@]}" env HOME=/tmp XDG_RUNTIME_DIR= /tmp/guest_console_test "$@" >"$log" 2>&1
    else
        "$tests" "$@" >"$log" 2>&1
    fi
    status=$?
    mkdir -p "$results/$name-traces"
    mv /tmp/*trace*.txt "$results/$name-traces/" 2>/dev/null
    ok=$(grep -c '^\[       OK \]' "$log")
    bad=$(grep -cE '^\[  FAILED  \] .*\([0-9]+ ms\)$' "$log")
    # A crash leaves no FAILED line: count the run as one failed check.
    [ "$status" -ne 0 ] && [ "$bad" -eq 0 ] && bad=1
    passed=$((passed + ok))
    failed=$((failed + bad))
    echo "guest: checks '$name': $ok passed, $bad failed (status $status)"
}

# every_check: the checks as root, the unprivileged ones as nobody, both finding boards by
# rescanning; then the hotplug checks again under a udev daemon.
every_check() {
    run_checks as-root -- --gtest_filter='-Unprivileged.*'
    run_checks as-nobody --reuid=nobody --regid=nogroup --clear-groups -- \
        --gtest_filter='Unprivileged.*'

    start_udev || return
    ZOV_UDEV=1 run_checks with-udev -- \
        --gtest_filter='RealKernel.StartUp*:RealKernel.Unplug*:RealKernel.Fast*'
    udevadm control --exit
}

start_udev() {
    echo "guest: starting systemd-udevd"
    if ! /lib/systemd/systemd-udevd --daemon --resolve-names=never; then
        echo "guest: systemd-udevd did not start"
        failed=$((failed + 1))
        return 1
    fi
    udevadm trigger --action=add --subsystem-match=hid --subsystem-match=hidraw
    udevadm settle --timeout=20
}

if [ -n "${ZOV_ONLY_CHECKS:-}" ]; then
    if [ -n "${ZOV_UDEV:-}" ]; then start_udev || ZOV_UDEV=; fi
    # shellcheck disable=SC2086 # gtest options, split into words on purpose
    run_checks as-root -- $ZOV_ONLY_CHECKS
else
    every_check
fi

echo quit >"$ZOV_BOARD_CONTROL"
wait "$board"
cp "$ZOV_BOARD_LOG" "$results/board.log"
dmesg >"$results/dmesg.txt"
# What the kernel said about the HID devices besides making them (uhid's full output queue
# would drop reports it had accepted; short input reports are thrown away).
grep -iE 'hid|uhid' "$results/dmesg.txt" | grep -vE 'hidraw[0-9]+: USB HID|raw HID events driver' |
    sed 's/^/guest: kernel: /'

for log in "$results"/as-*.log "$results"/with-udev.log; do
    grep -h '^figure: ' "$log" | sed "s/^figure: /$(basename "$log" .log): /"
done >"$results/figures.txt"
echo "$passed $failed" >"$results/counts"
