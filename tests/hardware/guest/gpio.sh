# Sourced by guest.sh: GPIO lines of a gpio-sim chip.

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
