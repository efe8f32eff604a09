#!/usr/bin/env bash
# Installs the Debian packages the Windows build and its tests need, only when missing:
# the mingw-w64 i686 cross compilers (posix thread model), Wine with 32-bit support, Xvfb,
# and what building Qt from Debian's source needs. Safe to run again: installs nothing then.
set -euo pipefail
. "$(dirname "$0")/../lib/packages.sh"

packages=(
    g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix binutils-mingw-w64-i686 mingw-w64-i686-dev
    wine wine32:i386 xvfb xauth locales
    dpkg-dev perl python3 make cmake tcl zip unzip
)

sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
export DEBIAN_FRONTEND=noninteractive

need_update=0
if ! dpkg --print-foreign-architectures | grep -qx i386; then
    echo "windows-deps: adding the i386 architecture (32-bit Wine)"
    $sudo dpkg --add-architecture i386
    need_update=1
fi

# Qt for Windows is built from Debian's own source package: apt needs a deb-src entry for the
# suite this machine runs.
src_list=/etc/apt/sources.list.d/twcouponpay5-src.sources
if ! grep -rqs '^Types:.*deb-src' /etc/apt/sources.list.d/ && ! grep -qs '^deb-src' /etc/apt/sources.list; then
    . /etc/os-release
    echo "windows-deps: adding deb-src for $VERSION_CODENAME"
    $sudo tee "$src_list" >/dev/null <<SRC
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: $VERSION_CODENAME
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SRC
    need_update=1
fi

if [ "$need_update" = 1 ]; then
    $sudo apt-get update -qq
fi
install_missing windows-deps "${packages[@]}" >/dev/null
