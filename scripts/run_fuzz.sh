#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for a bounded time on
# its checked-in seeds, then once over every input that ever found a bug.
# A crash, a sanitizer report or a round-trip mismatch fails the run.
# The targets are those fuzz/CMakeLists.txt lists.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/setup.sh
seconds=${QUARNET_FUZZ_SECONDS:-30}
build=${1:-build-fuzz}
quarnet_configure "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ -DQUARNET_FUZZ=ON >/dev/null
cmake --build "$build" --parallel "$(nproc)" --target fuzzers
mapfile -t targets <"$build/fuzz/fuzzers.txt"

export QT_QPA_PLATFORM=offscreen
# fuzz_one <target>: its kept regressions, then its bounded run; each target
# runs on one processor, so they run side by side, as many as there are.
fuzz_one() {
    local target=$1 work regressions status=0
    work=$(mktemp -d)
    mkdir -p "$work/corpus"
    regressions=fuzz/regressions/$target
    if [ -d "$regressions" ] && [ -n "$(ls -A "$regressions")" ]; then
        if ! "$build/fuzz/$target" "$regressions"/* >"$work/regressions.log" 2>&1; then
            { echo "fuzz: $target fails on a kept regression input"; tail -30 "$work/regressions.log"; } >&2
            status=1
        fi
    fi
    # New corpus units go to the scratch folder; the seeds stay as committed.
    if "$build/fuzz/$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=4096 \
        -artifact_prefix="$work/" "$work/corpus" "fuzz/corpus/$target" >"$work/fuzz.log" 2>&1; then
        echo "fuzz: $target ran ${seconds}s clean ($(grep -o 'Done [0-9]* runs' "$work/fuzz.log" || echo 'runs unknown'))"
        [ $status -eq 0 ] && rm -rf "$work"
    else
        { echo "fuzz: $target FAILED; input and log kept in $work (copy the input into $regressions)"
          tail -40 "$work/fuzz.log"; } >&2
        status=1
    fi
    return $status
}

status=0
running=0
for target in "${targets[@]}"; do
    if ((running >= $(nproc))); then
        wait -n || status=1
        running=$((running - 1))
    fi
    fuzz_one "$target" &
    running=$((running + 1))
done
while ((running > 0)); do
    wait -n || status=1
    running=$((running - 1))
done
exit $status
