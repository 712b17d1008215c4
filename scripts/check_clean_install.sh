#!/usr/bin/env bash
# Installs the built .deb into a fresh, minimal tree of the Debian release
# that built it (12 or 13) and starts it there: proof that the package names
# every run-time dependency. Needs root and the Debian mirror; takes several
# minutes, so ./test does not run it.
#   scripts/check_clean_install.sh [build dir] [scratch dir]
set -euo pipefail
build=${1:-build}
codename=$(. /etc/os-release && echo "$VERSION_CODENAME")
root=${2:-/tmp/quarnet-clean-$codename}
deb=$(ls "$build"/quarnet_*_"$(dpkg --print-architecture)".deb)
command -v debootstrap >/dev/null || apt-get install -y -qq debootstrap
if [ ! -x "$root/bin/bash" ]; then
    debootstrap --variant=minbase "$codename" "$root"
fi
cp /etc/resolv.conf "$root/etc/"
cp "$deb" "$root/tmp/quarnet.deb"
mount -t proc proc "$root/proc"
trap 'umount "$root/proc"' EXIT
chroot "$root" /bin/bash -c '
    set -e
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq /tmp/quarnet.deb >/dev/null
    rm -f /tmp/quarnet.trace
    # Start-up takes a few seconds; SIGTERM then ends it as "Chiudi" would.
    QT_QPA_PLATFORM=offscreen QUARNET_PORT_TRACE=/tmp/quarnet.trace timeout -s TERM 15 quarnet || true
    first=$(head -n1 /tmp/quarnet.trace | cut -d" " -f2-)
    last=$(tail -n1 /tmp/quarnet.trace | cut -d" " -f2-)
    [ "$first" = "0x378 64" ] && [ "$last" = "0x378 64" ]
'
echo "clean install: quarnet installed and ran on a fresh Debian $codename tree"
