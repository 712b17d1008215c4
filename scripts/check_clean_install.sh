#!/usr/bin/env bash
# Installs the built .deb into a fresh, minimal tree of the Debian release
# that built it (12 or 13) and starts it there: proof that the package names
# every run-time dependency. Needs root and the Debian mirror; takes several
# minutes, so ./test does not run it.
#   scripts/check_clean_install.sh [build dir] [scratch dir]
# Without a scratch dir the tree goes to a private folder of its own, made
# for this run and removed after it; a named one is kept for the next run.
set -euo pipefail
build=${1:-build}
codename=$(. /etc/os-release && echo "$VERSION_CODENAME")
deb=$(ls "$build"/quarnet_*_"$(dpkg --print-architecture)".deb)
if [ -n "${2:-}" ]; then
    root=$2
else
    root=$(mktemp -d)
    # The tree's / as a Debian system has it, for apt's unprivileged user.
    chmod 755 "$root"
    # Removed only when nothing is mounted under it any more, so a mount
    # that somehow outlived its namespace can never take the host's files.
    trap 'if grep -qF " $root/" /proc/mounts; then echo "clean install: $root still has mounts; left in place" >&2
          else rm -rf "$root"; fi' EXIT
fi
command -v debootstrap >/dev/null || apt-get install -y -qq debootstrap
if [ ! -x "$root/bin/bash" ]; then
    debootstrap --variant=minbase "$codename" "$root"
fi
cp /etc/resolv.conf "$root/etc/"
cp "$deb" "$root/tmp/quarnet.deb"
# /proc is mounted in a mount namespace of this command's own: it goes when
# the command ends, however it ends, and the host never sees it.
unshare --mount --propagation private -- /bin/bash -c 'mount -t proc proc "$1/proc" && exec chroot "$1" /bin/bash -c "$2"' \
    check-clean-install "$root" '
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
