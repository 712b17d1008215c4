# Sourced by guest.sh: how one session of the executable is run, driven and
# recorded, what each kind of device saw around it, and the builds it runs
# for. It leans on guest.sh's helpers (say, ch, xdo, lines, wait_lines) and
# its scratch and out folders ($R, $O, $SESSIONS).

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
