#!/usr/bin/env bash
# The arm64 stage of ./test: the product and its tests cross-built for arm64
# (a Raspberry Pi) with Debian's cross compiler against Debian 12's arm64 Qt
# and libraries, installed beside this machine's own (multiarch), then the
# test suite run under qemu-user. The cross-build must succeed in any case;
# where no qemu-user or binfmt_misc can be had, the stage says exactly why
# the tests did not run, and passes on the cross-build alone. With --prepare
# it only installs and downloads what it needs, which ./test does in the
# background while the first stages compile.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/setup.sh
source scripts/quarnet_tree.sh
quarnet_install_packages stages

if [ "$(dpkg --print-architecture)" = arm64 ]; then
    echo "arm64: this machine is arm64 itself; the release stage covers it"
    exit 0
fi
if [ "$(id -u)" -ne 0 ]; then
    echo "arm64: adding the arm64 architecture and its packages needs root" >&2
    exit 1
fi
cache=$quarnet_cache/arm64
mkdir -p "$cache"

if ! dpkg --print-foreign-architectures | grep -qx arm64; then
    dpkg --add-architecture arm64
    apt-get -o DPkg::Lock::Timeout=600 update -qq
fi
quarnet_apt_install g++-aarch64-linux-gnu qt6-base-dev:arm64 qt6-qpa-plugins:arm64 libgpiod-dev:arm64 \
    libftdi1-2:arm64 libusb-1.0-0-dev:arm64 libgl-dev:arm64 libx11-dev:arm64 qt6-wayland:arm64

# libftdi1-dev is not co-installable with its amd64 twin (no Multi-Arch
# field): its headers and pkg-config file are unpacked aside, pointed at the
# arm64 library that libftdi1-2:arm64 installed.
ftdi=$cache/libftdi1-dev
if [ ! -f "$ftdi/usr/lib/aarch64-linux-gnu/pkgconfig/libftdi1.pc" ]; then
    rm -rf "$ftdi" "$cache/debs"
    mkdir -p "$ftdi" "$cache/debs"
    chown _apt "$cache/debs" 2>/dev/null || true
    (cd "$cache/debs" && apt-get download -qq libftdi1-dev:arm64)
    dpkg -x "$cache"/debs/libftdi1-dev_*_arm64.deb "$ftdi"
    sed -i "s|^libdir=.*|libdir=$ftdi/usr/lib/aarch64-linux-gnu|; s|^includedir=.*|includedir=$ftdi/usr/include/libftdi1|" \
        "$ftdi/usr/lib/aarch64-linux-gnu/pkgconfig/libftdi1.pc"
    ln -sf /usr/lib/aarch64-linux-gnu/libftdi1.so.2 "$ftdi/usr/lib/aarch64-linux-gnu/libftdi1.so"
fi

# Debian 12's qemu-user (7.2) cannot start a child process ("fork failure:
# Invalid argument") and answers the parallel port's ioctl with ENOSYS;
# Debian 13's (a static build) runs here. It comes from the Debian 13 tree.
qemu=$cache/qemu/usr/bin/qemu-aarch64
no_qemu= # why it could not be had; the cross-build is still made and must pass
if [ ! -x "$qemu" ]; then
    if ! root=$(quarnet_tree trixie); then
        no_qemu="no Debian 13 tree to take its qemu-user from"
    else
        rm -rf "$cache/qemu" "$root/tmp/qemu-debs"
        mkdir -p "$root/tmp/qemu-debs"
        if quarnet_tree_run "$root" /bin/bash -c 'apt-get update -qq && cd /tmp/qemu-debs && apt-get download -qq qemu-user'; then
            dpkg -x "$root"/tmp/qemu-debs/qemu-user_*.deb "$cache/qemu"
        else
            no_qemu="Debian 13's qemu-user could not be downloaded"
        fi
    fi
fi
[ -n "$no_qemu" ] || "$qemu" --version | head -n1

[ "${1:-}" = --prepare ] && exit 0

echo "== arm64: cross-build"
cmake -S . -B build-arm64 -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/aarch64-linux-gnu.cmake" \
    -DQUARNET_EXTRA_PKGCONFIG="$ftdi/usr/lib/aarch64-linux-gnu/pkgconfig" -DQUARNET_DEB_ARCHITECTURE=arm64 >/dev/null
cmake --build build-arm64 --parallel "$(nproc)"
file build-arm64/quarnet

# untested <why>: the one way this stage ends without its tests.
untested() {
    echo "arm64: the cross-build passed; THE TESTS DID NOT RUN: $*" >&2
    exit 0
}
[ -z "$no_qemu" ] || untested "$no_qemu"

# The tests start the arm64 executable as a child process, so the kernel
# must hand arm64 programs to qemu itself: a binfmt_misc entry of our own,
# registered for this run and taken away after it. F: the kernel opens the
# interpreter now, so it also serves programs in other roots.
# binfmt_misc itself, when this stage had to mount it, is unmounted after.
binfmt=/proc/sys/fs/binfmt_misc
entry=$binfmt/quarnet-aarch64
mounted_binfmt=
take_binfmt_away() {
    [ ! -e "$entry" ] || echo -1 >"$entry" || true
    [ -z "$mounted_binfmt" ] || umount "$binfmt" || umount -l "$binfmt" || true
}
trap take_binfmt_away EXIT
if [ ! -e "$binfmt/register" ]; then
    mount -t binfmt_misc binfmt_misc "$binfmt" 2>/dev/null ||
        untested "binfmt_misc cannot be mounted here, so the tests could not start the arm64 executable"
    mounted_binfmt=1
fi
[ -e "$entry" ] && echo -1 >"$entry"
magic='\x7fELF\x02\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\xb7\x00'
mask='\xff\xff\xff\xff\xff\xff\xff\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'
if ! echo ":quarnet-aarch64:M::$magic:$mask:$qemu:F" >"$binfmt/register"; then
    untested "binfmt_misc refused an aarch64 entry for $qemu"
fi
if ! build-arm64/quarnet --version; then
    echo "arm64: the arm64 executable does not run under $qemu" >&2
    exit 1
fi

echo "== arm64: test suite under qemu-user"
QT_QPA_PLATFORM=offscreen ctest --test-dir build-arm64 --output-on-failure --parallel "$(nproc)"
