#!/usr/bin/env bash
# Boots the installed Debian kernel in QEMU (TCG, no KVM needed) and runs the console against
# the uhid board stand-in there. The guest sees the host's root file system read-only, so it
# runs the programs of BUILD_DIR as built; results come back through BUILD_DIR/kernel-stage/.
#
#   scripts/kernel-stage.sh [BUILD_DIR]     (default: build)
#
# Prints the guest's console and the checks' lines; exits non-zero when a check failed or the
# guest did not finish within KERNEL_STAGE_SECONDS (240 by default). KERNEL_STAGE_CHECKS runs
# only the checks it names, as root, under a udev daemon when KERNEL_STAGE_UDEV=1, e.g.
#   KERNEL_STAGE_CHECKS='--gtest_filter=RealKernel.Unplug* --gtest_repeat=10' scripts/kernel-stage.sh
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=$(cd "${1:-$ROOT/build}" && pwd)
LIMIT=${KERNEL_STAGE_SECONDS:-240}
WORK=$BUILD/kernel-stage

# The newest installed kernel that has its modules (not necessarily the running one).
kernel_version() {
    local image version
    for image in $(ls -v /boot/vmlinuz-* 2>/dev/null | tac); do
        version=${image#/boot/vmlinuz-}
        [ -d "/lib/modules/$version" ] && { echo "$version"; return 0; }
    done
    echo "kernel-stage: no /boot/vmlinuz-* with modules in /lib/modules (install linux-image-amd64)" >&2
    return 1
}

# modules_in_order VERSION MODULE...: the modules' files, each after the ones it depends on.
modules_in_order() {
    local version=$1 module file
    shift
    for module in "$@"; do
        modules_in_order "$version" $(modinfo -k "$version" -F depends "$module" | tr ',' ' ')
        file=$(modinfo -k "$version" -F filename "$module")
        [ "$file" = "(builtin)" ] || echo "$file"
    done
}

# build_initramfs VERSION IMAGE: busybox, tests/kernel/init.sh as /init, and the modules the
# guest loads (uncompressed, with their load order in /modules/order).
build_initramfs() {
    local version=$1 image=$2 tree file name
    tree=$(mktemp -d)
    mkdir -p "$tree"/{bin,dev,proc,sys,root,modules}
    cp "$(command -v busybox)" "$tree/bin/busybox"
    cp "$ROOT/tests/kernel/init.sh" "$tree/init"
    chmod 755 "$tree/init"
    for file in $(modules_in_order "$version" virtio_pci 9pnet_virtio 9p uhid hid-generic |
        awk '!seen[$0]++'); do
        name=$(basename "$file")
        name=${name%.xz}
        name=${name%.zst}
        case "$file" in
        *.xz) xz -dc "$file" >"$tree/modules/$name" ;;
        *.zst) zstd -qdc "$file" >"$tree/modules/$name" ;;
        *) cp "$file" "$tree/modules/$name" ;;
        esac
        echo "$name" >>"$tree/modules/order"
    done
    (cd "$tree" && find . | busybox cpio -o -H newc -R 0:0 2>/dev/null | gzip -1) >"$image"
    rm -rf "$tree"
}

version=$(kernel_version)
rm -rf "$WORK"
mkdir -p "$WORK/results"
build_initramfs "$version" "$WORK/initramfs.gz"
printf '%s\n' "$ROOT" "$BUILD" >"$WORK/results/paths"
cat >"$WORK/results/guest-job.sh" <<JOB
export ZOV_BUILD_DIR='$BUILD' ZOV_RESULTS=/tmp/results
export ZOV_ONLY_CHECKS='${KERNEL_STAGE_CHECKS:-}' ZOV_UDEV='${KERNEL_STAGE_UDEV:-}'
exec /bin/bash '$ROOT/tests/kernel/guest.sh'
JOB

echo "kernel-stage: booting Linux $version (TCG, 2 vCPUs, 1.5 GiB), limit $LIMIT s"
started=$SECONDS
status=0
timeout --foreground -k 5 "$LIMIT" qemu-system-x86_64 \
    -machine q35,accel=tcg -cpu max -smp 2 -m 1536 -nographic -no-reboot -nic none \
    -kernel "/boot/vmlinuz-$version" -initrd "$WORK/initramfs.gz" \
    -append "console=ttyS0 panic=-1 quiet loglevel=4" \
    -virtfs local,path=/,mount_tag=hostroot,security_model=none,readonly=on,multidevs=remap \
    -virtfs "local,path=$WORK/results,mount_tag=results,security_model=none" \
    </dev/null >"$WORK/console.log" 2>&1 || status=$?
guest_seconds=$((SECONDS - started))
results=$WORK/results
for log in "$results"/as-*.log "$results"/with-udev.log; do
    [ -f "$log" ] && { echo "---- $(basename "$log")"; cat "$log"; }
done
echo "---- guest console"
tr -d '\r' <"$WORK/console.log" | grep -v '^\s*$' | sed 's/\x1b\[[0-9;?]*[a-zA-Z]//g'
echo "---- figures (also in $results/figures.txt)"
echo "guest ran $guest_seconds s from QEMU's start to power-off" | tee -a "$results/figures.txt"
grep -o 'guest: ready after [0-9.]* s' "$WORK/console.log" | sed 's/guest: //;s/^/boot to the guest script: /' |
    tee -a "$results/figures.txt"
grep -v '^guest ran\|^boot to' "$results/figures.txt" || true

if [ "$status" -eq 124 ] || [ "$status" -eq 137 ]; then
    echo "kernel-stage: FAILED: the guest did not power off within $LIMIT s"
    exit 1
fi
if [ ! -f "$results/counts" ]; then
    echo "kernel-stage: FAILED: the guest left no results (QEMU status $status)"
    exit 1
fi
read -r passed failed <"$results/counts"
echo "kernel-stage: $passed checks passed, $failed failed, in $SECONDS s"
[ "$failed" -eq 0 ] && [ "$passed" -gt 0 ]
