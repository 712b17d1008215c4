# Sourced by guest.sh: the USB adapter, the stand-in as each model in turn.

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
