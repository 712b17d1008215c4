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
ch() { chroot /host "$@"; }
SESSIONS=$O/sessions
: > $SESSIONS
MARK=0

say "kernel $(uname -r), $(grep -c ^processor /proc/cpuinfo) cpu(s)"
modprobe configfs 2>/dev/null
mount -t configfs none /sys/kernel/config
mount -t tracefs nodev /sys/kernel/tracing

# One private display for every session; -ac lets the unprivileged runs in.
ch Xvfb :7 -screen 0 640x480x24 -nolisten tcp -ac > $O/xvfb.log 2>&1 &
XVFB=$!
for i in $(seq 50); do [ -S /host/tmp/.X11-unix/X7 ] && break; sleep 0.2; done
[ -S /host/tmp/.X11-unix/X7 ] || say "Xvfb did not start"

WINDOW='^Quarnet V1\.3$'
xdo() { ch env DISPLAY=:7 timeout 180 xdotool "$@" > /dev/null 2>&1; }
# Centres of the main window's controls, in pixels (its layout's twips / 15).
click() {
    case $1 in
    faster) set -- 34 62 ;;
    start) set -- 48 224 ;;
    stop) set -- 128 224 ;;
    chiudi) set -- 202 224 ;;
    half) set -- 160 60 ;;
    full) set -- 160 84 ;;
    esac
    xdo search --sync --onlyvisible --name "$WINDOW" mousemove --window %1 $1 $2 click 1
}
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

# session NAME LABEL ROOT EXE ROUTE-KIND PORT-ARGUMENT SCRIPT USER EXPECT
# SCRIPT: steps (a run in both modes, stopped, then "Chiudi"), sigterm (a
# run ended by SIGTERM), idle (load, then "Chiudi"), unplug (a run during
# which the adapter goes away, stopped, then "Chiudi").
# Device recording is done around it by the caller's before/after hooks.
session() {
    local name=$1 label=$2 root=$3 exe=$4 kind=$5 port=$6 script=$7 user=$8 expect=$9
    local trace=$R/$name.trace err=$R/$name.err prefix="" uid=0 status=ok
    say "session $name: $label, --port $port, $script${user:+, as $user}"
    [ "$user" = nobody ] && { prefix="setpriv --reuid=65534 --regid=65534 --clear-groups"; uid=65534; }
    mkdir -p $R/xdg-$uid/cache && chown $uid $R/xdg-$uid $R/xdg-$uid/cache && chmod 700 $R/xdg-$uid
    before_$kind $name
    chroot "/host$root" $prefix env -i PATH=/usr/bin:/bin HOME=/run/rig/xdg-$uid DISPLAY=:7 \
        QT_QPA_PLATFORM=xcb QT_ENABLE_HIGHDPI_SCALING=0 XDG_RUNTIME_DIR=/run/rig/xdg-$uid \
        XDG_CACHE_HOME=/run/rig/xdg-$uid/cache QUARNET_PORT_TRACE=/run/rig/$name.trace \
        "$exe" --port "$port" 2> $err &
    local pid=$!
    if ! xdo search --sync --onlyvisible --name "$WINDOW"; then
        status="no main window"
    else
        case $script in
        steps)
            click faster && click faster && click start || status="clicks failed"
            wait_lines $trace 9 30 || status="no steps in Full"
            click half; wait_lines $trace 17 30 || status="no steps in Half"
            click full; wait_lines $trace 25 30 || status="no steps in Full again"
            click stop; sleep 1
            click chiudi ;;
        sigterm)
            click faster && click faster && click start || status="clicks failed"
            wait_lines $trace 10 30 || status="no steps"
            kill -TERM $pid ;;
        idle)
            sleep 1
            click chiudi ;;
        unplug)
            click faster && click faster && click start || status="clicks failed"
            wait_lines $trace 8 30 || status="no steps"
            unplug_adapter
            wait_lines $err 0 10 || status="nothing said on the unplug"
            local now=$(lines $trace)
            wait_lines $trace $((now + 5)) 30 || status="no steps after the unplug"
            click stop; sleep 1
            click chiudi ;;
        esac
    fi
    local waited=0
    while kill -0 $pid 2>/dev/null && [ $waited -lt 150 ]; do sleep 0.2; waited=$((waited + 1)); done
    if kill -0 $pid 2>/dev/null; then
        status="still running after its end; killed"
        kill -KILL $pid
    fi
    wait $pid
    echo $? > $O/$name.exit
    after_$kind $name
    cp $err $O/$name.err
    if [ -f $trace ]; then cp $trace $O/$name.trace; else : > $O/$name.trace; fi
    echo "$name $label $kind $script $status|$expect" >> $SESSIONS
}

# --- parallel port: QEMU traces every register write; a write to BASE+7
# before each session says where its writes begin.
before_lpt() { MARK=$((MARK + 1)); ch $TOOLS/portmark 0x378 $MARK; echo "$1 $MARK" >> $O/marks; }
after_lpt() { :; }

# --- GPIO: the kernel's gpio_value events, in order, for this session only.
before_gpio() {
    echo 0 > /sys/kernel/tracing/tracing_on
    echo > /sys/kernel/tracing/trace
    echo 1 > /sys/kernel/tracing/tracing_on
}
after_gpio() {
    echo 0 > /sys/kernel/tracing/tracing_on
    { echo "base $GPIO_BASE"; grep 'gpio_value: .* set ' /sys/kernel/tracing/trace; } > $O/$1.gpio
}

# --- USB adapter: the stand-in's log lines written during the session.
before_ftdi() { FTDI_FROM=$(lines $STANDIN_LOG); }
after_ftdi() { sleep 0.5; sed -n "$((FTDI_FROM + 1)),\$p" $STANDIN_LOG > $O/$1.ftdi; }

each_build() {
    local fn=$1 entry label root exe
    for entry in $BUILDS; do
        label=${entry%%|*}; entry=${entry#*|}; root=${entry%%|*}; exe=${entry#*|}
        if [ ! -x "/host$root$exe" ]; then
            [ -n "$MISSING_TOLD" ] || echo "missing-$label $label none none executable $root$exe is missing|" >> $SESSIONS
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
say "=== parallel port: parport_pc + ppdev"
modprobe parport_pc && modprobe ppdev || say "parport_pc/ppdev did not load"
say "parport0 base-addr $(cat /proc/sys/dev/parport/parport0/base-addr 2>&1), node $(ls -l /dev/parport0 2>&1)"
ppdev_sessions() {
    session pp-steps-$1 $1 $2 $3 lpt ppdev steps "" ""
    session pp-sigterm-$1 $1 $2 $3 lpt ppdev sigterm "" ""
    ch $TOOLS/ppclaim /dev/parport0 > $R/ppclaim.out 2>&1 &
    local claimer=$!
    sleep 0.5
    session pp-claimed-$1 $1 $2 $3 lpt ppdev idle "" "another program"
    kill -TERM $claimer; wait $claimer
    session pp-denied-$1 $1 $2 $3 lpt ppdev idle nobody "permission denied"
}
each_build ppdev_sessions

# ===== direct I/O
say "=== direct I/O: ppdev unloaded"
rmmod ppdev || say "ppdev did not unload"
direct_sessions() {
    session direct-steps-$1 $1 $2 $3 lpt direct steps "" ""
    session direct-sigterm-$1 $1 $2 $3 lpt direct sigterm "" ""
}
each_build direct_sessions
MARK=$((MARK + 1)); ch $TOOLS/portmark 0x378 $MARK; echo "end $MARK" >> $O/marks

# ===== GPIO
say "=== GPIO: gpio-sim"
insmod $GPIOSIM || say "gpio-sim did not load"
C=/sys/kernel/config/gpio-sim/rig
mkdir $C $C/bank0
echo 28 > $C/bank0/num_lines
echo rig-sim > $C/bank0/label
mkdir $C/bank0/line5 $C/bank0/line5/hog
echo rig-hog > $C/bank0/line5/hog/name
echo output-high > $C/bank0/line5/hog/direction
echo 1 > $C/live
CHIP=$(cat $C/bank0/chip_name)
GPIO_BASE=$(cat /sys/class/gpio/$CHIP/base 2>/dev/null || cat /sys/bus/gpio/devices/$CHIP/../gpio/*/base)
say "chip $CHIP (base $GPIO_BASE), node $(ls -l /dev/$CHIP 2>&1)"
echo 1 > /sys/kernel/tracing/events/gpio/gpio_value/enable
gpio_sessions() {
    session gpio-steps-$1 $1 $2 $3 gpio gpio:$CHIP:0,1,2,3,6 steps "" ""
    session gpio-sigterm-$1 $1 $2 $3 gpio gpio:$CHIP:0,1,2,3,6 sigterm "" ""
    session gpio-held-$1 $1 $2 $3 gpio gpio:$CHIP:0,1,2,5 idle "" "\"rig-hog\""
    session gpio-noline-$1 $1 $2 $3 gpio gpio:$CHIP:0,1,2,40 idle "" "has no line 40"
    session gpio-denied-$1 $1 $2 $3 gpio gpio:$CHIP:0,1,2,3 idle nobody "permission denied"
}
each_build gpio_sessions
echo "chip $CHIP $GPIO_BASE" > $O/gpio-chip

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
    ch $TOOLS/ftdi-standin /run/ffs /run/rig/standin.log > $O/standin-$model.out 2>&1 &
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
gadget_down() {
    echo "" > $GD/UDC 2>/dev/null
    kill $STANDIN; wait $STANDIN
    umount /host/run/ffs
    rm $GD/configs/c.1/ffs.ft
    rmdir $GD/configs/c.1/strings/0x409 $GD/configs/c.1 $GD/functions/ffs.ft $GD/strings/0x409 $GD
    rmmod dummy_hcd
}
ftdi_sessions() {
    local m=$(echo $MODEL | tr A-Z a-z)
    session $m-steps-$1 $1 $2 $3 ftdi ftdi steps "" ""
    session $m-sigterm-$1 $1 $2 $3 ftdi ftdi sigterm "" ""
    if [ $MODEL = FT232R ]; then
        session $m-unplug-$1 $1 $2 $3 ftdi ftdi unplug "" "unplugged"
        plug_adapter
        session $m-denied-$1 $1 $2 $3 ftdi ftdi idle nobody "permission denied"
    fi
}
for MODEL in FT232R FT232H; do
    say "=== USB adapter: stand-in as $MODEL"
    gadget_up $MODEL
    each_build ftdi_sessions
    cp $R/standin.log $O/standin-$MODEL.log
    gadget_down
done

kill $XVFB
dmesg > $O/dmesg.txt
say "end"
