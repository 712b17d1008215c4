#!/usr/bin/env bash
# Fails when a library folder includes a header of another
# library folder that its CMakeLists.txt does not name. Only quoted includes
# count; a header is known by its file name, which is unique across the
# libraries. Usage: scripts/check_includes.sh [source root]
set -euo pipefail
cd "${1:-$(dirname "$0")/..}"

declare -A folder_of_target # quarnet_drive -> drive
declare -A folder_of_header # MotorDrive.h -> drive, ftdi/FtdiPort.h -> port
declare -A spelled_in_folder # FtdiPort.h -> ftdi/FtdiPort.h
declare -A files_of_folder   # port -> its sources, its routes' folders included
status=0

for cmake in */CMakeLists.txt tests/*/CMakeLists.txt; do
    dir=${cmake%/CMakeLists.txt}
    target=$(sed -nE 's/^[[:space:]]*(quarnet_add_library|add_library)\((quarnet_[a-z0-9_]+).*/\2/p' "$cmake" | head -n1)
    [[ -n $target ]] || continue
    folder_of_target[$target]=$dir
    files_of_folder[$dir]=""
    # A library's headers are included as they lie under its include
    # directory: "PortAccess.h", and "ftdi/FtdiPort.h" for a route's folder
    # (a subfolder that is an include directory of its own keeps bare names).
    for sub in "" "$dir"/*/; do
        sub=${sub%/}
        prefix=""
        if [[ -n $sub ]]; then
            sub=${sub##*/}
            [[ -e $dir/$sub/CMakeLists.txt ]] && continue
            grep -q "CMAKE_CURRENT_SOURCE_DIR}/$sub/" "$cmake" || continue
            grep -Eq "include_directories.*CMAKE_CURRENT_SOURCE_DIR\}/$sub\b" "$cmake" || prefix="$sub/"
            sub="/$sub"
        fi
        for source in "$dir$sub"/*.h "$dir$sub"/*.cpp; do
            [[ -e $source ]] && files_of_folder[$dir]+="$source "
        done
        for header in "$dir$sub"/*.h; do
            [[ -e $header ]] || continue
            name=$prefix${header##*/}
            if [[ -n ${folder_of_header[$name]:-} ]]; then
                echo "check_includes: $name is in both ${folder_of_header[$name]}/ and $dir/" >&2
                status=1
            fi
            folder_of_header[$name]=$dir
            [[ -n $prefix ]] && spelled_in_folder[${header##*/}]=$name
        done
    done
done

# Checks the quoted includes of the given files against the folders that
# `cmake_file` names through their targets.
check() {
    local owner=$1 cmake_file=$2
    shift 2
    local -A declared=()
    local target
    for target in $(grep -oE 'quarnet_[a-z0-9_]+' "$cmake_file" | sort -u); do
        [[ -n ${folder_of_target[$target]:-} ]] && declared[${folder_of_target[$target]}]=1
    done
    local file line header from
    for file in "$@"; do
        while IFS= read -r line; do
            header=${line#*\"}
            header=${header%%\"*}
            if [[ -n ${spelled_in_folder[$header]:-} ]]; then
                echo "check_includes: $file includes $header, which is included as ${spelled_in_folder[$header]}" >&2
                status=1
                continue
            fi
            from=${folder_of_header[$header]:-}
            [[ -z $from || $from == "$owner" || -n ${declared[$from]:-} ]] && continue
            echo "check_includes: $file includes $header from $from/, which $cmake_file does not name" >&2
            status=1
        done < <(grep -E '^[[:space:]]*#[[:space:]]*include[[:space:]]*"' "$file" || true)
    done
}

for dir in "${folder_of_target[@]}"; do
    read -ra files <<< "${files_of_folder[$dir]}"
    check "$dir" "$dir/CMakeLists.txt" "${files[@]}"
done

if ((status == 0)); then
    echo "check_includes: every include is declared (${#folder_of_target[@]} libraries)"
fi
exit $status
