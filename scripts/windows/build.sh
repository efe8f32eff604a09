#!/usr/bin/env bash
# One command from a clean clone to what a Windows integrator copies: builds Qt for Windows
# when the cache lacks it (scripts/windows/qt.sh), cross-builds the plug-in and the sample hosts
# into build-win32/, and lays out dist/win32/ plus dist/TwCouponPay5-win32.zip.
#   TW_WIN_BUILD  build folder (default build-win32)
set -euo pipefail
cd "$(dirname "$0")/../.."
root=$(pwd)
build="${TW_WIN_BUILD:-$root/build-win32}"
dist="$root/dist/win32"

bash scripts/windows/deps.sh
qt=$(bash scripts/windows/qt.sh | tail -n 1)
[ -f "$qt/.complete" ] || { echo "windows-build: Qt for Windows is missing" >&2; exit 1; }

# Configured every time: a folder configured by an older recipe takes the current options.
cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-mingw-i686.cmake" \
    -DCMAKE_PREFIX_PATH="$qt" -DCMAKE_BUILD_TYPE=Release -DTW_BUILD_TESTS=ON -DTW_BUILD_BENCH=OFF >/dev/null
nice -n 10 cmake --build "$build" -j"$(nproc)" -- -s

# The folder an integrator copies next to the till program.
rm -rf "$dist"
mkdir -p "$dist/platforms" "$dist/sqldrivers" "$dist/styles" "$dist/samples"
cp "$build/TwCouponPay5.dll" "$build/pos-host.exe" "$build/win-host.exe" "$build/win-host-embed.dll" "$dist/"
for m in Core Gui Widgets Network Sql Xml; do cp "$qt/bin/Qt5$m.dll" "$dist/"; done
cp "$qt/plugins/platforms/qwindows.dll" "$dist/platforms/"
cp "$qt/plugins/sqldrivers/qsqlite.dll" "$qt/plugins/sqldrivers/qsqlodbc.dll" "$dist/sqldrivers/"
cp "$qt/plugins/styles/qwindowsvistastyle.dll" "$dist/styles/"
# The compiler runtime of the posix thread model, which Qt and the library were built with.
gcc_dir=$(dirname "$(i686-w64-mingw32-gcc-posix -print-libgcc-file-name)")
for dll in libgcc_s_dw2-1.dll libstdc++-6.dll; do cp "$gcc_dir/$dll" "$dist/"; done
cp /usr/i686-w64-mingw32/lib/libwinpthread-1.dll "$dist/"
i686-w64-mingw32-strip --strip-unneeded "$dist/TwCouponPay5.dll" "$dist"/*.exe "$dist/win-host-embed.dll" "$dist"/lib*.dll

# Sample INI files and documents, with CR LF line ends as Windows editors write them.
crlf() { sed 's/$/\r/' "$1" > "$2"; }
for f in scripts/windows/dist/*.ini scripts/windows/dist/README.txt; do crlf "$f" "$dist/$(basename "$f")"; done
for d in sale void cancel; do
    mkdir -p "$dist/samples/$d"
    cp samples/$d/* "$dist/samples/$d/"
done

# The scripted cashier and QtTest only serve the tests: they stay in the build folder.
cp "$qt/bin/Qt5Test.dll" "$build/"
cp "$build/tools/cashier-robot/libcashier-robot.dll" "$build/"

rm -f "$root/dist/TwCouponPay5-win32.zip"
(cd "$root/dist" && zip -qr TwCouponPay5-win32.zip win32)
echo "windows-build: $dist and $root/dist/TwCouponPay5-win32.zip" >&2
