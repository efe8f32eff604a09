#!/usr/bin/env bash
# Builds Qt for 32-bit Windows once per machine, from Debian's own qtbase source, with the
# mingw-w64 i686 cross compiler (posix threads), and installs it into a cache folder outside
# the clone that every later Windows build and test run reuses:
#   ${TW_WIN_CACHE:-$HOME/.cache/twcouponpay5}/qt-5.15.8-win32-<hash of version and options>
# Prints that folder on its last line. Safe to run again: with the cache complete it only prints.
# Only what the library needs: Core, Gui, Widgets, Network, Sql (sqlite + odbc), Xml, Test and
# the windows platform plug-in. The first build takes about 13 minutes on 2 idle cores (26 min
# 38 s while other builds shared them).
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"

QT_VERSION=5.15.8
# Bumped whenever the recipe below changes in a way the options do not show.
RECIPE=1
cache="${TW_WIN_CACHE:-$HOME/.cache/twcouponpay5}"
# Qt's mkspec calls ${CROSS_COMPILE}g++; Debian's plain name may point at the win32 thread
# model, so the prefix names a folder of links to the posix compilers.
CROSS="$cache/mingw-posix/i686-w64-mingw32-"
OPTIONS=(
    -opensource -confirm-license -release -shared -strip
    -xplatform win32-g++ -device-option CROSS_COMPILE=$CROSS
    -nomake tests -nomake examples
    -no-opengl -no-dbus -no-icu -no-openssl -schannel
    -qt-zlib -qt-pcre -qt-libpng -qt-libjpeg -qt-freetype -qt-harfbuzz -qt-doubleconversion
    -sql-odbc -sql-sqlite -qt-sqlite
    -no-sql-mysql -no-sql-psql -no-sql-ibase -no-sql-oci -no-sql-tds -no-sql-db2 -no-sql-sqlite2
    -no-feature-tabletevent -no-feature-vulkan -no-direct2d
)

hash=$(printf '%s\n' "$QT_VERSION" "$RECIPE" "${OPTIONS[@]}" | sha1sum | cut -c1-10)
prefix="$cache/qt-$QT_VERSION-win32-$hash"

if [ -f "$prefix/.complete" ]; then
    echo "windows-qt: cached ($(cat "$prefix/.complete"))" >&2
    echo "$prefix"
    exit 0
fi

bash "$here/deps.sh"
if [ "${TW_WIN_DEPS_ONLY:-0}" = 1 ]; then exit 0; fi

start=$(date +%s)
mkdir -p "$cache/mingw-posix"
for tool in gcc g++; do ln -sf "/usr/bin/i686-w64-mingw32-$tool-posix" "${CROSS}$tool"; done
for tool in ar as ld nm objcopy objdump ranlib strip windres dlltool; do
    ln -sf "/usr/bin/i686-w64-mingw32-$tool" "${CROSS}$tool"
done
work="$cache/work-$hash"
rm -rf "$work"
mkdir -p "$work"
cd "$work"

# apt-get source writes as the invoking user; the download itself is unsandboxed for root.
echo "windows-qt: fetching Debian's qtbase and sqlite3 sources" >&2
apt-get source --download-only -qq qtbase-opensource-src sqlite3 >/dev/null 2>&1
dpkg-source -x qtbase-opensource-src_${QT_VERSION}*.dsc qtbase >/dev/null
dpkg-source -x sqlite3_*.dsc sqlite3 >/dev/null

# Debian's source carries no bundled SQLite; Qt's driver builds the amalgamation into itself,
# so make one from Debian's SQLite source.
echo "windows-qt: making the SQLite amalgamation" >&2
(cd sqlite3 && ./configure --disable-tcl -q >/dev/null && make -s sqlite3.c >/dev/null 2>&1)
mkdir -p qtbase/src/3rdparty/sqlite
cp sqlite3/sqlite3.c sqlite3/sqlite3.h sqlite3/sqlite3ext.h qtbase/src/3rdparty/sqlite/

# mingw's import libraries are lower-case; the file system is case-sensitive.
grep -rlE -- '-l(Secur32|Crypt32)' qtbase/src qtbase/mkspecs 2>/dev/null | while read -r f; do
    sed -i -e 's/-lSecur32/-lsecur32/g' -e 's/-lCrypt32/-lcrypt32/g' "$f"
done

echo "windows-qt: configuring (${OPTIONS[*]})" >&2
# configure builds qmake first; let that use every core too.
export MAKEFLAGS="-j$(nproc)"
mkdir build
cd build
../qtbase/configure -prefix "$prefix" "${OPTIONS[@]}" > configure.log 2>&1 || {
    tail -40 configure.log >&2; exit 1; }
echo "windows-qt: building with $(nproc) jobs (log: $work/build/make.log)" >&2
nice -n 10 make -j"$(nproc)" > make.log 2>&1 || { tail -40 make.log >&2; exit 1; }
nice -n 10 make install > install.log 2>&1 || { tail -40 install.log >&2; exit 1; }

secs=$(( $(date +%s) - start ))
printf 'Qt %s for win32 built in %d min %d s on %d cores, %s\n' "$QT_VERSION" $((secs / 60)) $((secs % 60)) \
    "$(nproc)" "$(date -u +%Y-%m-%d)" > "$prefix/.complete"
cat "$prefix/.complete" >&2
cd "$cache"
rm -rf "$work"
echo "$prefix"
