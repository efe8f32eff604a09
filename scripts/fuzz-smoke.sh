#!/usr/bin/env bash
# Builds the libFuzzer targets (fuzz/, clang) into build-fuzz/ and runs each one, two at a time.
#
#   bash scripts/fuzz-smoke.sh                       # explore: 30 s each, random seed
#   FUZZ_SECONDS=600 bash scripts/fuzz-smoke.sh replies signing
#   FUZZ_RUNS=30000 bash scripts/fuzz-smoke.sh       # repeatable: what the test command runs
#
# Exploring keeps its corpus in build-fuzz/corpus/<target> between runs, so every run starts where
# the last one stopped. The repeatable mode starts from the seeds alone with a fixed seed and a
# fixed number of inputs, so a clean clone on any machine runs exactly the same inputs.
# Both replay fuzz/regressions/<target>/ first: every input that once broke a check is kept
# there. A crash, sanitizer report, time-out or failed check leaves its input in
# build-fuzz/artifacts/<target>/ and fails the script.
#
# Leaks are looked for in a second pass over the corpus. Qt is built without frame pointers, so
# only the slow unwinder sees through it to the frames a suppression (fuzz/lsan.supp) names; with
# it on every allocation the fuzzer runs five times slower. Fuzzing therefore runs without leak
# detection, and afterwards every corpus input runs once more with both.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
tree=$root/build-fuzz
seconds=${FUZZ_SECONDS:-30}
runs=${FUZZ_RUNS:-}
targets=("$@")
if ((${#targets[@]} == 0)); then
    targets=(inputdocuments replies signing)
fi

. scripts/lib/cmake.sh
configure_and_build fuzz "$tree" "$tree.log" -DCMAKE_CXX_COMPILER=clang++-14 -DCMAKE_BUILD_TYPE=RelWithDebInfo
rm -rf "$tree/seeds"
python3 fuzz/make_seeds.py "$tree/seeds"
mkdir -p "$tree/logs"

run_target() {
    local target=$1
    local corpus=$tree/corpus/$target
    local budget=(-max_total_time="$seconds")
    if [ -n "$runs" ]; then
        corpus=$tree/corpus-repeatable/$target
        rm -rf "$corpus"
        budget=(-runs="$runs" -seed=1)
    fi
    local regressions=$root/fuzz/regressions/$target
    mkdir -p "$corpus" "$tree/artifacts/$target" "$regressions"
    rm -f "$tree/artifacts/$target"/*
    # -timeout: one input taking 10 s is a finding (the host waits on us), not a slow machine.
    local status=0
    ASAN_OPTIONS=detect_leaks=0 \
    "$tree/fuzz_$target" "${budget[@]}" -timeout=10 -rss_limit_mb=2048 -detect_leaks=0 \
        -dict="$root/fuzz/dicts/$target.dict" -artifact_prefix="$tree/artifacts/$target/" \
        -print_final_stats=1 "$corpus" "$regressions" "$tree/seeds/$target" \
        > "$tree/logs/$target.log" 2>&1 || status=$?
    if [ "$status" = 0 ]; then
        find "$corpus" "$regressions" "$tree/seeds/$target" -type f -print0 \
            | ASAN_OPTIONS=detect_leaks=1:fast_unwind_on_malloc=0 \
              LSAN_OPTIONS="suppressions=$root/fuzz/lsan.supp:print_suppressions=0" \
              xargs -0 "$tree/fuzz_$target" -runs=1 > "$tree/logs/$target.leaks.log" 2>&1 || status=$?
    fi
    echo "$status" > "$tree/logs/$target.status"
}

running=0
for target in "${targets[@]}"; do
    if ((running == 2)); then
        wait -n || true
        running=$((running - 1))
    fi
    run_target "$target" &
    running=$((running + 1))
done
wait

failed=0
for target in "${targets[@]}"; do
    status=$(cat "$tree/logs/$target.status")
    executed=$(sed -n 's/^stat::number_of_executed_units: *//p' "$tree/logs/$target.log")
    seconds_taken=$(sed -n 's/.*Done [0-9]* runs in \([0-9]*\) second.*/\1/p' "$tree/logs/$target.log")
    echo "fuzz: $target: exit $status, ${executed:-?} executions in ${seconds_taken:-$seconds}s"
    if [ "$status" != 0 ] || [ -n "$(ls -A "$tree/artifacts/$target")" ]; then
        failed=1
        cat "$tree/logs/$target.log" "$tree/logs/$target.leaks.log" 2>/dev/null \
            | grep -E "ERROR|check failed|SUMMARY" | head -n 20 || true
        ls "$tree/artifacts/$target"
    fi
done
exit "$failed"
