#!/bin/bash
# Compares, session by session, what the real executable says it wrote
# (its QUARNET_PORT_TRACE) with what the emulated device saw, and the
# refusals with their one line. Prints a readable report and, last,
# "N passed, N failed".
# usage: check.sh OUT_DIR QEMU_STATUS
set -u
OUT=$1
QEMU_STATUS=${2:-0}

# The adapter's pins for each bit of the byte Quarnet writes, "bit:pin";
# the direction mask set_bitmode must give is exactly these pins.
FTDI_PINS="0:1 1:3 2:5 3:7 6:6"

# The bits of a written byte that power the windings.
PHASES=0x0f
# GPIO lines stand for these bits, in the order the route names them.
GPIO_BITS="0 1 2 3 6"
# What a route writes itself, beyond the traced bytes, when it takes the
# device and when it lets it go: both switch everything off. A program
# killed with SIGKILL lets nothing go: its guardian writes the off byte,
# which it traces, and the device is let go by the kernel alone.
declare -A OPENING=([lpt]="" [gpio]="0" [ftdi]="0")
declare -A CLOSING=([lpt]="" [gpio]="0" [ftdi]="0")

passed=0
failed=0
pass() { passed=$((passed + 1)); echo "PASS $1"; }
fail() { failed=$((failed + 1)); echo "FAIL $1"; }
short() { # at most 40 values of a list, then how many more
    local n=$# ; if [ $n -le 40 ]; then echo "$*"; else echo "${*:1:40} ... ($n values)"; fi
}

ftdi_mask=0
for pair in $FTDI_PINS; do ftdi_mask=$((ftdi_mask | 1 << ${pair#*:})); done
ftdi_map() { # BYTE: the pins' byte the adapter should drive for it
    local byte=$1 pins=0 pair
    for pair in $FTDI_PINS; do
        (( (byte >> ${pair%%:*}) & 1 )) && pins=$((pins | 1 << ${pair#*:}))
    done
    echo $pins
}

# The program's bytes, or BAD and why: every line "<ns> 0x378 <byte>", times
# never going back, the last line ended.
trace_bytes() {
    [ -s "$1" ] || { echo "BAD no trace"; return; }
    [ "$(tail -c1 "$1" | od -An -c | tr -d ' ')" = '\n' ] || { echo "BAD last line cut"; return; }
    awk 'BEGIN { last = 0 }
         !/^[0-9]+ 0x378 [0-9]+$/ { print "BAD line " NR ": " $0; exit }
         { if ($1 + 0 < last) { print "BAD time goes back at line " NR; exit } last = $1 + 0; printf "%s ", $3 }' "$1"
}

# The parallel port's data-register writes between this session's mark and the next.
lpt_bytes() {
    local mark next
    mark=$(awk -v n="$1" '$1 == n { print $2 }' "$OUT/marks")
    [ -n "$mark" ] || { echo "BAD no mark"; return; }
    awk -v mark="$mark" '
        /parallel_ioport_write/ && match($0, /addr 0x[0-9a-f]+ val 0x[0-9a-f]+/) {
            split(substr($0, RSTART, RLENGTH), f, " ")
            addr = strtonum(f[2]); val = strtonum(f[4])
            if (addr == 7) { inside = (val == mark); next }
            if (inside && addr == 0) printf "%d ", val
        }
        function strtonum(h,   i, c, v) {
            v = 0; h = tolower(substr(h, 3))
            for (i = 1; i <= length(h); i++) { c = index("0123456789abcdef", substr(h, i, 1)) - 1; v = v * 16 + c }
            return v
        }' "$OUT/qemu-trace.log"
}

# The session's lines as offsets of the chip, in the route's order (the
# guest turns names into offsets from what it gave the chip).
gpio_lines() { awk '$1 == "lines" { print $2; exit }' "$OUT/$1.gpio" 2>/dev/null; }

# gpio-sim's line values, each write being one event per requested line in
# the route's order, turned back into the byte bits they stand for. None may
# come once the chip has been taken away.
gpio_bytes() { # NAME
    awk -v lines="$(gpio_lines "$1")" -v bits="$GPIO_BITS" '
        BEGIN {
            n = split(lines, l, ","); split(bits, b, " ")
            for (i = 1; i <= n; i++) { line[i - 1] = l[i]; bit[i - 1] = b[i] }
            k = 0; byte = 0
        }
        $1 == "base" { base = $2; next }
        $1 == "lines" { next }
        /rig: chip taken away/ { gone = 1; next }
        gone && /gpio_value: / { bad = "BAD a write reached the chip after it was taken away: " $0; exit }
        match($0, /gpio_value: [0-9]+ set [01]/) {
            split(substr($0, RSTART, RLENGTH), f, " ")
            offset = f[2] - base
            if (offset != line[k]) { bad = sprintf("BAD event for line %d where line %d was due", offset, line[k]); exit }
            if (f[4] == 1) byte += 2 ^ bit[k]
            if (++k == n) { out = out byte " "; byte = 0; k = 0 }
        }
        END {
            if (!bad && k != 0) bad = sprintf("BAD a write of %d lines out of %d", k, n)
            print bad ? bad : out
        }' "$OUT/$1.gpio"
}

# The bulk-out bytes the adapter took, masked by the pins it drives.
ftdi_bytes() {
    awk -v mask=$ftdi_mask '$2 == "bulk-out" { for (i = 4; i <= NF; i++) printf "%d ", and_($i, mask) }
        function and_(a, b,   r, p) { r = 0; for (p = 1; p < 256; p *= 2) if (int(a / p) % 2 && int(b / p) % 2) r += p; return r }' "$OUT/$1.ftdi"
}

# What the device should have seen for the program's bytes.
expected_bytes() { # KIND LINES SCRIPT BYTE...
    local kind=$1 lines=$2 closing=${CLOSING[$1]} b mask
    [ "$3" = sigkill ] && closing=
    shift 3
    case $kind in
    lpt) echo "$* " ;;
    gpio)
        mask=0
        local count=$(( $(tr -cd , <<< "$lines" | wc -c) + 1 )) i=0
        for b in $GPIO_BITS; do [ $i -lt $count ] && mask=$((mask | 1 << b)); i=$((i + 1)); done
        for b in ${OPENING[gpio]} "$@" $closing; do printf '%d ' $((b & mask)); done ;;
    ftdi)
        for b in ${OPENING[ftdi]} "$@" $closing; do printf '%d ' "$(ftdi_map "$b")"; done ;;
    esac
}
phase_pins() { # KIND: the device's bits that power windings
    case $1 in
    lpt) echo $((PHASES)) ;;
    gpio) echo $((PHASES)) ;;
    ftdi) ftdi_map $((PHASES)) ;;
    esac
}

echo "=== quarnet on emulated hardware: $(date -u '+%Y-%m-%d %H:%M UTC')"
if [ "$QEMU_STATUS" -ne 0 ]; then
    fail "guest: QEMU ended with status $QEMU_STATUS$([ "$QEMU_STATUS" -eq 124 ] && echo ' (timed out)')"
fi
grep -q 'guest\[.*\]: end' "$OUT/guest.log" 2>/dev/null || fail "guest: its script did not reach its end (see $OUT/guest.log, $OUT/console.log)"
[ -s "$OUT/sessions" ] || fail "guest: no session ran"

while IFS='|' read -r head expect; do
    read -r name label kind script port status <<< "$head"
    what="$name ($label, --port $port, $script)"
    if [ "$kind" = none ]; then
        fail "$name: $status"
        continue
    fi
    if [ "$status" != ok ]; then
        fail "$what: $status"
        continue
    fi
    # Run as an ordinary user the tool says once, at load, that the motor runs
    # at normal priority: that line is about scheduling, not the port.
    grep -v '^quarnet: the motor runs at normal priority' "$OUT/$name.err" > "$OUT/$name.port-err"
    errs=$(grep -c '' "$OUT/$name.port-err")
    exitcode=$(cat "$OUT/$name.exit")
    program=$(trace_bytes "$OUT/$name.trace")
    case $kind in
    lpt) device=$(lpt_bytes "$name") ;;
    gpio) device=$(gpio_bytes "$name"); lines=$(gpio_lines "$name") ;;
    ftdi) device=$(ftdi_bytes "$name") ;;
    esac
    [ "$kind" = gpio ] || lines=
    problems=()
    # Killed by SIGKILL, the shell says 128 + 9.
    ended=0
    [ "$script" = sigkill ] && ended=137
    [ "$exitcode" = $ended ] || problems+=("exit status $exitcode, not $ended")
    case $program in BAD*) problems+=("trace: ${program#BAD }") ; program= ;; esac
    case $device in BAD*) problems+=("device: ${device#BAD }") ; device= ;; esac
    set -- $program
    [ "${1:-}" = 64 ] || problems+=("the first traced byte is not 64")
    [ "${!#}" = 64 ] || problems+=("the last traced byte is not 64")
    if [ -z "$expect" ]; then
        # A run: the device saw exactly the traced bytes, in order.
        [ "$errs" -eq 0 ] || problems+=("standard error: $(head -3 "$OUT/$name.port-err" | tr '\n' '/')")
        want=$(expected_bytes "$kind" "$lines" "$script" $program)
        inflight=""
        if [ "$want" != "$device" ] && [ "$script" = sigkill ]; then
            # SIGKILL can land between a step's write and its trace line:
            # that one step reached the device untraced, just before the
            # guardian's off byte. Anything more is a fault.
            read -ra w <<< "$want"
            read -ra d <<< "$device"
            n=${#w[@]}
            if [ ${#d[@]} -eq $((n + 1)) ] && [ "${d[*]:0:n-1}" = "${w[*]:0:n-1}" ] && [ "${d[-1]}" = "${w[-1]}" ]; then
                inflight=${d[-2]}
            fi
        fi
        if [ "$want" != "$device" ] && [ -z "$inflight" ]; then
            problems+=("device saw: $(short $device) / expected: $(short $want)")
        fi
        last=$(echo $device | awk '{ print $NF }')
        if [ -z "$last" ] || (( last & $(phase_pins "$kind") )); then
            problems+=("the device's last byte ${last:-(none)} leaves a winding on")
        fi
        if [ "$script" = steps ]; then
            # Full powers one winding at a time, Half two.
            fulls=0 halves=0
            for b in $program; do
                case $(( (b & 1) + (b >> 1 & 1) + (b >> 2 & 1) + (b >> 3 & 1) )) in
                1) fulls=$((fulls + 1)) ;; 2) halves=$((halves + 1)) ;;
                esac
            done
            [ "$halves" -gt 0 ] && [ "$fulls" -gt 0 ] || problems+=("not both modes: $fulls Full, $halves Half steps")
        fi
        if [ "$kind" = ftdi ]; then
            mode=$(awk '$2 == "setup" && $8 == "SET_BITMODE" { v = $5 } END { print v }' "$OUT/$name.ftdi")
            [ "$mode" = "$(printf '0x01%02x' $ftdi_mask)" ] ||
                problems+=("set_bitmode gave $mode, not async bit-bang with mask $(printf '0x%02x' $ftdi_mask)")
        fi
        if [ "$kind" = ftdi ]; then
            # The pins as the chip drives them once the program has ended.
            read -r pmode plevels <<< "$(awk '$2 == "pins" { m = $3; l = $4 } END { print m, l }' "$OUT/$name.ftdi")"
            on=""
            for pair in $FTDI_PINS; do
                bit=${pair%%:*} pin=${pair#*:}
                (( PHASES >> bit & 1 )) && [ "${plevels:$pin:1}" != 0 ] && on="$on D$pin=${plevels:$pin:1}"
            done
            [ "$pmode" = bitbang ] && [ -z "$on" ] ||
                problems+=("the adapter's pins after the end: $pmode $plevels (D0..D7)$on")
        fi
        summary="$(( $# )) writes traced = device"
        if [ "$script" = sigkill ]; then
            # Killed mid-run, the program left a winding on; the trace's last
            # line is the guardian's, that byte with the phase lines off.
            before=$(awk '{ print $(NF - 1) }' <<< "$program")
            if [ $# -lt 2 ] || (( ! (before & PHASES) )); then
                problems+=("the program's last byte before the kill, $before, left no winding on: not killed mid-run")
            elif [ "${!#}" != $(( before & 0xf0 )) ]; then
                problems+=("the trace's last byte ${!#} is not the guardian's off byte $(( before & 0xf0 )) for $before")
            fi
            summary="$summary, the last the guardian's $before -> ${!#}"
            [ -z "$inflight" ] || summary="$summary (killed inside a step: its byte, $inflight on the pins, reached the device untraced)"
        fi
        [ "$kind" = gpio ] && summary="$summary (lines $lines for bits $(echo $GPIO_BITS | cut -d' ' -f1-$(( $(tr -cd , <<< "$lines" | wc -c) + 1 )) | tr ' ' ,))"
    else
        # A refusal: one line saying why, and the program goes on with a
        # virtual port.
        line=$(head -1 "$OUT/$name.port-err")
        [ "$errs" -eq 1 ] || problems+=("$errs lines on standard error: $(head -4 "$OUT/$name.port-err" | tr '\n' '/')")
        case $line in *"$expect"*virtual*) ;; *) problems+=("not the line looked for ($expect ... virtual): $line") ;; esac
        if [ "$script" = unplug ]; then
            want=$(expected_bytes "$kind" "$lines" "$script" $program)
            case "$want" in "$device"*) ;; *) problems+=("device saw more or other than the trace's start: $(short $device)") ;; esac
            [ -n "$device" ] || problems+=("the device saw nothing before the unplug")
            [ "$kind" != gpio ] || grep -q 'rig: chip taken away' "$OUT/$name.gpio" ||
                problems+=("the chip was not taken away")
            # The run stops at the write that failed: what the trace holds
            # beyond what reached the device is that write and the stop's
            # switch-off, never a further step.
            reached=$(( $(echo $device | wc -w) - $(echo ${OPENING[$kind]} | wc -w) ))
            stepped=0
            i=0
            for b in $program; do
                i=$((i + 1))
                [ $i -gt "$reached" ] && (( b & PHASES )) && stepped=$((stepped + 1))
            done
            [ "$stepped" -le 1 ] ||
                problems+=("the run went on: $stepped writes with a winding on were traced after the device went")
            # A gone chip takes no events, so only the program's own calls
            # show whether it tried the lines again: the set that failed, one
            # more with the phase lines off, then none.
            if [ "$kind" = gpio ] && [ -f "$OUT/$name.strace" ]; then
                read -r failures later retry <<< "$(awk '
                    function phases_on(l,   v, b) {
                        if (match(l, /values=\[[0-9, ]*/)) {
                            v = substr(l, RSTART + 8, RLENGTH - 8); gsub(/ /, "", v); split(v, b, ",")
                            return b[1] + b[2] + b[3] + b[4]
                        }
                        # bits=0x..: lines 0-3 are its last hex digit; the count of its ones.
                        if (match(l, /bits=0x[0-9a-f]+/))
                            return substr("0112122312232334", index("0123456789abcdef", substr(l, RSTART + RLENGTH - 1, 1)), 1)
                        return "?"
                    }
                    /(GPIOHANDLE_SET_LINE_VALUES|GPIO_V2_LINE_SET_VALUES)_IOCTL/ {
                        if (failed >= 2) later++
                        if (/ = -1 /) { failed++; if (failed == 2) retry = phases_on($0) }
                    }
                    END { print failed + 0, later + 0, retry == "" ? "-" : retry }' "$OUT/$name.strace")"
                [ "$failures" = 2 ] && [ "$later" = 0 ] && [ "$retry" = 0 ] ||
                    problems+=("line sets: $failures failed (the retry with $retry phase lines on), $later tried after the retry")
            fi
            summary="$(echo $device | wc -w) writes reached the device before it went, $# traced; \"$line\""
        else
            [ -z "$device" ] || problems+=("the device saw writes: $(short $device)")
            summary="\"$line\""
        fi
    fi
    if [ ${#problems[@]} -eq 0 ]; then
        pass "$what: $summary"
    else
        fail "$what:"
        for p in "${problems[@]}"; do echo "     $p"; done
    fi
done < "$OUT/sessions"

# What the guest found itself, beyond the sessions.
if [ -f "$OUT/verdicts" ]; then
    while read -r verdict text; do
        if [ "$verdict" = pass ]; then pass "$text"; else fail "$text"; fi
    done < "$OUT/verdicts"
fi

# Whatever the program does, a phase pin must never be high while the chip
# is in serial mode: from plug-in until the program sets bit-bang mode, and
# again after every re-enumeration (a reset, an unplug and replug).
for log in "$OUT"/standin-*.log; do
    [ -f "$log" ] || continue
    model=$(basename "$log" .log); model=${model#standin-}
    high=$(awk -v pins="$FTDI_PINS" -v phases=$((PHASES)) '
        BEGIN { n = split(pins, pair, " "); for (i = 1; i <= n; i++) { split(pair[i], bp, ":"); if (int(phases / 2 ^ bp[1]) % 2) watch[bp[2]] = 1 } }
        $2 == "pins" && $3 == "serial" { serial++; for (p in watch) if (substr($4, p + 1, 1) == "1") { print "D" p " high: " $0; exit } }
        END { if (!serial) print "no serial-mode state logged" }' "$log")
    if [ -z "$high" ]; then
        pass "$model in serial mode (before each run and after each re-enumeration): no phase pin high"
    else
        fail "$model in serial mode: $high"
    fi
done

# What the real stack answered, for holding the fakes to it.
for f in "$OUT"/probe-*.txt; do
    [ -f "$f" ] || continue
    echo "--- observed ($(basename "$f" .txt)):"
    sed 's/^/     /' "$f"
done
for f in "$OUT"/*.strace; do
    [ -f "$f" ] || continue
    echo "--- observed ($(basename "$f" .strace)): system calls on the device"
    grep -E '"/dev/(parport|gpiochip|bus/usb)|ioctl\([0-9]+, (PP|GPIO)|USBDEVFS_[A-Z]+,.*= -1|ioperm|iopl' "$f" |
        grep -v -e 'REAPURBNDELAY.*EAGAIN' -e 'SET_LINE_VALUES.*) = 0$' -e 'LINE_SET_VALUES.*) = 0$' |
        sed -e 's/^[0-9]* *//' | awk '!seen[$0]++' | head -20 | sed 's/^/     /'
done
echo "(files: $OUT)"
echo "$passed passed, $failed failed"
