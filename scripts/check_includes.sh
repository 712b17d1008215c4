#!/usr/bin/env bash
# Fails when a library folder includes a header of another
# library folder that its CMakeLists.txt does not name. Only quoted includes
# count; a header is known by its file name, which is unique across the
# libraries. Usage: scripts/check_includes.sh [source root]
set -euo pipefail
cd "${1:-$(dirname "$0")/..}"

declare -A folder_of_target # quarnet_drive -> drive
declare -A folder_of_header # MotorDrive.h -> drive
status=0

for cmake in */CMakeLists.txt tests/*/CMakeLists.txt; do
    dir=${cmake%/CMakeLists.txt}
    target=$(sed -nE 's/^[[:space:]]*(quarnet_add_library|add_library)\((quarnet_[a-z0-9_]+).*/\2/p' "$cmake" | head -n1)
    [[ -n $target ]] || continue
    folder_of_target[$target]=$dir
    for header in "$dir"/*.h; do
        [[ -e $header ]] || continue
        name=${header##*/}
        if [[ -n ${folder_of_header[$name]:-} ]]; then
            echo "check_includes: $name is in both ${folder_of_header[$name]}/ and $dir/" >&2
            status=1
        fi
        folder_of_header[$name]=$dir
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
            from=${folder_of_header[$header]:-}
            [[ -z $from || $from == "$owner" || -n ${declared[$from]:-} ]] && continue
            echo "check_includes: $file includes $header from $from/, which $cmake_file does not name" >&2
            status=1
        done < <(grep -E '^[[:space:]]*#[[:space:]]*include[[:space:]]*"' "$file" || true)
    done
}

for dir in "${folder_of_target[@]}"; do
    shopt -s nullglob
    files=("$dir"/*.h "$dir"/*.cpp)
    shopt -u nullglob
    check "$dir" "$dir/CMakeLists.txt" "${files[@]}"
done

if ((status == 0)); then
    echo "check_includes: every include is declared (${#folder_of_target[@]} libraries)"
fi
exit $status
