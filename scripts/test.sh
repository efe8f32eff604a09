#!/usr/bin/env bash
# The test command: set-up, configure, build, then every test (benchmarks excluded).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh
cd build
ctest --output-on-failure -LE bench -j2 --timeout 300
