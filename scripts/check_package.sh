#!/usr/bin/env bash
# Builds the .deb from a configured build tree and checks what it holds:
# every file a desktop install needs, in its standard place, the libraries
# the shared-library scan must find (Qt, libftdi1, libgpiod) and the run-time
# dependencies that it cannot see.
set -euo pipefail
build=${1:-build}
(cd "$build" && cpack -G DEB >/dev/null)
deb=$(ls "$build"/quarnet_*_amd64.deb)
listing=$(dpkg-deb -c "$deb" | awk '{print $6}')
status=0
for path in \
    ./usr/bin/quarnet \
    ./usr/share/applications/quarnet.desktop \
    ./usr/share/metainfo/org.example.Quarnet.metainfo.xml \
    ./usr/share/icons/hicolor/32x32/apps/quarnet.png \
    ./usr/share/icons/hicolor/128x128/apps/quarnet.png \
    ./usr/lib/udev/rules.d/60-quarnet-parport.rules \
    ./usr/lib/udev/rules.d/60-quarnet-ftdi.rules; do
    if ! grep -qx "$path" <<<"$listing"; then
        echo "package check: $path missing from $deb" >&2
        status=1
    fi
done
depends=$(dpkg-deb -f "$deb" Depends)
for dep in libqt6widgets6 libqt6gui6 libqt6core6 libftdi1-2 libgpiod2 qt6-qpa-plugins fonts-liberation2; do
    if ! grep -q "$dep" <<<"$depends"; then
        echo "package check: Depends lacks $dep ($depends)" >&2
        status=1
    fi
done
if command -v desktop-file-validate >/dev/null; then
    desktop-file-validate packaging/quarnet.desktop || status=1
fi
if command -v appstreamcli >/dev/null; then
    appstreamcli validate --no-net --pedantic packaging/org.example.Quarnet.metainfo.xml >/dev/null || {
        appstreamcli validate --no-net packaging/org.example.Quarnet.metainfo.xml || status=1
    }
fi
[ $status -eq 0 ] && echo "package check: $deb holds every file and dependency it needs"
exit $status
