#!/usr/bin/env bash
# Installs everything Kvalor needs to build, test and run, from Debian packages only.
# Safe to run again: packages already present are left alone.
set -euo pipefail

packages=(
  g++ cmake make pkg-config git
  qt6-base-dev qt6-base-dev-tools qt6-qpa-plugins libqt6network6 qt6-translations-l10n
  qt6-charts-dev libqt6opengl6-dev  # Qt Charts's CMake files need the OpenGL ones
  zlib1g-dev libdeflate-dev libgsf-1-dev libxlsxwriter-dev
  libpq-dev postgresql  # network mode: the client library, and the server its tests start
  libgtest-dev libgmock-dev libbenchmark-dev
  clang-14 libclang-rt-14-dev llvm-14
  python3 python3-olefile python3-openpyxl
  adwaita-icon-theme fonts-dejavu-core
  xvfb xauth imagemagick
  desktop-file-utils dpkg-dev file lintian  # the Debian package and its test
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

echo "Installing: ${missing[*]}"
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
