#!/usr/bin/env bash
# Builds the .deb from a configured build tree and checks what it holds:
# every file a desktop install needs, in its standard place, a dependency on
# the package of every library the executable links (whatever this system
# calls them: libgpiod2 on Debian 12, libgpiod3 on 13), and the run-time
# dependencies that the shared-library scan cannot see.
set -euo pipefail
build=${1:-build}
arch=$(dpkg --print-architecture)
(cd "$build" && cpack -G DEB >/dev/null)
deb=$(ls "$build"/quarnet_*_"$arch".deb)
listing=$(dpkg-deb -c "$deb" | awk '{print $6}')
status=0
for path in \
    ./usr/bin/quarnet \
    ./usr/share/applications/quarnet.desktop \
    ./usr/share/metainfo/org.example.quarnet.metainfo.xml \
    ./usr/share/icons/hicolor/32x32/apps/quarnet.png \
    ./usr/share/icons/hicolor/48x48/apps/quarnet.png \
    ./usr/share/icons/hicolor/128x128/apps/quarnet.png \
    ./usr/share/icons/hicolor/256x256/apps/quarnet.png \
    ./usr/lib/udev/rules.d/60-quarnet-parport.rules \
    ./usr/lib/udev/rules.d/60-quarnet-ftdi.rules; do
    if ! grep -qx "$path" <<<"$listing"; then
        echo "package check: $path missing from $deb" >&2
        status=1
    fi
done
if [ "$(dpkg-deb -f "$deb" Architecture)" != "$arch" ]; then
    echo "package check: $deb is for $(dpkg-deb -f "$deb" Architecture), not $arch" >&2
    status=1
fi

# The package that owns a library file; dpkg knows some by their /usr path
# and some by the /lib one, whichever the package shipped.
owner_of() {
    local path=$1 candidate owner
    for candidate in "$path" "/usr${path#/usr}" "${path#/usr}" "$(readlink -f "$path")"; do
        owner=$(dpkg-query -S "$candidate" 2>/dev/null | head -n1 | cut -d: -f1)
        [ -n "$owner" ] && { echo "$owner"; return 0; }
    done
    return 1
}

depends=$(dpkg-deb -f "$deb" Depends)
# Names alone: "libgpiod3 (>= 2.1)" and "libgpiod3" are both the package.
depends_names=" $(sed -E 's/\([^)]*\)//g; s/[|,]/ /g' <<<"$depends" | tr -s ' ') "
# The libraries the executable names itself (not what they pull in), each
# with the file the loader resolves it to.
resolved=$(ldd "$build/quarnet" | awk '$2 == "=>" && $3 ~ /^\// {print $1 " " $3}')
needed=$(objdump -p "$build/quarnet" | awk '$1 == "NEEDED" {print $2}' |
    while read -r soname; do grep -m1 "^$soname " <<<"$resolved" || echo "$soname unresolved"; done)
[ -n "$needed" ] || { echo "package check: ldd found no libraries in $build/quarnet" >&2; status=1; }
while read -r soname path; do
    [ -n "$soname" ] || continue
    package=$(owner_of "$path") || { echo "package check: no package owns $path ($soname)" >&2; status=1; continue; }
    if [[ $depends_names != *" $package "* ]]; then
        echo "package check: quarnet links $soname from $package, which Depends lacks ($depends)" >&2
        status=1
    fi
done <<<"$needed"
for dep in qt6-qpa-plugins fonts-liberation2; do
    if [[ $depends_names != *" $dep "* ]]; then
        echo "package check: Depends lacks $dep ($depends)" >&2
        status=1
    fi
done
# The udev rules as installed: each may give only what its device needs,
# to whom it needs it. The adapters go to the user at the seat alone, for
# their two ids; the parallel ports' ppdev nodes to group lp, as Debian
# already has them. Anything else (a group, a mode, an owner, a program
# run, another device) fails the check.
unpacked=$(mktemp -d)
trap 'rm -rf "$unpacked"' EXIT
dpkg-deb -x "$deb" "$unpacked"
# rule_check FILE MATCH ALLOWED: every rule matches MATCH and assigns
# exactly ALLOWED (its assignments, space-separated, in order).
rule_check() {
    local file=$1 match=$2 allowed=$3 line assigned rules=0
    while IFS= read -r line; do
        [[ $line =~ ^[[:space:]]*(#|$) ]] && continue
        rules=$((rules + 1))
        if ! grep -qE "$match" <<<"$line"; then
            echo "package check: $(basename "$file") has a rule for another device: $line" >&2
            status=1
        fi
        # KEY="v", KEY+="v", KEY:="v", KEY-="v", KEY{x}="v": not the == and != matches.
        assigned=$(grep -oE '[A-Z_]+(\{[^}]*\})?(\+|-|:)?="[^"]*"' <<<"$line" | grep -vE '^[A-Z_]+(\{[^}]*\})?(==|!=)' | tr '\n' ' ' | sed 's/ $//')
        if [ "$assigned" != "$allowed" ]; then
            echo "package check: $(basename "$file") gives more than it may ($assigned, not $allowed): $line" >&2
            status=1
        fi
    done <"$file"
    [ $rules -gt 0 ] || { echo "package check: $(basename "$file") has no rule" >&2; status=1; }
}
# Docks and menus draw icons over their own backgrounds: each needs its alpha.
for icon in "$unpacked"/usr/share/icons/hicolor/*/apps/quarnet.png; do
    if ! file "$icon" | grep -q 'RGBA'; then
        echo "package check: ${icon#"$unpacked"} has no transparency" >&2
        status=1
    fi
done
rules=$unpacked/usr/lib/udev/rules.d
rule_check "$rules/60-quarnet-ftdi.rules" 'ATTR\{idVendor\}=="0403", ATTR\{idProduct\}=="(6001|6014)"' 'TAG+="uaccess"'
rule_check "$rules/60-quarnet-parport.rules" 'KERNEL=="parport\[0-9\]\*", SUBSYSTEM=="ppdev"' 'GROUP="lp" MODE="0660"'

if command -v desktop-file-validate >/dev/null; then
    desktop-file-validate packaging/quarnet.desktop || status=1
fi
if command -v appstreamcli >/dev/null; then
    appstreamcli validate --no-net --pedantic packaging/org.example.quarnet.metainfo.xml >/dev/null || {
        appstreamcli validate --no-net packaging/org.example.quarnet.metainfo.xml || status=1
    }
fi
[ $status -eq 0 ] && echo "package check: $deb holds every file and dependency it needs"
exit $status
