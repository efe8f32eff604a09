#!/usr/bin/env bash
# The test command: the formatting and folder layering checks, set-up, configure, build, then
#   - a repeatable fuzzing smoke of the document, reply and signing fuzzers (clang, libFuzzer):
#     the kept regression inputs, then the same 30,000 inputs on every machine,
#   - the library-level suites again under AddressSanitizer and UndefinedBehaviorSanitizer,
#   - every test of the Linux suite (benchmarks excluded),
#   - the Windows suite: TwCouponPay5.dll cross-built with mingw-w64 and run under Wine (the first
#     run on a machine builds Qt for Windows into a cache folder, about 13 minutes on 2 idle cores).
# Set QUICK=1 to run only the Linux suite.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/check-format.sh
bash scripts/check-layers.sh
bash scripts/build.sh
if [ -z "${QUICK:-}" ]; then
    FUZZ_RUNS=${FUZZ_RUNS:-30000} bash scripts/fuzz-smoke.sh
    SANITIZE_TESTS="${SANITIZE_TESTS:-tst_messages tst_reversal tst_inputdocuments tst_hosttext tst_inifile tst_entry tst_dialogs tst_poshost tst_lostconsumption}" \
        bash scripts/sanitize.sh
fi
(cd build && ctest --output-on-failure -LE bench -j2 --timeout 300)
if [ -z "${QUICK:-}" ]; then
    TW_LINUX_BUILD="$PWD/build" bash scripts/windows/test.sh
fi
