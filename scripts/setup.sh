#!/usr/bin/env bash
# Shared by ./run and ./test: make sure the Debian packages are present, then
# configure and build the given tree. Sourced, not executed. Every name here
# exists on Debian 12 and 13, amd64 and arm64 alike.

# What building and running need (./run).
QUARNET_RUN_PACKAGES=(cmake ninja-build g++ pkgconf qt6-base-dev qt6-qpa-plugins libftdi1-dev libgpiod-dev
                      libgl-dev fonts-liberation2)
# What ./test adds: clang and its sanitizer and fuzzer runtimes, the private
# display the desktop tests drive, the package stage's tools (lintian, the
# desktop-entry and AppStream validators, xmllint to read the metadata, man
# for the manual page's test), the private message bus of the scheduling
# test, and a compiler cache, since every stage builds the whole tree again;
# a headless Wayland compositor with its key sender and Qt's Wayland plugin,
# for the runs as a native Wayland client; weston and mutter (and labwc,
# which came with Debian 13) with the X tools that read what their window
# managers did; strace, to see what the login session asks of the kernel for
# the documented limits line, and udev where its udevadm can verify rules.
QUARNET_FUZZ_PACKAGES=(clang libclang-rt-dev)
QUARNET_SUITE_PACKAGES=(libx11-dev xvfb xdotool dpkg-dev file desktop-file-utils appstream dbus-daemon ccache
                        sway wtype xwayland qt6-wayland lintian libxml2-utils man-db weston mutter x11-utils strace)
grep -qs '^VERSION_CODENAME=bookworm$' /etc/os-release || QUARNET_SUITE_PACKAGES+=(labwc grim udev)
QUARNET_TEST_PACKAGES=("${QUARNET_FUZZ_PACKAGES[@]}" "${QUARNET_SUITE_PACKAGES[@]}")
# What the Debian 13 and arm64 stages add to this machine to make their trees.
QUARNET_STAGE_PACKAGES=(debootstrap rsync)

# quarnet_missing_packages <package...>
quarnet_missing_packages() {
    local pkg missing=()
    for pkg in "$@"; do
        dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed' || missing+=("$pkg")
    done
    echo "${missing[@]}"
}

# quarnet_apt_install <package...>: installs those not yet installed, as
# root or through sudo when it needs no password; otherwise says what to run.
quarnet_apt_install() {
    local missing
    missing=$(quarnet_missing_packages "$@")
    [ -z "$missing" ] && return 0
    local apt=(env DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=600)
    if [ "$(id -u)" -eq 0 ]; then
        :
    elif command -v sudo >/dev/null 2>&1 && sudo -n true 2>/dev/null; then
        apt=(sudo "${apt[@]}")
    else
        echo "Missing packages: $missing" >&2
        echo "Install them with:  sudo apt-get install -y $missing" >&2
        return 1
    fi
    echo "Installing packages: $missing"
    "${apt[@]}" update -qq || return 1
    # shellcheck disable=SC2086
    "${apt[@]}" install -y -qq $missing || return 1
}

# quarnet_install_packages [run|test|suite|stages]: suite is what the test
# suite alone needs, without the fuzzing compiler (the Debian 13 stage).
quarnet_install_packages() {
    case ${1:-run} in
        run) quarnet_apt_install "${QUARNET_RUN_PACKAGES[@]}" ;;
        test) quarnet_apt_install "${QUARNET_RUN_PACKAGES[@]}" "${QUARNET_TEST_PACKAGES[@]}" ;;
        suite) quarnet_apt_install "${QUARNET_RUN_PACKAGES[@]}" "${QUARNET_SUITE_PACKAGES[@]}" ;;
        stages) quarnet_apt_install "${QUARNET_STAGE_PACKAGES[@]}" ;;
        *) echo "quarnet_install_packages: run, test, suite or stages, not $1" >&2; return 1 ;;
    esac
}

# quarnet_use_compiler_cache: every build configured after this compiles
# through ccache, its cache outside the clone and shared by every clone.
quarnet_use_compiler_cache() {
    command -v ccache >/dev/null 2>&1 || return 0
    export CMAKE_CXX_COMPILER_LAUNCHER=ccache CMAKE_C_COMPILER_LAUNCHER=ccache
    export CCACHE_BASEDIR=$PWD
}

# quarnet_configure <build dir> [extra cmake arguments...]: configures the
# folder with these arguments whenever they differ from those it was last
# configured with; an option given then and not now goes back to its
# default (-U), so the folder always builds what the caller asked for.
# With the same arguments as last time it does nothing: the build itself
# configures again when a CMakeLists.txt has changed.
quarnet_configure() {
    local dir=$1; shift
    local args=(-G Ninja -DCMAKE_BUILD_TYPE=Release "$@")
    # The compiler cache too, when one is in use: CMake reads its variable
    # from the environment only on a folder's first configuration.
    [ -z "${CMAKE_CXX_COMPILER_LAUNCHER:-}" ] || args+=(-DCMAKE_CXX_COMPILER_LAUNCHER="$CMAKE_CXX_COMPILER_LAUNCHER")
    local stamp=$dir/quarnet-configure-arguments wanted last name forget=()
    wanted=$(printf '%s\n' "${args[@]}")
    if [ -f "$dir/build.ninja" ] && [ -f "$stamp" ]; then
        last=$(<"$stamp")
        [ "$last" = "$wanted" ] && return 0
        while IFS= read -r name; do
            [[ $name == -D* ]] || continue
            name=${name#-D}
            name=${name%%=*}
            name=${name%%:*}
            grep -q -e "^-D$name=" -e "^-D$name:" <<<"$wanted" || forget+=("-U$name")
        done <<<"$last"
    fi
    rm -f "$stamp"
    cmake -S . -B "$dir" "${forget[@]}" "${args[@]}" || return 1
    printf '%s\n' "$wanted" >"$stamp"
}

# quarnet_build <build dir> [extra cmake arguments...]: configured as above,
# then built.
quarnet_build() {
    quarnet_configure "$@" || return 1
    cmake --build "$1" --parallel "$(nproc)" || return 1
}
