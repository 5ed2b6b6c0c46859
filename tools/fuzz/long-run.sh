#!/usr/bin/env bash
# Long fuzzing runs for the figures, one target at a time at the lowest priority (the machine is
# shared): executions, crashes, slow inputs, corpus growth. Not part of the test command.
#
#   tools/fuzz/long-run.sh [-t SECONDS] [--merge] [TARGET...]    (default: 600 s, every target)
#
# Each target fuzzes from its seed corpus into build/fuzz/long/<target>/ (kept between runs, so a
# second run goes on where the first stopped); crash inputs land in build/fuzz/long/artifacts/.
# With --merge, the inputs that add coverage are merged into fuzz/corpus/<target>/ afterwards
# (review and commit them; a crash input belongs in fuzz/regressions/<target>/ once fixed).
# FUZZ_BUILD names another build folder (default build/fuzz).
set -uo pipefail
cd "$(dirname "$0")/../.."
seconds=600
merge=0
targets=()
while [ $# -gt 0 ]; do
    case $1 in
        -t) seconds=$2; shift 2 ;;
        --merge) merge=1; shift ;;
        *) targets+=("$1"); shift ;;
    esac
done
build=${FUZZ_BUILD:-build/fuzz}
mkdir -p "$build"
{ cmake --preset fuzz -B "$build" && cmake --build "$build" -j 2; } >"$build/fuzz-build.log" 2>&1 ||
    { echo "long-run: build FAILED ($build/fuzz-build.log)" >&2; exit 1; }
if [ ${#targets[@]} -eq 0 ]; then
    for bin in "$build"/bin/fuzz_*; do targets+=("$(basename "$bin")"); done
fi
out=$build/long
mkdir -p "$out/artifacts"

printf '%-14s %8s %10s %8s %8s %8s %8s %8s\n' target seconds runs exec/s crashes slow corpus cov
for target in "${targets[@]}"; do
    mkdir -p "$out/$target"
    log=$out/$target.log
    started=$out/.started-$target
    touch "$started"
    max_len=262144
    [ "$target" = fuzz_shadow ] && max_len=1048576  # its volumes carry their stores' lists and bitmaps
    nice -n 19 "$build/bin/$target" -max_total_time="$seconds" -timeout=25 -rss_limit_mb=2048 -max_len=$max_len \
        -print_final_stats=1 -artifact_prefix="$out/artifacts/$target-" \
        "$out/$target" fuzz/corpus/"$target" >"$log" 2>&1
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log")
    cov=$(grep -oE 'cov: [0-9]+' "$log" | tail -1 | cut -d' ' -f2)
    # This run's artifacts only: crashes, leaks, timeouts and out-of-memory inputs, then the inputs
    # that merely ran slower than libFuzzer's 10 s report threshold.
    crashes=$(find "$out/artifacts" -newer "$started" \( -name "$target-crash-*" -o -name "$target-leak-*" \
        -o -name "$target-timeout-*" -o -name "$target-oom-*" \) | wc -l)
    slow=$(find "$out/artifacts" -newer "$started" -name "$target-slow-unit-*" | wc -l)
    corpus=$(find "$out/$target" -type f | wc -l)
    printf '%-14s %8s %10s %8s %8s %8s %8s %8s\n' "$target" "$seconds" "${runs:-?}" "${rate:-?}" "$crashes" "$slow" "$corpus" \
        "${cov:-?}"
    if [ "$merge" -eq 1 ]; then
        nice -n 19 "$build/bin/$target" -merge=1 -timeout=25 -rss_limit_mb=2048 -max_len=$max_len \
            fuzz/corpus/"$target" "$out/$target" >"$out/$target.merge.log" 2>&1
    fi
done
