#!/bin/bash
# The documentation's advice on rights, tried on this system as an
# administrator would type it: the one line that lets one user raise the
# motor's priority, and the udev rules (the package's and the one for a GPIO
# chip). Nothing on the machine changes: the limits line is written inside a
# private mount namespace, over an empty /etc/security/limits.d.
# usage: check_advice.sh SOURCE_DIR
set -u
src=$1
failed=0
pass() { echo "PASS $1"; }
fail() { echo "FAIL $1"; failed=1; }

[ "$(id -u)" = 0 ] || { echo "SKIP: needs root, as the advice does"; exit 77; }

# Each command is checked against the documentation first, so the line tried
# is the line a user copies.
documented() { grep -rqF -- "$1" "$src/README.md" "$src/docs" 2>/dev/null; }

limits_line='echo "$USER - nice -15" | sudo tee /etc/security/limits.d/quarnet.conf'
if ! documented "$limits_line"; then
    fail "the priority advice is not documented as: $limits_line"
else
    # As the user's login session would see it: pam_limits reads the file
    # when runuser opens a session, as login and the display managers do.
    # Where root itself may not raise a hard limit (a container without
    # CAP_SYS_RESOURCE), what pam_limits asks the kernel for is the answer.
    # A chroot's / is no mount of its own, so its propagation cannot be set:
    # there the namespace takes the mounts as they are (the Debian 13 stage
    # runs in a private one already), and the tmpfs is taken out again
    # before the namespace ends, in case a peer saw it.
    propagation=private
    mountpoint -q / || propagation=unchanged
    result=$(unshare -m --propagation $propagation /bin/bash -c '
        mount -t tmpfs none /etc/security/limits.d || exit 1
        USER=nobody
        sudo() { "$@"; }
        '"$limits_line"' > /dev/null
        echo "mode $(stat -c %a /etc/security/limits.d/quarnet.conf)"
        for user in nobody daemon; do
            echo "$user runs at $(runuser -u $user -- nice -n -15 nice 2>/dev/null)"
            if command -v strace > /dev/null; then
                echo "$user asked $(strace -f -e trace=prlimit64,setrlimit runuser -u $user -- true 2>&1 |
                    grep -o "RLIMIT_NICE, {rlim_cur=[0-9]*" | tail -1 | grep -o "[0-9]*$")"
            fi
        done
        umount /etc/security/limits.d' 2>&1)
    case $result in
    *"nobody runs at -15"*"daemon runs at 0"*)
        pass "priority: the one line lets that user, and no other, run at nice -15" ;;
    *"nobody asked 35"*"daemon asked 0"*)
        pass "priority: the one line makes the login session ask for nice -15 for that user, and for no other (this machine's root may not raise hard limits, so the level itself is not reached here)" ;;
    *) fail "priority: after the documented line: $(echo $result)" ;;
    esac
    case $result in
    *"mode 644"*) ;;
    *) fail "priority: the limits file is not left readable as pam_limits needs: $(echo $result)" ;;
    esac
fi
[ ! -e /etc/security/limits.d/quarnet.conf ] || fail "priority: the check left /etc/security/limits.d/quarnet.conf on the machine"

# The rules as udev itself parses them, where this system's udevadm can
# (verify came with systemd 253: Debian 13 has it, Debian 12 not).
gpio_rule='SUBSYSTEM=="gpio", KERNEL=="gpiochip0", TAG+="uaccess"'
documented "$gpio_rule" || fail "the GPIO rule is not documented as: $gpio_rule"
if command -v udevadm > /dev/null && udevadm verify --help > /dev/null 2>&1; then
    dir=$(mktemp -d)
    trap 'rm -rf "$dir"' EXIT
    echo "$gpio_rule" > "$dir/60-quarnet-gpiochip.rules"
    for rules in "$dir/60-quarnet-gpiochip.rules" "$src"/packaging/*.rules; do
        if out=$(udevadm verify --no-summary "$rules" 2>&1) && [ -z "$out" ]; then
            pass "udevadm verify: $(basename "$rules")"
        else
            fail "udevadm verify $(basename "$rules"): $out"
        fi
    done
else
    echo "NOTE udevadm verify is not on this system: the rules are checked where it is (Debian 13)"
fi
exit $failed
