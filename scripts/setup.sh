#!/usr/bin/env bash
# Installs the Debian packages the project needs, only those that are missing.
set -euo pipefail

packages=(
    g++ clang libclang-rt-14-dev cmake ninja-build pkg-config xz-utils
    libgtest-dev libgmock-dev libbenchmark-dev libzip-dev nlohmann-json3-dev
    qt6-base-dev qt6-translations-l10n fonts-ipafont-gothic
    xvfb xauth x11-utils xdotool imagemagick hyperfine
    sqlite3 libsqlite3-dev
    libacl1-dev acl attr strace zip
    dpkg-dev file lintian desktop-file-utils appstream librsvg2-bin
)

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if ((${#missing[@]})); then
    sudo=""
    [ "$(id -u)" -eq 0 ] || sudo=sudo
    echo "Installing: ${missing[*]}"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}" >/dev/null
fi
