#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the demo need, only when missing.
# Safe to run again: with everything present it installs nothing and needs no network.
set -euo pipefail
. "$(dirname "$0")/lib/packages.sh"

packages=(
    cmake g++ make pkg-config
    qtbase5-dev qtbase5-dev-tools libqt5sql5-sqlite libqt5sql5-mysql libqt5sql5-odbc
    unixodbc libsqliteodbc
    libcpp-httplib-dev libssl-dev zlib1g-dev libbrotli-dev
    libglib2.0-dev
    fonts-wqy-microhei
    mariadb-server
    clang libclang-rt-14-dev
    sqlite3 python3
)

install_missing setup "${packages[@]}"
