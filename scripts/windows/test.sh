#!/usr/bin/env bash
# The Windows suite: builds dist/win32 (and Qt for Windows first when the cache lacks it,
# about 13 minutes on 2 idle cores), then, under Wine in code page 936, the unit tests of the
# platform-bound rules (tests/support cross-built: host text, INI files, the log's CR LF and its
# two writing threads) and tests/windows on a 1920x1080 Xvfb display (TW_XVFB_SCREEN to change
# it; the Linux suite sees the offscreen 800x600) against the Linux simulator, comparing with
# the Linux build.
#   TW_LINUX_BUILD  the Linux build to compare with and take scrm-sim from (default build/);
#                   the targets it needs are built there when missing
#   TW_WIN_BUILD    the Windows build folder (default build-win32)
set -euo pipefail
cd "$(dirname "$0")/../.."
root=$(pwd)
start=$(date +%s)

bash scripts/windows/build.sh

linux="${TW_LINUX_BUILD:-$root/build}"
if [ ! -f "$linux/CMakeCache.txt" ]; then
    cmake -S "$root" -B "$linux" >/dev/null
fi
nice -n 10 cmake --build "$linux" -j"$(nproc)" --target TwCouponPay5 pos-host scrm-sim cashier-robot -- -s

tests="$root/build-win32-tests"
if [ ! -f "$tests/CMakeCache.txt" ]; then
    cmake -S "$root/tests/windows" -B "$tests" >/dev/null
fi
nice -n 10 cmake --build "$tests" -- -s

. "$root/scripts/windows/wine-env.sh"
trap wine_env_down EXIT
wine_env_up

export TW_WIN_DIST="$root/dist/win32"
export TW_WIN_BUILD="${TW_WIN_BUILD:-$root/build-win32}"
export TW_LINUX_BUILD="$linux"
export TW_SOURCE_DIR="$root"
status=0
# The unit tests of the platform-bound rules, cross-built, find Qt and the compiler runtime here.
qt=$(bash scripts/windows/qt.sh 2>/dev/null | tail -n 1)
export WINEPATH="$(winepath -w "$qt/bin");$(winepath -w "$TW_WIN_DIST")"
(cd "$TW_WIN_BUILD" && ctest --output-on-failure) || status=$?
(cd "$tests" && ctest --output-on-failure) || status=$?
echo "windows-test: $(( $(date +%s) - start )) s in all (build included)"
exit $status
