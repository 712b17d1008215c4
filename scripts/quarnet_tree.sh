#!/usr/bin/env bash
# A Debian tree of another release, made once with debootstrap and kept in
# the cache outside the clone, for the stages that build or run there.
# Sourced, not executed.
#
# Nothing is ever mounted in a tree on the host's side: whatever runs there
# (debootstrap, which mounts /proc and /sys in its target, and every command
# through quarnet_tree_run) runs in a mount namespace of its own, made
# private, so the host never sees those mounts and the kernel takes them all
# away when the last process in it ends, however it ends, SIGKILL included.
# A cache can then be removed like any folder, never reaching into the
# host's /dev, /proc or /sys.

quarnet_cache=${QUARNET_CACHE:-/var/cache/quarnet}

# quarnet_mounts_under <dir>: prints what is mounted under it, as this
# process sees it (fails when nothing is).
quarnet_mounts_under() {
    local dir
    dir=$(realpath -m "$1")
    awk -v dir="$dir/" 'index($2 "/", dir) == 1 { print $2; found = 1 } END { exit !found }' /proc/self/mounts
}

# quarnet_remove_tree <dir>: rm -rf, refused while anything is mounted under it.
quarnet_remove_tree() {
    local mounted
    if mounted=$(quarnet_mounts_under "$1"); then
        echo "not removing $1: mounted under it: $(tr '\n' ' ' <<<"$mounted")" >&2
        return 1
    fi
    rm -rf "$1"
}

# quarnet_tree <codename>: prints the tree's path, making it first if needed.
quarnet_tree() {
    local codename=$1 root="$quarnet_cache/$1"
    if [ ! -x "$root/usr/bin/apt-get" ]; then
        if [ "$(id -u)" -ne 0 ]; then
            echo "a Debian $codename tree needs root to make (debootstrap, chroot)" >&2
            return 1
        fi
        mkdir -p "$quarnet_cache"
        quarnet_remove_tree "$root.partial" || return 1
        echo "Making a minimal Debian $codename tree in $root (debootstrap)" >&2
        unshare --mount --propagation private -- \
            debootstrap --variant=minbase "$codename" "$root.partial" >"$quarnet_cache/$codename.debootstrap.log" 2>&1 ||
            { echo "debootstrap $codename failed; see $quarnet_cache/$codename.debootstrap.log" >&2; return 1; }
        mv "$root.partial" "$root"
    fi
    echo "$root"
}

# quarnet_tree_run <root> <command...>: runs in the tree with a bare
# environment, as a new machine or a CI runner has it (no locale set), and
# the kernel file systems a build and its tests need (shared memory too: a
# Wayland compositor hands its clients their keymaps through it), bound in
# its own mount namespace for as long as the command runs.
quarnet_tree_run() {
    local root=$1; shift
    cp /etc/resolv.conf "$root/etc/resolv.conf"
    unshare --mount --propagation private -- /bin/bash -c '
        root=$1; shift
        for point in proc sys dev dev/pts dev/shm; do
            mount --bind "/$point" "$root/$point" || exit 1
        done
        exec chroot "$root" /usr/bin/env -i HOME=/root TERM=dumb PATH=/usr/sbin:/usr/bin:/sbin:/bin "$@"
    ' quarnet_tree_run "$root" "$@"
}
