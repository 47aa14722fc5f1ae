#!/bin/busybox sh
# The guest's first process, from the initramfs that scripts/kernel-stage.sh builds: loads the
# modules, mounts the host's root file system read-only over 9p with fresh /dev, /proc, /sys,
# /tmp and /run, runs the scenario in it and powers the machine off.
/bin/busybox --install -s /bin
export PATH=/bin
mount -t proc proc /proc
mount -t sysfs sys /sys
mount -t devtmpfs dev /dev

while read -r module; do
    insmod "/modules/$module" || echo "guest: cannot load $module"
done </modules/order

mount -t 9p -o trans=virtio,version=9p2000.L,ro,cache=loose,msize=512000 hostroot /root
mkdir -p /host /results
mount --bind /root /host # the host's tree as it is, whatever is mounted over /root's folders
mount -t 9p -o trans=virtio,version=9p2000.L,msize=512000 results /results
mount -t devtmpfs dev /root/dev
mount -t proc proc /root/proc
mount -t sysfs sys /root/sys
mount -t tmpfs -o mode=1777 tmp /root/tmp
mount -t tmpfs -o mode=0755 run /root/run
mkdir /root/tmp/results
mount --bind /results /root/tmp/results
# The source and build trees may lie under /tmp or /run on the host: show them there again.
while read -r path; do
    case "$path" in
    /tmp/* | /run/*)
        mkdir -p "/root$path"
        mount --bind "/host$path" "/root$path"
        ;;
    esac
done </results/paths

echo "guest: ready after $(cut -d' ' -f1 /proc/uptime) s"
chroot /root /bin/bash /tmp/results/guest-job.sh
echo "guest: scenario ended with status $? after $(cut -d' ' -f1 /proc/uptime) s"
sync
poweroff -f
