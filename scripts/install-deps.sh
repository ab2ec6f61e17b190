#!/usr/bin/env bash
# Installs every Debian package Nivo needs to build, test and run.
# Quiet and quick when everything is already there; works as root or through sudo.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config clang
  qt6-base-dev qt6-base-dev-tools libqt6printsupport6 qt6-translations-l10n
  qt6-image-formats-plugins qt6-qpa-plugins libgl-dev
  libavformat-dev libavcodec-dev libswscale-dev libavutil-dev ffmpeg
  libgtest-dev libgmock-dev libbenchmark-dev
  xvfb xauth xdotool x11-utils imagemagick poppler-utils
  cups cups-client cups-bsd printer-driver-cups-pdf
  fonts-dejavu-core strace
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
echo "Installing: ${missing[*]}" >&2
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq >/dev/null
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
