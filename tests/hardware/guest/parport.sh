# Sourced by guest.sh: the parallel port, through ppdev and then by direct
# I/O once ppdev and parport_pc are gone.

# ===== ppdev
if want ppdev; then
say "=== parallel port: parport_pc + ppdev"
modprobe parport_pc && modprobe ppdev || say "parport_pc/ppdev did not load"
say "parport0 base-addr $(cat /proc/sys/dev/parport/parport0/base-addr 2>&1), node $(ls -l /dev/parport0 2>&1)"
ppdev_sessions() {
    session pp-steps-$1 $1 $2 $3 lpt ppdev steps "" ""
    session pp-sigterm-$1 $1 $2 $3 lpt ppdev sigterm "" ""
    session pp-sigkill-$1 $1 $2 $3 lpt ppdev sigkill "" ""
}
ppdev_refusals() {
    queue pp-claimed-$1 $1 $2 $3 lpt ppdev idle "" "another program"
    queue pp-denied-$1 $1 $2 $3 lpt ppdev idle nobody "permission denied"
}
each_build ppdev_sessions
chroot /host $TOOLS/ppclaim /dev/parport0 > $O/ppclaim.out 2>&1 &
CLAIMER=$!
sleep 0.5
batch_begin lpt
each_build ppdev_refusals
batch_end
kill -TERM $CLAIMER; wait $CLAIMER
fi

# ===== direct I/O
if want direct; then
say "=== direct I/O: ppdev unloaded, then parport_pc"
for i in $(seq 25); do rmmod ppdev 2>/dev/null && break; sleep 0.2; done
if grep -q '^ppdev ' /proc/modules; then
    say "ppdev did not unload: $(ls -l /proc/[0-9]*/fd 2>/dev/null | grep parport)"
    echo "direct-setup all none none - ppdev could not be unloaded before the direct runs|" >> $SESSIONS
fi
# parport_pc still drives the port and holds its range (/proc/ioports):
# forced direct I/O must refuse it and write nothing.
modprobe parport_pc || say "parport_pc did not load"
say "ioports: $(grep -i parport /proc/ioports | tr -s ' ' | tr '\n' ';')"
direct_refusals() {
    queue direct-held-$1 $1 $2 $3 lpt direct idle "" "holds the port's range"
}
batch_begin lpt
each_build direct_refusals
batch_end
for module in lp parport_pc; do
    grep -q "^$module " /proc/modules || continue
    for i in $(seq 25); do rmmod $module 2>/dev/null && break; sleep 0.2; done
done
if grep -q '^parport_pc ' /proc/modules; then
    echo "direct-setup all none none - parport_pc could not be unloaded before the direct runs|" >> $SESSIONS
fi
direct_sessions() {
    session direct-steps-$1 $1 $2 $3 lpt direct steps "" ""
    session direct-sigterm-$1 $1 $2 $3 lpt direct sigterm "" ""
    session direct-sigkill-$1 $1 $2 $3 lpt direct sigkill "" ""
}
each_build direct_sessions
MARK=$((MARK + 1)); ch $TOOLS/portmark 0x378 $MARK; echo "end $MARK" >> $O/marks
fi
