#!/usr/bin/env bash
# A Debian tree of another release, made once with debootstrap and kept in
# the cache outside the clone, for the stages that build or run there.
# Sourced, not executed.

quarnet_cache=${QUARNET_CACHE:-/var/cache/quarnet}

# quarnet_tree <codename>: prints the tree's path, making it first if needed.
quarnet_tree() {
    local codename=$1 root="$quarnet_cache/$1"
    if [ ! -x "$root/usr/bin/apt-get" ]; then
        if [ "$(id -u)" -ne 0 ]; then
            echo "a Debian $codename tree needs root to make (debootstrap, chroot)" >&2
            return 1
        fi
        mkdir -p "$quarnet_cache"
        rm -rf "$root.partial"
        echo "Making a minimal Debian $codename tree in $root (debootstrap)" >&2
        debootstrap --variant=minbase "$codename" "$root.partial" >"$quarnet_cache/$codename.debootstrap.log" 2>&1 ||
            { echo "debootstrap $codename failed; see $quarnet_cache/$codename.debootstrap.log" >&2; return 1; }
        mv "$root.partial" "$root"
    fi
    echo "$root"
}

# quarnet_tree_mount <root>: the kernel file systems a build and its tests
# need inside (shared memory too: a Wayland compositor hands its clients
# their keymaps through it). Only what is not mounted yet is mounted, and
# those are left for the next stage to use; nothing else is touched.
quarnet_tree_mount() {
    local root=$1 point
    for point in proc sys dev dev/pts dev/shm; do
        mountpoint -q "$root/$point" || mount --bind "/$point" "$root/$point" || return 1
    done
    cp /etc/resolv.conf "$root/etc/resolv.conf"
}

# quarnet_tree_run <root> <command...>: runs in the tree with a bare
# environment, as a new machine or a CI runner has it (no locale set).
quarnet_tree_run() {
    local root=$1; shift
    chroot "$root" /usr/bin/env -i HOME=/root TERM=dumb PATH=/usr/sbin:/usr/bin:/sbin:/bin "$@"
}
