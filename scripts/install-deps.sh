#!/usr/bin/env bash
# Installs the Debian 12 packages Brevan needs, only those that are missing. Idempotent.
set -euo pipefail
pkgs=(cmake ninja-build pkg-config ccache g++ qtbase5-dev libqt5sql5-sqlite libqt5serialport5-dev
      libqt5svg5-dev qtdeclarative5-dev libqscintilla2-qt5-dev liblua5.4-dev libcjson-dev
      libzint-dev libzxing-dev libkf5archive-dev libxlsxwriter-dev libudev-dev xvfb xauth
      imagemagick fonts-font-awesome fonts-wqy-microhei iputils-ping
      qttools5-dev-tools libqt5charts5-dev libcpp-httplib-dev libssl-dev python3 curl
      poppler-utils)
missing=()
for p in "${pkgs[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
    echo "install-deps: all packages present"
    exit 0
fi
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
echo "install-deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq "${missing[@]}"
