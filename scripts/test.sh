#!/usr/bin/env bash
# The test command: set-up, configure, build, then
#   - the Windows side of the platform layer compiled with the mingw-w64 cross compiler,
#   - a short fuzzing smoke of the document, reply and signing fuzzers (clang, libFuzzer),
#   - the library-level suites again under AddressSanitizer and UndefinedBehaviorSanitizer,
#   - every test of the suite (benchmarks excluded), last, so its summary closes the run.
# Set QUICK=1 to run only the last step.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh
if [ -z "${QUICK:-}" ]; then
    bash scripts/check-windows.sh
    FUZZ_SECONDS=${FUZZ_SECONDS:-15} bash scripts/fuzz-smoke.sh
    SANITIZE_TESTS="${SANITIZE_TESTS:-tst_fuzzregressions tst_replies tst_requests tst_signing tst_refund tst_inputdocuments tst_hosttext tst_resultdocuments tst_controller tst_keyboard tst_poshost tst_returns}" \
        bash scripts/sanitize.sh
fi
(cd build && ctest --output-on-failure -LE bench -j2 --timeout 300)
