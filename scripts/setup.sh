#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the demo need, only when missing.
# Safe to run again: with everything present it installs nothing and needs no network.
set -euo pipefail

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

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done

if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi

echo "setup: installing ${missing[*]}"
sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
