#!/bin/bash
# The emulated-hardware rig: Debian 12's own kernel under QEMU (TCG), with the
# real parport_pc, ppdev, gpiolib, ftdi_sio, libusb, libftdi and libgpiod,
# driving emulated devices (QEMU's ISA parallel port, a gpio-sim chip, an
# FT232R/FT232H stand-in on dummy_hcd) with the real quarnet executable.
# See tests/hardware/README.md.
#
# usage: tests/hardware/run-rig.sh [--prepare] [LABEL:ROOT:EXECUTABLE ...]
#   each build: a label, the root it runs in (/ for this machine's) and the
#   executable's path inside that root. Without arguments: this clone's
#   build/quarnet (bookworm) and the Debian 13 tree's build (trixie).
#   --prepare: only install, download and build what the guest needs, not
#   the builds under test (./test does it while the first stages compile).
# Needs root and Debian's package mirror for the first run; downloads and
# built artefacts stay in ${QUARNET_CACHE:-/var/cache/quarnet}/rig.
# Ends with "N passed, N failed"; exit status 0 only when nothing failed.
set -u
export PATH=$PATH:/usr/sbin:/sbin
HW=$(cd "$(dirname "$0")" && pwd)
REPO=$(cd "$HW/../.." && pwd)
QUARNET_CACHE=${QUARNET_CACHE:-/var/cache/quarnet}
CACHE=$QUARNET_CACHE/rig
OUT=$CACHE/out
GUEST_TIMEOUT=${RIG_GUEST_TIMEOUT:-1800}

cannot() {
    echo "rig: cannot run: $*"
    echo "0 passed, 1 failed"
    exit 1
}

# The guest mounts a /tmp of its own (its display's sockets, the sessions'
# files) over the host's, so nothing it runs may lie there.
under_tmp() {
    case $1/ in /tmp/*) cannot "$1 is under /tmp, which the guest covers with its own: clone the project elsewhere" ;; esac
}
under_tmp "$REPO"

PREPARE_ONLY=
if [ "${1:-}" = --prepare ]; then
    PREPARE_ONLY=1
    shift
fi
if [ $# -eq 0 ]; then
    set -- "bookworm:/:$REPO/build/quarnet" \
           "trixie:$QUARNET_CACHE/trixie:/work/quarnet/build/quarnet"
fi
BUILDS=
for build in "$@"; do
    IFS=: read -r label root exe <<< "$build"
    [ -n "$label" ] && [ -n "$root" ] && [ -n "$exe" ] || cannot "a build is LABEL:ROOT:EXECUTABLE, not $build"
    under_tmp "${root%/}$exe"
    BUILDS="$BUILDS $label|$root|$exe"
done

[ "$(id -u)" -eq 0 ] || cannot "not root: it loads kernel modules in a guest built from Debian packages (run it as root)"
[ "$(dpkg --print-architecture 2>/dev/null)" = amd64 ] || cannot "this rig boots Debian's amd64 kernel and needs an amd64 Debian host"

mkdir -p "$CACHE/debs" || cannot "no cache folder $CACHE"
started=$(date +%s)
step() { echo "rig[$(( $(date +%s) - started ))s]: $*"; }

# ---- The kernel it boots: the version linux-image-amd64 stands for.
KIMAGE=$(apt-cache depends linux-image-amd64 2>/dev/null | sed -n 's/^ *Depends: \(linux-image-[0-9].*\)$/\1/p' | head -1)
if [ -z "$KIMAGE" ]; then
    apt-get update > "$CACHE/apt-update.log" 2>&1 ||
        cannot "no package mirror: apt-get update failed (see $CACHE/apt-update.log)"
    KIMAGE=$(apt-cache depends linux-image-amd64 | sed -n 's/^ *Depends: \(linux-image-[0-9].*\)$/\1/p' | head -1)
fi
[ -n "$KIMAGE" ] || cannot "the package lists name no kernel for linux-image-amd64"
KV=${KIMAGE#linux-image-}
KDEB=$(apt-cache show --no-all-versions "$KIMAGE" | sed -n 's/^Version: //p' | head -1)
step "kernel $KV ($KDEB)"

# ---- Packages from Debian, installed only when missing.
NEED="qemu-system-x86 linux-headers-$KV linux-kbuild-6.1 gcc make libc6-dev xvfb xdotool util-linux strace libftdi1-dev pkg-config"
MISSING=
for p in $NEED; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || MISSING="$MISSING $p"
done
if [ -n "$MISSING" ]; then
    step "installing$MISSING"
    { apt-get update && apt-get -o DPkg::Lock::Timeout=600 install -y --no-install-recommends $MISSING; } \
        > "$CACHE/apt-install.log" 2>&1 ||
        cannot "no package mirror, or the install failed:$MISSING (see $CACHE/apt-install.log)"
fi
# ---- Unpacked, not installed: the kernel image and busybox.
# fetch_deb PACKAGE [VERSION]: the newest .deb of it in the cache (of that
# version, if one is named), downloaded when there is none.
fetch_deb() {
    local deb version=${2:+_${2//:/%3a}_} wanted=$1${2:+=$2}
    deb=$(ls "$CACHE/debs/$1${version:-_}"*.deb 2>/dev/null | sort -V | tail -1)
    if [ -z "$deb" ]; then
        (cd "$CACHE/debs" && apt-get download "$wanted" > /dev/null 2>&1) || return 1
        deb=$(ls "$CACHE/debs/$1${version:-_}"*.deb | sort -V | tail -1)
    fi
    echo "$deb"
}
BUSYBOX=$CACHE/busybox/bin/busybox
if [ ! -x "$BUSYBOX" ]; then
    deb=$(fetch_deb busybox-static) || cannot "no package mirror: apt-get download busybox-static failed"
    rm -rf "$CACHE/busybox" && dpkg -x "$deb" "$CACHE/busybox" || cannot "could not unpack $deb"
fi

KROOT=$CACHE/kernel-$KV
if [ ! -f "$KROOT/boot/vmlinuz-$KV" ] || [ ! -f "$KROOT/lib/modules/$KV/modules.dep" ]; then
    step "unpacking $KIMAGE"
    deb=$(fetch_deb "$KIMAGE") || cannot "no package mirror: apt-get download $KIMAGE failed"
    rm -rf "$KROOT" && dpkg -x "$deb" "$KROOT" && "$BUSYBOX" depmod -b "$KROOT" "$KV" ||
        cannot "could not unpack $deb"
fi
# ---- gpio-sim, which Debian's kernel lacks, built from its own source
# against its own headers, with the IRQ simulator it needs linked in.
GS=$CACHE/gpiosim-$KV
if [ ! -f "$GS/gpio-sim.ko" ]; then
    step "building gpio-sim for $KV"
    rm -f "$GS"/*.o "$GS"/*.ko
    mkdir -p "$GS"
    if [ ! -f "$GS/kernel/irq/irq_sim.c" ]; then
        # The source at exactly the booted kernel's version, which the newest
        # linux-source-6.1 can run ahead of (a security update uploaded before
        # the image). It is unpacked here, never installed: this machine's own
        # linux-source-6.1, if any, is left at whatever version it has.
        deb=$(fetch_deb linux-source-6.1 "$KDEB") ||
            cannot "no package mirror: apt-get download linux-source-6.1=$KDEB failed"
        dpkg-deb --fsys-tarfile "$deb" | tar -xOf - ./usr/src/linux-source-6.1.tar.xz |
            tar -xJf - -C "$GS" --strip-components=1 \
                linux-source-6.1/drivers/gpio/gpio-sim.c linux-source-6.1/drivers/gpio/gpiolib.h \
                linux-source-6.1/kernel/irq/irq_sim.c || cannot "gpio-sim's source is not in $deb"
    fi
    cp "$GS/drivers/gpio/gpiolib.h" "$GS/"
    cp "$GS/drivers/gpio/gpio-sim.c" "$GS/gpio-sim-main.c"
    # irq_to_desc is not exported to modules; generic_handle_irq does the same.
    sed -e 's/handle_simple_irq(irq_to_desc(\([^)]*\)))/generic_handle_irq(\1)/' \
        "$GS/kernel/irq/irq_sim.c" > "$GS/irq_sim.c"
    grep -q 'generic_handle_irq(irqnum)' "$GS/irq_sim.c" || cannot "irq_sim.c has changed: its edit no longer applies"
    printf 'obj-m := gpio-sim.o\ngpio-sim-y := gpio-sim-main.o irq_sim.o\n' > "$GS/Kbuild"
    make -C "/usr/src/linux-headers-$KV" M="$GS" modules > "$GS/build.log" 2>&1 ||
        cannot "gpio-sim did not build (see $GS/build.log)"
fi

# ---- The rig's own programs for the guest.
TOOLS=$CACHE/tools
mkdir -p "$TOOLS"
for src in "$HW"/tools/*.c; do
    bin=$TOOLS/$(basename "$src" .c)
    if [ ! -x "$bin" ] || [ "$src" -nt "$bin" ]; then
        libs=
        grep -q '#include <ftdi.h>' "$src" && libs=$(pkg-config --cflags --libs libftdi1)
        gcc -O2 -Wall -Wextra -pthread -o "$bin" "$src" $libs || cannot "$src did not build"
    fi
done

# ---- The initramfs: busybox, the init and the 9p modules.
INITRD=$CACHE/initrd-$KV.cpio.gz
if [ ! -f "$INITRD" ] || [ "$HW/guest/init" -nt "$INITRD" ]; then
    IR=$CACHE/initramfs
    rm -rf "$IR" && mkdir -p "$IR"/{bin,mods,proc,sys,dev,host}
    cp "$BUSYBOX" "$IR/bin/busybox"
    cp "$HW/guest/init" "$IR/init" && chmod +x "$IR/init"
    for m in virtio_ring virtio virtio_pci_modern_dev virtio_pci_legacy_dev virtio_pci netfs fscache \
             9pnet 9pnet_virtio 9p; do
        f=$(find "$KROOT/lib/modules/$KV" -name "$m.ko" | head -1)
        [ -n "$f" ] && cp "$f" "$IR/mods/"
    done
    (cd "$IR" && find . | "$BUSYBOX" cpio -o -H newc 2>/dev/null | gzip -1 > "$INITRD") ||
        cannot "the initramfs could not be built"
fi
step "cached artefacts ready"
[ -n "$PREPARE_ONLY" ] && exit 0

# ---- The guest.
rm -rf "$OUT" && mkdir -p "$OUT"
{
    echo "TOOLS=$TOOLS"
    echo "GPIOSIM=$GS/gpio-sim.ko"
    echo "BUILDS=\"$BUILDS\""
    echo "ONLY=\"${RIG_ONLY:-ppdev direct gpio ftdi}\""
} > "$OUT/plan"
step "booting the guest (TCG; the report follows when it powers off)"
timeout "$GUEST_TIMEOUT" qemu-system-x86_64 \
    -M pc -accel tcg -cpu max -m 1536 -smp "${RIG_SMP:-2}" \
    -nodefaults -no-reboot -display none \
    -kernel "$KROOT/boot/vmlinuz-$KV" -initrd "$INITRD" \
    -append "console=ttyS0 panic=-1 loglevel=4 rig.out=$OUT rig.script=${RIG_GUEST_SCRIPT:-$HW/guest/guest.sh} rig.modules=$KROOT/lib/modules" \
    -chardev file,id=con,path="$OUT/console.log" -serial chardev:con \
    -virtfs local,path=/,mount_tag=hostroot,security_model=none,readonly=on,multidevs=remap,id=hostroot \
    -virtfs local,path="$OUT",mount_tag=out,security_model=none,id=out \
    -chardev file,id=lpt,path="$OUT/lpt.bin" -device isa-parallel,chardev=lpt,iobase=0x378,irq=7 \
    -trace parallel_ioport_write -D "$OUT/qemu-trace.log" \
    < /dev/null > "$OUT/qemu.log" 2>&1
qemu_status=$?
step "guest ended (status $qemu_status)"

"$HW/check.sh" "$OUT" "$qemu_status" | tee "$OUT/report.txt"
tail -1 "$OUT/report.txt" | grep -q ' 0 failed$'
