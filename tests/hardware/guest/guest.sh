# The rig's work inside the guest (busybox sh, outside the host's root):
# loads the real drivers, sets up the emulated devices, runs the real
# executable of every build on every route and records, per session, the
# program's trace, its standard error and exit status, and what the device
# saw. The host compares them once the guest is off (check.sh).
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

# A session: one run of the executable, started by launch, driven by drive
# and collected by finish; refusals that touch no device run side by side
# (batch). Per session, $R/NAME.* keep its pid and what finish reports.
#
# launch NAME LABEL ROOT EXE KIND PORT SCRIPT USER EXPECT
# SCRIPT: steps (a run in both modes, stopped, then "Chiudi"), sigterm (a
# run ended by SIGTERM), sigkill (a run ended by SIGKILL, which leaves the
# switch-off to the guardian), idle (load, then "Chiudi"), unplug (a run
# during which the device goes away, unplug_KIND, which stops the run and
# shows a second window saying why; then SIGTERM).
launch() {
    local name=$1 label=$2 root=$3 exe=$4 kind=$5 port=$6 script=$7 user=$8 expect=$9
    local prefix="" uid=0 tracer=""
    say "session $name: $label, --port $port, $script${user:+, as $user}"
    [ "$user" = nobody ] && { prefix="/usr/bin/setpriv --reuid=65534 --regid=65534 --clear-groups"; uid=65534; }
    # A refusal's system calls, where the build's root has strace: what the
    # real kernel answered, to hold the fakes to.
    if [ -n "$expect" ] && [ -x "/host$root/usr/bin/strace" ]; then
        tracer="/usr/bin/strace -f -qq --seccomp-bpf -e trace=openat,ioctl,ioperm,iopl -e signal=none -o /run/rig/$name.strace"
    fi
    mkdir -p $R/xdg-$uid/cache && chown $uid $R/xdg-$uid $R/xdg-$uid/cache && chmod 700 $R/xdg-$uid
    echo "$name $label $kind $script $port" > $R/$name.head
    echo "$expect" > $R/$name.expect
    echo ok > $R/$name.status
    chroot "/host$root" $tracer $prefix /usr/bin/env -i PATH=/usr/bin:/bin LC_ALL=C.UTF-8 HOME=/run/rig/xdg-$uid DISPLAY=:7 \
        QT_QPA_PLATFORM=xcb QT_ENABLE_HIGHDPI_SCALING=0 XDG_RUNTIME_DIR=/run/rig/xdg-$uid \
        XDG_CACHE_HOME=/run/rig/xdg-$uid/cache QUARNET_PORT_TRACE=/run/rig/$name.trace \
        "$exe" --port "$port" 2> $R/$name.err &
    echo $! > $R/$name.pid
}
children() { cat /proc/$1/task/*/children 2>/dev/null; }
# The main window's process: the tracer's child when there is one. The
# program's own child is its guardian, which has no window.
window_pid() {
    local pid=$(cat $R/$1.pid) child
    if [ "$(cat /proc/$pid/comm 2>/dev/null)" = strace ]; then
        child=$(children $pid | awk '{ print $1; exit }')
        [ -n "$child" ] && pid=$child
    fi
    echo $pid
}
# The session's guardian: the program's child named quarnet-guard.
guardian_of() {
    local child
    for child in $(children $(window_pid $1)); do
        [ "$(cat /proc/$child/comm 2>/dev/null)" = quarnet-guard ] && { echo $child; return; }
    done
}
# Ended: gone, or a zombie its adopter has not reaped yet (it has done all
# it does once it has exited).
ended() { [ ! -d /proc/$1 ] || [ "$(awk '{ print $3 }' /proc/$1/stat 2>/dev/null)" = Z ]; }
# wait_ended PID SECONDS: false when it still runs after them.
wait_ended() {
    local limit=$(( $2 * 5 ))
    until ended $1; do
        limit=$((limit - 1))
        [ $limit -le 0 ] && return 1
        sleep 0.2
    done
}
# click NAME CONTROL: on that session's main window.
click() {
    local pid=$(window_pid $1)
    case $2 in
    faster) set -- 34 62 ;;
    start) set -- 48 224 ;;
    stop) set -- 128 224 ;;
    chiudi) set -- 202 224 ;;
    half) set -- 160 60 ;;
    full) set -- 160 84 ;;
    esac
    # Refusals run side by side, their windows stacked where the display
    # put them (there is no window manager): the session's own goes on top
    # first. A batch's windows are all up before any is clicked, so none
    # maps over it afterwards.
    xdo search --sync --all --onlyvisible --pid $pid --name "$WINDOW" windowraise %1 sleep 0.3 \
        mousemove --window %1 $1 $2 click 1
}
# wait_window NAME: until the session's main window shows, as long as the
# process lives to show it; false, with the status said, when it never does.
wait_window() {
    local name=$1 limit=180
    until xdo search --all --onlyvisible --pid $(window_pid $name) --name "$WINDOW"; do
        limit=$((limit - 1))
        if [ $limit -le 0 ] || ! kill -0 $(cat $R/$name.pid) 2>/dev/null; then
            echo "no main window" > $R/$name.status
            return 1
        fi
        sleep 1
    done
}
# wait_windows NAME N SECONDS: until the session's program shows N windows.
wait_windows() {
    local limit=$(( $3 * 5 ))
    until [ "$(ch /usr/bin/env DISPLAY=:7 /usr/bin/timeout 60 /usr/bin/xdotool search --all --onlyvisible \
               --pid $(window_pid $1) --name "$WINDOW" 2>/dev/null | wc -l)" -ge $2 ]; do
        limit=$((limit - 1))
        [ $limit -le 0 ] && return 1
        sleep 0.2
    done
}
drive() {
    local name=$1 trace=$R/$1.trace status=ok guard
    local script=$(awk '{ print $4 }' $R/$name.head)
    wait_window $name || return
    guardian_of $name > $R/$name.guard
    case $script in
    steps)
        click $name faster && click $name faster && click $name start || status="clicks failed"
        wait_lines $trace 9 30 || status="no steps in Full"
        click $name half; wait_lines $trace 17 30 || status="no steps in Half"
        click $name full; wait_lines $trace 25 30 || status="no steps in Full again"
        click $name stop; sleep 1
        click $name chiudi ;;
    sigterm)
        click $name faster && click $name faster && click $name start || status="clicks failed"
        wait_lines $trace 10 30 || status="no steps"
        kill -TERM $(window_pid $name) ;;
    sigkill)
        # At its first speed, one step a second. The program traces a byte
        # once the device has taken it, so killed just after a new line it
        # is between two writes, not in one (a kill inside a write could
        # leave the device a byte ahead of the trace).
        click $name start || status="clicks failed"
        wait_lines $trace 3 30 || status="no steps"
        wait_lines $trace $(lines $trace) 5 || status="no step after the third"
        guard=$(cat $R/$name.guard)
        kill -KILL $(window_pid $name)
        # What the device saw is read once the guardian has written to it.
        if [ -z "$guard" ]; then
            status="no quarnet-guard process beside the program"
        elif ! wait_ended $guard 60; then
            status="its guardian still runs a minute after the program was killed"
        else
            settle_$(awk '{ print $3 }' $R/$name.head) $name
        fi ;;
    idle)
        sleep 1
        click $name chiudi ;;
    unplug)
        click $name faster && click $name faster && click $name start || status="clicks failed"
        wait_lines $trace 8 30 || status="no steps"
        unplug_$(awk '{ print $3 }' $R/$name.head)
        wait_lines $R/$name.err 0 20 || status="nothing said on the unplug"
        # Whether the run went on is for check.sh to tell from the trace.
        wait_windows $name 2 30 || status="no window told of the failure"
        # Its box shares the main window's title: a click could land on
        # either, and SIGTERM ends the program the same way "Chiudi" does.
        kill -TERM $(window_pid $name) ;;
    esac
    echo "$status" > $R/$name.status
}
finish() {
    local name=$1 pid=$(cat $R/$1.pid) waited=0 guard
    # A minute: under the emulator with strace attached an ending can take long.
    while kill -0 $pid 2>/dev/null && [ $waited -lt 300 ]; do sleep 0.2; waited=$((waited + 1)); done
    if kill -0 $pid 2>/dev/null; then
        echo "still running after its end; killed" > $R/$name.status
        kill -KILL $(window_pid $name) $pid
    fi
    wait $pid
    echo $? > $O/$name.exit
    # However the program ended, its guardian ends with it, and lets the
    # device go: a guardian left behind would hold it from the next session.
    guard=$(cat $R/$name.guard 2>/dev/null)
    if [ -n "$guard" ] && ! wait_ended $guard 60; then
        echo "its guardian (quarnet-guard) still runs a minute after the program ended; killed" > $R/$name.status
        kill -KILL $guard
    fi
    cp $R/$name.err $O/$name.err
    if [ -f $R/$name.trace ]; then cp $R/$name.trace $O/$name.trace; else : > $O/$name.trace; fi
    [ -f $R/$name.strace ] && cp $R/$name.strace $O/$name.strace
    echo "$(cat $R/$name.head) $(cat $R/$name.status)|$(cat $R/$name.expect)" >> $SESSIONS
}
# session NAME LABEL ROOT EXE KIND PORT SCRIPT USER EXPECT: one at a time,
# the device recorded around it.
session() {
    before_$5
    note_$5 $1
    launch "$@"
    drive $1
    finish $1
    after_$5 $1
}
# batch_begin KIND, queue (session's arguments)..., batch_end: refusals
# started together and ended in turn, under one device record.
batch_begin() { BATCH_KIND=$1; BATCH=""; before_$1; }
queue() { note_$BATCH_KIND $1; launch "$@"; BATCH="$BATCH $1"; }
batch_end() {
    local n shown=""
    # Every window up before any is clicked, so none maps over the one
    # being clicked.
    for n in $BATCH; do wait_window $n && shown="$shown $n"; done
    for n in $shown; do drive $n; done
    for n in $BATCH; do finish $n; done
    for n in $BATCH; do after_$BATCH_KIND $n; done
}

# --- parallel port: QEMU traces every register write; a write to BASE+7
# before each session says where its writes begin.
before_lpt() { MARK=$((MARK + 1)); ch $TOOLS/portmark 0x378 $MARK; }
note_lpt() { echo "$1 $MARK" >> $O/marks; }
after_lpt() { :; }
# settle_KIND NAME, once the guardian has ended: until the device has taken
# what it wrote. An outb or a PPWDATA has reached QEMU when it returns.
settle_lpt() { :; }

# --- GPIO: the kernel's gpio_value events, in order, for this session only.
before_gpio() {
    echo 0 > /sys/kernel/tracing/tracing_on
    echo > /sys/kernel/tracing/trace
    echo 1 > /sys/kernel/tracing/tracing_on
}
note_gpio() { :; }
# A line set has raised its gpio_value events when the ioctl returns.
settle_gpio() { :; }
# Lines by name are turned into bank 0's offsets from what the chip was
# given, not from what the program found.
gpio_offsets() { # PORT: "gpio:CHIP:0,1,2,3" or "gpio:GPIO17,GPIO18,..."
    local list=${1##*:} item d offsets=""
    case $1 in gpio:*:*) echo $list; return ;; esac
    for item in $(echo $list | tr , ' '); do
        for d in $C/bank0/line*; do
            [ "$(cat $d/name)" = "$item" ] && offsets="$offsets,${d##*/line}"
        done
    done
    echo ${offsets#,}
}
after_gpio() {
    echo 0 > /sys/kernel/tracing/tracing_on
    { echo "base $GPIO_BASE"; echo "lines $(gpio_offsets $(awk '{ print $5 }' $R/$1.head))"
      grep -E 'gpio_value: .* set |rig: chip taken away' /sys/kernel/tracing/trace; } > $O/$1.gpio
}

# --- USB adapter: the stand-in's log lines written during the session.
before_ftdi() { FTDI_FROM=$(lines $STANDIN_LOG); }
note_ftdi() { :; }
after_ftdi() { sleep 0.2; sed -n "$((FTDI_FROM + 1)),\$p" $STANDIN_LOG > $O/$1.ftdi; }
# The stand-in logs a bulk-out transfer after the host's has completed: wait
# for as many bytes as the opening switch-off and the trace's lines.
settle_ftdi() {
    local want=$(( $(lines $R/$1.trace) + 1 )) limit=100
    until [ "$(sed -n "$((FTDI_FROM + 1)),\$p" $STANDIN_LOG |
               awk '$2 == "bulk-out" { n += NF - 3 } END { print n + 0 }')" -ge $want ]; do
        limit=$((limit - 1))
        [ $limit -le 0 ] && return
        sleep 0.2
    done
}

each_build() {
    local fn=$1 entry label root exe
    for entry in $BUILDS; do
        label=${entry%%|*}; entry=${entry#*|}; root=${entry%%|*}; exe=${entry#*|}
        if [ ! -x "/host$root$exe" ]; then
            [ -n "$MISSING_TOLD" ] || echo "missing-$label $label none none - executable $root$exe is missing|" >> $SESSIONS
            continue
        fi
        prepare_root $root 2>/dev/null
        $fn $label $root $exe
    done
    MISSING_TOLD=1
}
# Programs from another root (the Debian 13 build) see the same display,
# scratch folder and devices; the binds are made once per root.
prepare_root() {
    [ "$1" = / ] && return 0
    grep -q " /host$1/run " /proc/mounts && return 0
    for d in proc sys dev run tmp; do mount --bind /host/$d "/host$1/$d"; done
}

# ===== ppdev
want() { case " $ONLY " in *" $1 "*) return 0 ;; esac; say "=== $1: left out (RIG_ONLY)"; return 1; }
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

# ===== GPIO
if want gpio; then
say "=== GPIO: gpio-sim"
insmod /host$GPIOSIM || say "gpio-sim did not load"
C=/sys/kernel/config/gpio-sim/rig
mkdir $C $C/bank0 $C/bank1
# Bank 0 is named as a Raspberry Pi's header is; bank 1, a second chip,
# names one line alike, so a name can be found twice.
echo 28 > $C/bank0/num_lines
echo rig-sim > $C/bank0/label
for i in $(seq 0 27); do mkdir $C/bank0/line$i; echo GPIO$i > $C/bank0/line$i/name; done
mkdir $C/bank0/line5/hog
echo rig-hog > $C/bank0/line5/hog/name
echo output-high > $C/bank0/line5/hog/direction
echo 4 > $C/bank1/num_lines
echo rig-sim-b > $C/bank1/label
mkdir $C/bank1/line0
echo GPIO26 > $C/bank1/line0/name
# chip_live: the chips' names and bank 0's first number in the kernel's
# numbering (which gpio_value events use), anew each time they come up.
chip_live() {
    echo 1 > $C/live
    CHIP=$(cat $C/bank0/chip_name)
    CHIP_B=$(cat $C/bank1/chip_name)
    local d
    for d in /sys/class/gpio/gpiochip*; do
        [ "$(cat $d/label)" = rig-sim ] && GPIO_BASE=$(cat $d/base)
    done
    say "chips $CHIP (base $GPIO_BASE) and $CHIP_B, nodes $(ls /dev/gpiochip* | tr '\n' ' ')"
}
chip_live
echo 1 > /sys/kernel/tracing/events/gpio/gpio_value/enable
# Taken away while lines are held, as a USB GPIO chip pulled out: the
# platform device goes, and every ioctl on its lines fails with ENODEV.
# The mark goes in once the removal is done: a write while it is under way
# may still reach the chip, and is no fault of the program.
unplug_gpio() {
    echo 0 > $C/live
    echo "rig: chip taken away" > /sys/kernel/tracing/trace_marker
    say "chip $CHIP taken away (live $(cat $C/live)):$(dmesg | grep 'REMOVING GPIOCHIP' | tail -1 | cut -d']' -f2-)"
}
gpio_sessions() {
    session gpio-steps-$1 $1 $2 $3 gpio gpio:$CHIP:0,1,2,3,6 steps "" ""
    session gpio-sigterm-$1 $1 $2 $3 gpio gpio:$CHIP:0,1,2,3,6 sigterm "" ""
    session gpio-sigkill-$1 $1 $2 $3 gpio gpio:$CHIP:0,1,2,3,6 sigkill "" ""
    session gpio-named-$1 $1 $2 $3 gpio gpio:GPIO17,GPIO18,GPIO27,GPIO22 steps "" ""
}
gpio_refusals() {
    queue gpio-held-$1 $1 $2 $3 gpio gpio:$CHIP:0,1,2,5 idle "" "\"rig-hog\""
    queue gpio-noline-$1 $1 $2 $3 gpio gpio:$CHIP:0,1,2,40 idle "" "has no line 40"
    queue gpio-denied-$1 $1 $2 $3 gpio gpio:$CHIP:0,1,2,3 idle nobody "permission denied"
    queue gpio-twice-$1 $1 $2 $3 gpio gpio:GPIO23,GPIO24,GPIO25,GPIO26 idle "" \
        "GPIO26 is line 26 of $CHIP and line 0 of $CHIP_B: name the chip"
    queue gpio-noname-$1 $1 $2 $3 gpio gpio:GPIO17,GPIO18,GPIO27,GPIO99 idle "" \
        "no GPIO chip has a line named GPIO99 ($CHIP (rig-sim) has GPIO0 GPIO1"
}
gpio_unplug() {
    session gpio-unplug-$1 $1 $2 $3 gpio gpio:$CHIP:0,1,2,3,6 unplug "" "the chip has gone"
    chip_live
}
each_build gpio_sessions
batch_begin gpio
each_build gpio_refusals
batch_end
# What the kernel answers for a held line and a missing one, for the fakes.
ch $TOOLS/gpioprobe /dev/$CHIP 5 40 > $O/probe-gpio.txt 2>&1
each_build gpio_unplug
fi

# ===== USB adapter stand-in on dummy_hcd
GD=/sys/kernel/config/usb_gadget/rig
UDC=
# gadget MODEL: FT232R (full speed) or FT232H (high speed), fresh each time.
gadget_up() {
    local model=$1 product bcd name hs
    case $model in
    FT232R) product=0x6001; bcd=0x0600; name="FT232R USB UART"; hs=0 ;;
    FT232H) product=0x6014; bcd=0x0900; name="Single RS232-HS"; hs=1 ;;
    esac
    modprobe dummy_hcd is_high_speed=$hs && modprobe libcomposite && modprobe usb_f_fs && modprobe ftdi_sio
    mkdir $GD $GD/strings/0x409 $GD/configs/c.1 $GD/configs/c.1/strings/0x409 $GD/functions/ffs.ft
    echo 0x0403 > $GD/idVendor; echo $product > $GD/idProduct; echo $bcd > $GD/bcdDevice
    echo 0x0200 > $GD/bcdUSB
    echo FTDI > $GD/strings/0x409/manufacturer; echo "$name" > $GD/strings/0x409/product
    echo RIG00001 > $GD/strings/0x409/serialnumber
    echo 90 > $GD/configs/c.1/MaxPower
    ln -s $GD/functions/ffs.ft $GD/configs/c.1/
    mkdir -p /host/run/ffs
    mount -t functionfs ft /host/run/ffs
    # The stand-in logs to the guest's own scratch, read as it grows.
    STANDIN_LOG=$R/standin.log
    rm -f $STANDIN_LOG
    chroot /host $TOOLS/ftdi-standin /run/ffs /run/rig/standin.log > $O/standin-$model.out 2>&1 &
    STANDIN=$!
    sleep 0.5
    UDC=$(ls /sys/class/udc | head -1)
    plug_adapter
}
plug_adapter() {
    echo $UDC > $GD/UDC
    for i in $(seq 50); do
        grep -q ttyUSB /proc/tty/driver/usbserial 2>/dev/null && break
        ls /sys/bus/usb/drivers/ftdi_sio 2>/dev/null | grep -q : && break
        sleep 0.2
    done
    sleep 0.5
    say "adapter plugged: $(cat /sys/bus/usb/devices/*/product 2>/dev/null | tr '\n' ',') $(dmesg | grep -i 'detected ft' | tail -1)"
}
unplug_adapter() { echo "" > $GD/UDC; say "adapter unplugged"; }
unplug_ftdi() { unplug_adapter; }
gadget_down() {
    echo "" > $GD/UDC 2>/dev/null
    kill $STANDIN; wait $STANDIN
    for i in $(seq 25); do umount /host/run/ffs 2>/dev/null && break; sleep 0.2; done
    rm $GD/configs/c.1/ffs.ft
    rmdir $GD/configs/c.1/strings/0x409 $GD/configs/c.1 $GD/functions/ffs.ft $GD/strings/0x409 $GD
    rmmod dummy_hcd
}
ftdi_sessions() {
    local m=$(echo $MODEL | tr A-Z a-z)
    session $m-steps-$1 $1 $2 $3 ftdi ftdi steps "" ""
    session $m-sigterm-$1 $1 $2 $3 ftdi ftdi sigterm "" ""
    session $m-sigkill-$1 $1 $2 $3 ftdi ftdi sigkill "" ""
    if [ $MODEL = FT232R ]; then
        session $m-unplug-$1 $1 $2 $3 ftdi ftdi unplug "" "unplugged"
        plug_adapter
    fi
}
ftdi_refusals() { queue ft232r-denied-$1 $1 $2 $3 ftdi ftdi idle nobody "for want of permission"; }
# The adapter's own bus and address, as a user would name it (ftdi:d:BUS/ADDR).
adapter_at() {
    local d
    for d in /sys/bus/usb/devices/*; do
        [ "$(cat $d/idVendor 2>/dev/null)" = 0403 ] && { printf 'd:%03d/%03d' $(cat $d/busnum) $(cat $d/devnum); return; }
    done
}
# Its serial port held by a terminal-like program, the tool is started as
# root (who sees every process), bare and with the adapter named.
ftdi_held() {
    queue ft232r-held-$1 $1 $2 $3 ftdi ftdi idle "" "another program is using"
    queue ft232r-heldnamed-$1 $1 $2 $3 ftdi "ftdi:$(adapter_at)" idle "" "another program is using"
}
# verdict pass|fail TEXT: a finding of the guest's own, for check.sh.
verdict() { echo "$1 $2" >> $O/verdicts; }
# While the tool refused, the serial driver must stay bound and the holder
# keep its port: its next bytes still reach the adapter. The holder is let
# go first, whatever is found, so that it always ends.
held_port_kept() {
    local bound="" limit=100 from=$(lines $STANDIN_LOG)
    for d in /sys/bus/usb/drivers/ftdi_sio/*:1.0; do [ -e "$d" ] && bound=1; done
    touch $R/holder.go
    [ -n "$bound" ] || { verdict fail "held /dev/ttyUSB0: ftdi_sio was unbound from the adapter"; return; }
    until sed -n "$((from + 1)),\$p" $STANDIN_LOG | grep -q ' bulk-out 4 107 101 101 112$'; do
        limit=$((limit - 1))
        if [ $limit -le 0 ]; then
            verdict fail "held /dev/ttyUSB0: the holder's bytes after the refusals never reached the adapter ($(cat $R/holder.state 2>/dev/null))"
            return
        fi
        sleep 0.2
    done
    verdict pass "held /dev/ttyUSB0: ftdi_sio stayed bound and the program holding the port still sent its data"
}
want ftdi &&
for MODEL in FT232R FT232H; do
    say "=== USB adapter: stand-in as $MODEL"
    gadget_up $MODEL
    each_build ftdi_sessions
    if [ $MODEL = FT232R ]; then
        batch_begin ftdi
        each_build ftdi_refusals
        batch_end
        # A program holds the serial port (as a terminal keeps it) through
        # the root the builds share, for as long as the refusals take; it
        # gives up by itself should nobody let it go.
        rm -f $R/holder.go $R/holder.state
        ch /bin/bash -c 'exec 3<>/dev/ttyUSB0 || exit 1; stty -F /dev/ttyUSB0 raw -echo 9600
            echo open > /run/rig/holder.state
            for i in $(seq 3000); do [ -e /run/rig/holder.go ] && break; sleep 0.2; done
            printf keep >&3 && echo wrote > /run/rig/holder.state; sleep 2' > $O/holder.out 2>&1 &
        HOLDER=$!
        if wait_lines $R/holder.state 0 20; then
            batch_begin ftdi
            each_build ftdi_held
            batch_end
            held_port_kept
        else
            verdict fail "the holder could not open /dev/ttyUSB0: $(cat $O/holder.out)"
            touch $R/holder.go
        fi
        wait $HOLDER
        # What libftdi answers around open, close and an unplug, for the fakes.
        ch $TOOLS/ftdiprobe 0403:6001 before-after > $O/probe-ftdi.txt 2>&1
        rm -f $R/unplugged
        chroot /host $TOOLS/ftdiprobe 0403:6001 unplugged /run/rig/unplugged > $R/probe-unplug.txt 2>&1 &
        PROBE=$!
        wait_lines $R/probe-unplug.txt 3 20
        unplug_adapter
        touch $R/unplugged
        wait $PROBE
        cat $R/probe-unplug.txt >> $O/probe-ftdi.txt
        plug_adapter
    fi
    cp $R/standin.log $O/standin-$MODEL.log
    gadget_down
done

kill $XVFB
dmesg > $O/dmesg.txt
say "end"
