#!/usr/bin/env bash
# The test command: set-up, configure, build, every test (benchmarks excluded), then the checks
# that need other compilers: the Windows side of the platform layer.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh
(cd build && ctest --output-on-failure -LE bench -j2 --timeout 300)
bash scripts/check-windows.sh
