#!/usr/bin/env bash
# Builds the .deb from a configured build tree and checks what it holds:
# every file a desktop install needs, in its standard place, a dependency on
# the package of every library the executable links (whatever this system
# calls them: libgpiod2 on Debian 12, libgpiod3 on 13), and the run-time
# dependencies that the shared-library scan cannot see. Then Debian's own
# checks on it, as the archive runs them on every upload: lintian, the
# AppStream and desktop-entry validators on the files as installed, the
# manual page against the packaged executable's --help, and the desktop
# entry, the metadata, the changelog and the package saying the same thing.
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
    ./usr/share/man/man1/quarnet.1.gz \
    ./usr/share/doc/quarnet/copyright \
    ./usr/share/doc/quarnet/changelog.gz \
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

for tool in lintian:lintian appstreamcli:appstream desktop-file-validate:desktop-file-utils \
    xmllint:libxml2-utils dpkg-parsechangelog:dpkg-dev man:man-db; do
    command -v "${tool%%:*}" >/dev/null ||
        { echo "package check: ${tool%%:*} is missing: install ${tool#*:}" >&2; exit 1; }
done

# Every tag lintian shows, info and pedantic included, is either fixed or,
# where a fix would be wrong for this package, overridden in the package
# with the reason (docs/platforms.md lists them); so any tag fails the check.
echo "package check: lintian $(lintian --version | awk '{print $2}')"
lintian --pedantic --display-info --show-overrides --fail-on error,warning,info,pedantic "$deb" ||
    { echo "package check: lintian has tags for $deb" >&2; status=1; }

metainfo=$unpacked/usr/share/metainfo/org.example.quarnet.metainfo.xml
desktop=$unpacked/usr/share/applications/quarnet.desktop
# Errors and warnings fail it; infos and pedantic notes are only shown
# (AppStream 0.16 calls <developer> unknown, 1.0 calls <developer_name>
# deprecated, and each reads only its own).
appstreamcli validate --pedantic --no-net "$metainfo" ||
    { echo "package check: appstreamcli rejects the installed metainfo" >&2; status=1; }
# It says nothing of a valid entry, and exits 0 on a warning.
validation=$(desktop-file-validate "$desktop" 2>&1) || status=1
[ -z "$validation" ] || { echo "package check: desktop-file-validate: $validation" >&2; status=1; }

# What a software centre shows from the metadata and a menu from the entry
# must agree, in every language either has; the package's synopsis too.
xpath() { xmllint --xpath "$1" "$metainfo" 2>/dev/null || true; }
entry() { sed -n "s/^$1=//p" "$desktop" | head -n1; }
agree() {
    [ "$2" = "$3" ] || { echo "package check: $1 differ: \"$2\" and \"$3\"" >&2; status=1; }
}
[ "$(xpath 'string(/component/id)')" = org.example.quarnet ] ||
    { echo "package check: the metainfo's id is not org.example.quarnet, as its file name says" >&2; status=1; }
agree "the metainfo's launchable and the desktop entry's file name" \
    "$(xpath 'string(/component/launchable[@type="desktop-id"])')" "$(basename "$desktop")"
agree "the metainfo's name and the desktop entry's Name" "$(xpath 'string(/component/name[not(@xml:lang)])')" "$(entry Name)"
agree "the metainfo's summary and the desktop entry's Comment" \
    "$(xpath 'string(/component/summary[not(@xml:lang)])')" "$(entry Comment)"
agree "the metainfo's summary and the package's synopsis" \
    "$(xpath 'string(/component/summary[not(@xml:lang)])')" "$(dpkg-deb -f "$deb" Description | head -n1)"
languages=$( (xpath '/component/*[self::name or self::summary]/@xml:lang' | grep -oE '"[^"]+"' | tr -d '"'
    grep -oE '^(Name|Comment)\[[^]]+\]' "$desktop" | sed -E 's/.*\[(.*)\]/\1/') | sort -u)
for lang in $languages; do
    for pair in name:Name summary:Comment; do
        agree "the metainfo's ${pair%%:*} and the desktop entry's ${pair#*:} in $lang" \
            "$(xpath "string(/component/${pair%%:*}[@xml:lang='$lang'])")" "$(entry "${pair#*:}\\[$lang\\]")"
    done
done
agree "the metainfo's categories and the desktop entry's" \
    "$(xpath '/component/categories/category/text()' | sort | tr '\n' ';')" "$(entry Categories | tr ';' '\n' | sed '/^$/d' | sort | tr '\n' ';')"
for id in 6001 6014; do
    [ -n "$(xpath "/component/provides/modalias[text()='usb:v0403p${id}d*']")" ] ||
        { echo "package check: the metainfo does not provide usb:v0403p${id}d*, which the udev rule takes" >&2; status=1; }
done
version=$(dpkg-deb -f "$deb" Version)
agree "the package's version and the changelog's" "$version" \
    "$(zcat "$unpacked/usr/share/doc/quarnet/changelog.gz" | dpkg-parsechangelog -l - -S Version)"
agree "the package's version and the metainfo's newest release" "$version" "$(xpath 'string(/component/releases/release[1]/@version)')"

tests/manpage/check_manpage.sh "$unpacked/usr/bin/quarnet" "$unpacked/usr/share/man" || status=1

[ $status -eq 0 ] && echo "package check: $deb holds every file and dependency it needs, and lintian and the validators pass it"
exit $status
