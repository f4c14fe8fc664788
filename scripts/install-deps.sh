#!/usr/bin/env bash
# Installs the Debian 12 packages Orvelle needs to build, test and run. Safe to run again.
# With package names as arguments, installs those instead, without the packages they only
# recommend (scripts/test-windows.sh does).
set -euo pipefail

packages=(
    cmake ninja-build g++ pkg-config
    qt6-base-dev qt6-webengine-dev qt6-webengine-dev-tools libqt6webenginecore6-bin qt6-pdf-dev
    libgl-dev libqt6printsupport6 qt6-translations-l10n
    firebird-dev libfbclient2 firebird3.0-server-core firebird3.0-utils
    googletest libgtest-dev
    xvfb openbox x11-utils wmctrl xdotool gdb
    libxapian-dev xapian-omega libdtl-dev libjemalloc-dev
    libqpdf-dev
)
options=()
if [ $# -gt 0 ]; then
    packages=("$@")
    options=(--no-install-recommends)
fi

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    SUDO=""
    [ "$(id -u)" -eq 0 ] || SUDO="sudo"
    echo "Installing: ${missing[*]}"
    $SUDO apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "${options[@]}" "${missing[@]}"
fi
