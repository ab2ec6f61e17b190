#!/usr/bin/env bash
# Installs every Debian package Nivo needs to build, test and run.
# Quiet and quick when everything is already there; works as root or through sudo.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config clang libclang-rt-14-dev
  qt6-base-dev qt6-base-private-dev libxcb1-dev qt6-base-dev-tools libqt6printsupport6 qt6-translations-l10n
  qt6-image-formats-plugins qt6-qpa-plugins libgl-dev
  libavformat-dev libavcodec-dev libswscale-dev libavutil-dev ffmpeg libpng-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  xvfb xauth xdotool x11-utils openbox wmctrl gdb weston qt6-wayland imagemagick poppler-utils tesseract-ocr tesseract-ocr-eng
  cups cups-client cups-bsd printer-driver-cups-pdf
  fonts-dejavu-core fonts-liberation2 strace locales desktop-file-utils appstream
  dpkg-dev file lintian
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"

# The tests check that a French locale changes nothing in how numbers are read and written.
ensure_french_locale() {
  locale -a 2>/dev/null | grep -qi '^fr_FR\.utf-\?8$' || $sudo localedef -i fr_FR -f UTF-8 fr_FR.UTF-8 >/dev/null 2>&1 || true
}

if [ ${#missing[@]} -eq 0 ]; then
  ensure_french_locale
  exit 0
fi
echo "Installing: ${missing[*]}" >&2
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq >/dev/null
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
ensure_french_locale
