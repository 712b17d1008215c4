#!/usr/bin/env bash
# Shared by ./run and ./test: make sure the Debian build packages are present,
# then configure and build the given tree. Sourced, not executed.

QUARNET_PACKAGES=(cmake ninja-build g++ clang libclang-rt-14-dev qt6-base-dev libftdi1-dev libgpiod-dev pkgconf libgl-dev fonts-liberation2 dpkg-dev desktop-file-utils appstream libx11-dev xvfb xdotool)

quarnet_missing_packages() {
    local pkg missing=()
    for pkg in "${QUARNET_PACKAGES[@]}"; do
        dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed' || missing+=("$pkg")
    done
    echo "${missing[@]}"
}

quarnet_install_packages() {
    local missing
    missing=$(quarnet_missing_packages)
    [ -z "$missing" ] && return 0
    local apt=(env DEBIAN_FRONTEND=noninteractive apt-get)
    if [ "$(id -u)" -eq 0 ]; then
        :
    elif command -v sudo >/dev/null 2>&1 && sudo -n true 2>/dev/null; then
        apt=(sudo env DEBIAN_FRONTEND=noninteractive apt-get)
    else
        echo "Missing build packages: $missing" >&2
        echo "Install them with:  sudo apt-get install -y $missing" >&2
        return 1
    fi
    echo "Installing build packages: $missing"
    "${apt[@]}" update -qq || return 1
    # shellcheck disable=SC2086
    "${apt[@]}" install -y -qq $missing || return 1
}

# quarnet_build <build dir> [extra cmake arguments...]
quarnet_build() {
    local dir=$1; shift
    if [ ! -f "$dir/build.ninja" ]; then
        cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release "$@" || return 1
    fi
    cmake --build "$dir" --parallel "$(nproc)" || return 1
}
