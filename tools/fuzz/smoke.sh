#!/usr/bin/env bash
# Builds the fuzz targets (preset fuzz: clang, ASan + UBSan, build/fuzz) and gives each one a
# short run: first every committed regression input (fuzz/regressions/<target>/) once, then
# FUZZ_SECONDS (default 30) of fuzzing from its seed corpus (fuzz/corpus/<target>/, read only).
# Exit status 0 when no target crashed, leaked, timed out or broke a promise; a failing input is
# kept in build/fuzz/artifacts/.
#
#   tools/fuzz/smoke.sh [TARGET...]      (default: every target)
set -uo pipefail
cd "$(dirname "$0")/../.."
seconds=${FUZZ_SECONDS:-30}
jobs=${FUZZ_JOBS:-$(nproc)}
build=${FUZZ_BUILD:-build/fuzz}  # another folder for experiments: FUZZ_BUILD=build/me-fuzz

mkdir -p "$build"
if ! { cmake --preset fuzz -B "$build" && cmake --build "$build" -j "$jobs"; } >"$build/fuzz-build.log" 2>&1; then
    grep -E -A3 "error|Error" "$build/fuzz-build.log" | head -40 >&2
    echo "fuzz-smoke: build FAILED ($build/fuzz-build.log)" >&2
    exit 1
fi

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
    for bin in "$build"/bin/fuzz_*; do targets+=("$(basename "$bin")"); done
fi
mkdir -p "$build"/artifacts
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

failed=0
for target in "${targets[@]}"; do
    bin=$build/bin/$target
    max_len=262144
    # A volume with shadow copies needs its stores' block lists and bitmaps: its seed is larger.
    [ "$target" = fuzz_shadow ] && max_len=1048576
    options=(-timeout=25 -rss_limit_mb=2048 -max_len=$max_len -artifact_prefix="$build"/artifacts/"$target"-)
    regressions=(fuzz/regressions/"$target"/*)
    if [ -e "${regressions[0]}" ]; then
        if ! "$bin" "${options[@]}" "${regressions[@]}" >"$work/$target.replay.log" 2>&1; then
            tail -30 "$work/$target.replay.log" >&2
            echo "fuzz-smoke: $target FAILED on a committed regression input" >&2
            failed=$((failed + 1))
            continue
        fi
    fi
    mkdir -p "$work/$target"
    if "$bin" "${options[@]}" -max_total_time="$seconds" -print_final_stats=1 \
        "$work/$target" fuzz/corpus/"$target" >"$work/$target.log" 2>&1; then
        runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$work/$target.log")
        found=$(find "$work/$target" -type f | wc -l)
        seeds=$(find fuzz/corpus/"$target" -type f 2>/dev/null | wc -l)
        printf 'fuzz-smoke: %-14s ok  %8s runs in %ss, %s seeds, %s new inputs\n' "$target" "$runs" "$seconds" "$seeds" "$found"
    else
        grep -E -B2 -A25 "ERROR|broken promise|runtime error" "$work/$target.log" | head -60 >&2
        grep -E "Test unit written to" "$work/$target.log" >&2
        echo "fuzz-smoke: $target FAILED" >&2
        failed=$((failed + 1))
    fi
done
[ "$failed" -eq 0 ]
