#!/usr/bin/env bash
# The Debian 13 stage of ./test: the clone's files copied into a Debian 13
# tree kept in the cache (made with debootstrap on the first run), the
# project's own set-up run there as a new user would, then the Release build,
# its test suite and the package check, all with libgpiod 2 and Qt 6.8. The
# tree's environment is bare (no locale), as a CI runner's is. The build stays
# in the tree between runs: only files whose contents changed are copied, so
# a second run rebuilds only what changed. The rig runs this build too.
# With --prepare it only makes the tree and installs its packages, which
# ./test does in the background while the first stages compile.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/setup.sh
source scripts/quarnet_tree.sh
quarnet_install_packages stages

root=$(quarnet_tree trixie)
work=$root/work/quarnet
mkdir -p "$work"
# By contents, not times: a fresh clone's files are all new to the clock.
# A file that changed takes the time it is copied at, not its time here
# (no -t): a change made here before the tree's last build would otherwise
# look older than its objects, and the build would keep the old ones.
# The tree's own build folders are left alone.
rsync -rlpD --checksum --delete --exclude='/.git' --exclude='/build*' ./ "$work/"

echo "debian13: $(cat "$root/etc/debian_version") in $root"
# No fuzzing compiler: the fuzz targets are built and run on this machine.
quarnet_tree_run "$root" /bin/bash -c 'cd /work/quarnet && source scripts/setup.sh && quarnet_install_packages suite'
[ "${1:-}" = --prepare ] && exit 0
quarnet_tree_run "$root" /bin/bash -c '
    set -euo pipefail
    cd /work/quarnet
    source scripts/setup.sh
    quarnet_use_compiler_cache
    echo "debian13: g++ $(g++ -dumpfullversion), Qt $(dpkg-query -W -f="\${Version}" qt6-base-dev), libgpiod $(pkg-config --modversion libgpiod), cmake $(cmake --version | head -n1 | cut -d" " -f3)"
    quarnet_build build
    QT_QPA_PLATFORM=offscreen ctest --test-dir build --output-on-failure --parallel "$(nproc)"
    scripts/check_package.sh build
'
