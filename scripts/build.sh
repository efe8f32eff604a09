#!/usr/bin/env bash
# Configures and builds everything into build/ (the library lands at build/libTwCouponPay5.so).
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/lib/cmake.sh
bash scripts/setup.sh
configure_and_build . build build.log -DCMAKE_BUILD_TYPE=RelWithDebInfo
echo "build: ok (log in build.log)"
