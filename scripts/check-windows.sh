#!/usr/bin/env bash
# Checks that the Windows side of the platform layer compiles against the real Windows headers
# (Debian's mingw-w64 cross compiler, syntax only: nothing links or runs here).
set -euo pipefail
cd "$(dirname "$0")/.."

CXX_WIN=x86_64-w64-mingw32-g++
if ! command -v "$CXX_WIN" >/dev/null 2>&1; then
    echo "check-windows: installing the mingw-w64 cross compiler"
    SUDO=
    if [ "$(id -u)" -ne 0 ]; then
        SUDO=sudo
    fi
    $SUDO apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends g++-mingw-w64-x86-64 >/dev/null
fi

# Every Windows-only source; they must not need Qt.
mapfile -t files < <(find src -name '*_win.cpp' | sort)
if [ "${#files[@]}" -eq 0 ]; then
    echo "check-windows: no Windows sources found" >&2
    exit 1
fi

status=0
for file in "${files[@]}"; do
    if "$CXX_WIN" -std=c++17 -Wall -Wextra -Werror -fsyntax-only -DUNICODE -D_UNICODE -Isrc "$file"; then
        echo "check-windows: ok   $file"
    else
        echo "check-windows: FAIL $file" >&2
        status=1
    fi
done
exit $status
