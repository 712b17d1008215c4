# The rig's work inside the guest (busybox sh, outside the host's root):
# loads the real drivers, sets up the emulated devices, runs the real
# executable of every build on every route and records, per session, the
# program's trace, its standard error and exit status, and what the device
# saw. The host compares them once the guest is off (check.sh). What a
# session is lives in session.sh, each route's sessions in a file of its own
# (parport.sh, gpio.sh, ftdi.sh), all sourced from this script's folder.
#
# $OUT is the out share, at the same path as on the host; $OUT/plan (written
# by run-rig.sh) sets TOOLS, GPIOSIM and BUILDS.
. "/host$OUT/plan"
O=/host$OUT
R=/host/run/rig             # the guest's scratch, /run/rig for programs under chroot
mkdir -p $R
chmod 1777 $R
up() { cut -d' ' -f1 /proc/uptime; }
say() { echo "guest[$(up)]: $*"; }
# Runs a program of the host root. In the background, use chroot itself:
# $! of a backgrounded function is a subshell, not the program.
ch() { chroot /host "$@"; }
SESSIONS=$O/sessions
: > $SESSIONS
MARK=0

say "kernel $(uname -r), $(grep -c ^processor /proc/cpuinfo) cpu(s)"
modprobe configfs 2>/dev/null
mount -t configfs none /sys/kernel/config
mount -t tracefs nodev /sys/kernel/tracing

# One private display for every session; -ac lets the unprivileged runs in.
chroot /host Xvfb :7 -screen 0 640x480x24 -nolisten tcp -ac > $O/xvfb.log 2>&1 &
XVFB=$!
for i in $(seq 50); do [ -S /host/tmp/.X11-unix/X7 ] && break; sleep 0.2; done
[ -S /host/tmp/.X11-unix/X7 ] || say "Xvfb did not start"

WINDOW='^Quarnet V1\.3$'
xdo() { ch /usr/bin/env DISPLAY=:7 /usr/bin/timeout 60 /usr/bin/xdotool "$@" > /dev/null 2>&1; }
lines() { if [ -f "$1" ]; then wc -l < "$1"; else echo 0; fi; }
# Waits until FILE holds more than N lines; false after SECONDS.
wait_lines() {
    local file=$1 n=$2 limit=$(( $3 * 5 ))
    while [ "$(lines $file)" -le "$n" ]; do
        limit=$((limit - 1))
        [ $limit -le 0 ] && return 1
        sleep 0.2
    done
}

# The parts are read from the folder the kernel command line named this
# script in: the guest sees them where it saw this one, in the host's root
# under /host.
HERE=${0%/*}
. "$HERE/session.sh"

# want ROUTE: false, and said, for a route RIG_ONLY leaves out.
want() { case " $ONLY " in *" $1 "*) return 0 ;; esac; say "=== $1: left out (RIG_ONLY)"; return 1; }
. "$HERE/parport.sh"
. "$HERE/gpio.sh"
. "$HERE/ftdi.sh"

kill $XVFB
dmesg > $O/dmesg.txt
say "end"
