#!/usr/bin/env bash
# One command from a clean clone to what a Windows integrator copies: builds Qt for Windows
# when the cache lacks it (scripts/windows/qt.sh), cross-builds the plug-in and the sample hosts
# into build-win32/, and lays out dist/win32/ plus dist/TwCouponPay5-<version>-win32.zip and,
# beside the zip, the DLL's debug information dist/TwCouponPay5.dll.debug.
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
    -DCMAKE_PREFIX_PATH="$qt" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTW_BUILD_TESTS=ON -DTW_BUILD_BENCH=OFF >/dev/null
nice -n 10 cmake --build "$build" -j"$(nproc)" -- -s

# At the top only what the till needs at run time, beside the till program; samples\ and sdk\
# are for the integrator. No INI file at the top: copying the folder must never replace the
# till's own settings.
rm -rf "$dist" "$root/dist"/TwCouponPay5-*win32.zip "$root/dist/TwCouponPay5.dll.debug"
mkdir -p "$dist/platforms" "$dist/sqldrivers" "$dist/styles" "$dist/samples" "$dist/sdk"
cp "$build/TwCouponPay5.dll" "$dist/"
cp "$build/pos-host.exe" "$build/win-host.exe" "$build/win-host-embed.dll" "$dist/samples/"
for m in Core Gui Widgets Network Sql Xml; do cp "$qt/bin/Qt5$m.dll" "$dist/"; done
cp "$qt/plugins/platforms/qwindows.dll" "$dist/platforms/"
cp "$qt/plugins/sqldrivers/qsqlite.dll" "$qt/plugins/sqldrivers/qsqlodbc.dll" "$dist/sqldrivers/"
cp "$qt/plugins/styles/qwindowsvistastyle.dll" "$dist/styles/"
# The compiler runtime of the posix thread model, which Qt and the library were built with.
gcc_dir=$(dirname "$(i686-w64-mingw32-gcc-posix -print-libgcc-file-name)")
for dll in libgcc_s_dw2-1.dll libstdc++-6.dll; do cp "$gcc_dir/$dll" "$dist/"; done
cp /usr/i686-w64-mingw32/lib/libwinpthread-1.dll "$dist/"
i686-w64-mingw32-strip --strip-unneeded "$dist"/samples/*.exe "$dist/samples/win-host-embed.dll" "$dist"/lib*.dll
# The library's debug information stays with the build, linked by name and checksum.
i686-w64-mingw32-objcopy --only-keep-debug "$dist/TwCouponPay5.dll" "$root/dist/TwCouponPay5.dll.debug"
i686-w64-mingw32-objcopy --strip-unneeded --add-gnu-debuglink="$root/dist/TwCouponPay5.dll.debug" "$dist/TwCouponPay5.dll"

# For the integrator's compiler: a plain C header, the .def file and an import library for
# Microsoft's linker (the __stdcall entry keeps its decorated name in the library and is
# imported by its plain name).
sdk=scripts/windows/dist/sdk
cp "$sdk/TwCouponPay5.h" "$sdk/TwCouponPay5.def" "$dist/sdk/"
(cd "$dist/sdk" && i686-w64-mingw32-dlltool -k -d TwCouponPay5.def -D TwCouponPay5.dll -l TwCouponPay5.lib)
# Checked as the integrator's C compiler sees them: a C89 program built with the header against the
# import library imports the three entries by their plain names.
check="$build/sdk-check"
mkdir -p "$check"
args='p[0], p[1], p[2], p[3], p[4], p[5], p[6], p[7], p[8], p[9], p[10], p[11]'
printf '#include <TwCouponPay5.h>\nint main(void)\n{\n    char *p[12] = {0};\n    return TwCardTrans(%s) + QTwCardTrans(%s) + TwCardTransStd(%s);\n}\n' \
    "$args" "$args" "$args" > "$check/till.c"
i686-w64-mingw32-gcc-posix -std=c89 -pedantic -Wall -Werror -I"$dist/sdk" "$check/till.c" "$dist/sdk/TwCouponPay5.lib" -o "$check/till.exe"
imports=$(i686-w64-mingw32-objdump -p "$check/till.exe" | sed -n '/DLL Name: TwCouponPay5.dll/,/^$/p' | awk 'NR > 2 && NF == 3 {print $3}' | sort | xargs)
[ "$imports" = "QTwCardTrans TwCardTrans TwCardTransStd" ] || { echo "windows-build: the import library gives: $imports" >&2; exit 1; }

# The sheet, the sample INI files and documents, with CR LF line ends as Windows editors write them.
crlf() { sed 's/$/\r/' "$1" > "$2"; }
crlf scripts/windows/dist/README.txt "$dist/README.txt"
for f in scripts/windows/dist/*.ini; do crlf "$f" "$dist/samples/$(basename "$f" .ini).sample.ini"; done
for d in sale void cancel; do
    mkdir -p "$dist/samples/$d"
    cp samples/$d/* "$dist/samples/$d/"
done

# The scripted cashier and QtTest only serve the tests: they stay in the build folder.
cp "$qt/bin/Qt5Test.dll" "$build/"
cp "$build/tools/cashier-robot/libcashier-robot.dll" "$build/"

read -r version revision < "$build/tw-version.txt"
zip_name="TwCouponPay5-$version-$revision-win32.zip"
(cd "$root/dist" && zip -qr "$zip_name" win32)
echo "windows-build: $dist, $root/dist/$zip_name and $root/dist/TwCouponPay5.dll.debug" >&2
