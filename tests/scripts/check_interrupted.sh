#!/usr/bin/env bash
# Runs a copy of ./test and its scripts against a private cache holding a
# skeleton Debian 13 tree, with stand-ins for the commands that would build
# or run anything (cmake, chroot, rsync, dpkg-query): the release stage
# then waits in its build and the background preparation waits in the tree,
# its file systems bound, until they are stopped. Then:
#   - SIGTERM to ./test alone (a CI runner cancelling it),
#   - SIGINT to its whole process group (Ctrl-C at a terminal),
#   - the tree stage failing, and passing, without being stopped;
# after each, nothing ./test started may still run, nothing may be mounted
# in the cache, and its exit status must say what happened.
set -uo pipefail
source_root=$(cd "$(dirname "$0")/../.." && pwd)

[ "$(id -u)" -eq 0 ] || { echo "skipped: the tree's file systems are bound as root"; exit 77; }
# Inside a chroot (the Debian 13 stage runs the suite in one) the host's
# own run of this test has already covered it. A chroot is known by having
# no mount at its /: the kernel lists only mounts below a process's root.
if ! awk '$5 == "/" { found = 1 } END { exit !found }' /proc/self/mountinfo; then
    echo "skipped: this runs in a chroot"
    exit 77
fi

scratch=$(mktemp -d)
sessions=()
failures=0

# session_members <session>: the processes of the session still running.
session_members() {
    local session=$1 stat fields pid
    for stat in /proc/[0-9]*/stat; do
        read -r fields 2>/dev/null <"$stat" || continue
        pid=${stat#/proc/}
        pid=${pid%/stat}
        fields=${fields##*) }
        # shellcheck disable=SC2086
        set -- $fields # state, parent, group, session
        [ "$4" = "$session" ] && [ "$1" != Z ] && echo "$pid $(tr '\0' ' ' <"/proc/$pid/cmdline" 2>/dev/null)"
    done
    return 0
}
# running <pid>: neither gone nor a zombie waiting to be reaped.
running() {
    local fields
    read -r fields 2>/dev/null <"/proc/$1/stat" || return 1
    fields=${fields##*) }
    [ "${fields%% *}" != Z ]
}
mounted_in_cache() { awk -v dir="$scratch/" 'index($2, dir) == 1 { print $2 }' /proc/self/mounts; }

tidy() {
    local session pid rest
    for session in "${sessions[@]}"; do
        while read -r pid rest; do kill -KILL "$pid" 2>/dev/null; done < <(session_members "$session")
    done
    if [ -n "$(mounted_in_cache)" ]; then
        echo "left $scratch in place: still mounted in it: $(mounted_in_cache | tr '\n' ' ')"
    else
        rm -rf "$scratch"
    fi
}
trap tidy EXIT

fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

# The copy of the clone's scripts that runs.
clone=$scratch/clone
mkdir -p "$clone/tests/hardware"
cp -a "$source_root/test" "$source_root/scripts" "$clone/"
cp -a "$source_root/tests/hardware/run-rig.sh" "$clone/tests/hardware/"

# The tree: what quarnet_tree takes for a made tree, and the mount points.
cache=$scratch/cache
tree=$cache/trixie
mkdir -p "$tree"/{usr/bin,etc,proc,sys,dev,work}
printf '#!/bin/sh\n' >"$tree/usr/bin/apt-get"
chmod +x "$tree/usr/bin/apt-get"
echo 13.0 >"$tree/etc/debian_version"

# The stand-ins. The one for chroot writes down what it finds mounted in
# the tree, then waits, fails or passes as asked.
stubs=$scratch/bin
mkdir -p "$stubs"
cat >"$stubs/dpkg-query" <<'STUB'
#!/bin/sh
echo 'install ok installed'
STUB
printf '#!/bin/sh\nexit 0\n' >"$stubs/rsync"
cat >"$stubs/cmake" <<'STUB'
#!/bin/sh
touch "$STAND_IN/building"
exec sleep infinity
STUB
cat >"$stubs/chroot" <<'STUB'
#!/bin/sh
awk -v dir="$1/" 'index($2, dir) == 1 { print substr($2, length(dir) + 1) }' /proc/self/mounts >"$STAND_IN/mounted"
touch "$STAND_IN/in-tree"
case $CHROOT_DOES in
    wait) exec sleep infinity ;;
    fail) exit 1 ;;
esac
exit 0
STUB
chmod +x "$stubs"/*

# run <what chroot does> <stage...>: starts ./test in a session of its own;
# its pid, which is also its session and group, is in $started. SIGINT as
# a terminal's foreground job has it: a shell starts what it puts in the
# background with SIGINT ignored.
run() {
    local does=$1; shift
    rm -f "$scratch"/stand-in/*
    mkdir -p "$scratch/stand-in"
    PATH=$stubs:$PATH QUARNET_CACHE=$cache STAND_IN=$scratch/stand-in CHROOT_DOES=$does \
        setsid env --default-signal=INT "$clone/test" "$@" >"$scratch/test.log" 2>&1 &
    started=$!
    sessions+=("$started")
}

# waits_for <file...>: until the stand-ins have made them, or ./test ended,
# or five minutes went by (a loaded machine takes a minute; a lost stage would
# otherwise hold the test until ctest kills it, saying nothing).
waits_for() {
    local file tenths=0
    for file in "$@"; do
        while [ ! -e "$scratch/stand-in/$file" ]; do
            running "$started" || { fail "./test ended before the stand-ins made $*"; return 1; }
            if ((++tenths > 3000)); then
                fail "./test ran five minutes without the stand-ins making $file; it printed: $(cat "$scratch/test.log")"
                kill -KILL -- "-$started" 2>/dev/null
                return 1
            fi
            sleep 0.1
        done
    done
}

# ended <how> <expected status>: ./test's status, what it left. A ./test
# that never ends is a failure, not a hang: it is given a minute, several
# times what stopping its jobs may take (ten seconds, then SIGKILL).
ended() {
    local how=$1 expected=$2 status left tenths=0 before=$failures
    while running "$started"; do
        if ((++tenths > 600)); then
            fail "$how: ./test still running a minute on"
            kill -KILL -- "-$started" 2>/dev/null
            break
        fi
        sleep 0.1
    done
    wait "$started"
    status=$?
    [ "$status" -eq "$expected" ] || fail "$how: ./test exited $status, not $expected"
    left=$(session_members "$started")
    [ -z "$left" ] || fail "$how: still running after ./test: $left"
    left=$(mounted_in_cache)
    [ -z "$left" ] || fail "$how: still mounted after ./test: $left"
    if [ "$failures" -gt "$before" ]; then
        echo "--- ./test printed:"
        cat "$scratch/test.log"
    fi
}

# The tree's file systems were bound while it ran.
bound() {
    local how=$1 point
    for point in proc sys dev dev/pts dev/shm; do
        grep -qx "$point" "$scratch/stand-in/mounted" || fail "$how: /$point was not bound in the tree"
    done
}

for signal in TERM INT; do
    run wait release debian13
    if waits_for building in-tree; then
        bound "SIG$signal"
        if [ $signal = TERM ]; then
            kill -TERM "$started"
            ended "SIGTERM to ./test" 143
        else
            kill -INT -- "-$started"
            ended "SIGINT to ./test's group" 130
        fi
    fi
done

run fail debian13
ended "a failing tree stage" 1
[ -e "$scratch/stand-in/in-tree" ] || fail "the failing tree stage never reached the tree"

run pass debian13
ended "a passing tree stage" 0
bound "a passing tree stage"

[ "$failures" -eq 0 ] && echo "./test stopped, failing and passing left nothing running and nothing mounted"
[ "$failures" -eq 0 ]
