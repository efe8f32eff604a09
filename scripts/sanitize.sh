#!/usr/bin/env bash
# Builds the library, the tools and every test with AddressSanitizer (leak checking included)
# and UndefinedBehaviorSanitizer into build-asan/, then runs the test suite there.
#
#   bash scripts/sanitize.sh            # the whole suite, benchmarks excluded
#   bash scripts/sanitize.sh -R tst_x   # extra arguments go to ctest
#   SANITIZE_TESTS="tst_messages tst_poshost" bash scripts/sanitize.sh
#                                       # build and run only these tests (and what they load)
#
# pos-host, scrm-sim and the cashier robot are built in the same tree with the same flags, so
# the end-to-end tests run an instrumented host that dlopen()s the instrumented plug-in; the
# sanitizer runtime is therefore already in the process before the plug-in arrives.
#
# Reports go to build-asan/sanitizer-logs/ instead of stderr: a child process started by a test
# (pos-host, scrm-sim) may have its stderr swallowed, or may be expected to fail. Any report file
# fails the run, even when every test passed.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
tree=$root/build-asan
logs=$tree/sanitizer-logs

bash scripts/setup.sh

. scripts/lib/cmake.sh
flags="-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined"
build_targets=()
only=()
if [ -n "${SANITIZE_TESTS:-}" ]; then
    read -r -a build_targets <<< "$SANITIZE_TESTS"
    only=(-R "^($(tr ' ' '|' <<< "$SANITIZE_TESTS"))\$")
    build_targets=(--target "${build_targets[@]}")
fi
configure_and_build . "$tree" "$tree.log" \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g" \
    -DCMAKE_CXX_FLAGS="$flags" \
    -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined" \
    -DCMAKE_SHARED_LINKER_FLAGS="-fsanitize=address,undefined" \
    -DTW_BUILD_BENCH=OFF -- "${build_targets[@]}"
echo "sanitize: build ok (log in build-asan.log)"

rm -rf "$logs"
mkdir -p "$logs"
export ASAN_OPTIONS="halt_on_error=1:detect_leaks=1:fast_unwind_on_malloc=0:check_initialization_order=1:strict_init_order=1:detect_stack_use_after_return=1:log_path=$logs/asan"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1:log_path=$logs/ubsan"
export LSAN_OPTIONS="suppressions=$root/scripts/lsan.supp:print_suppressions=0"

# Left out here, and run by the normal suite: tst_longrun watches the host process between calls,
# where the sanitizer's quarantine of freed blocks keeps memory by design; leaks of those same
# calls are LeakSanitizer's job elsewhere. (The GLib host rows of tst_poshost skip themselves
# here: that host is not instrumented and cannot load the instrumented plug-in.)
skipped='^(tst_longrun)$'

status=0
(cd "$tree" && ctest --output-on-failure -LE bench -E "$skipped" -j2 --timeout 600 "${only[@]}" "$@") || status=$?

shopt -s nullglob
reports=("$logs"/*)
if ((${#reports[@]})); then
    for report in "${reports[@]}"; do
        echo "==== $report"
        cat "$report"
    done
    echo "sanitize: ${#reports[@]} sanitizer report(s)"
    exit 1
fi
if ((status)); then
    echo "sanitize: tests failed"
    exit "$status"
fi
echo "sanitize: ok, no sanitizer reports"
