#!/usr/bin/env bash
# Installs the Debian packages Nivo needs to build and run; with --test, also
# what its tests need (virtual desktops, OCR, a print server, packaging tools).
# Quiet and quick when everything is already there; works as root or through sudo.
set -euo pipefail

# Building (the configure step also wants GoogleTest and clang's fuzzing header)...
packages=(
  build-essential cmake ninja-build pkg-config libclang-rt-14-dev libgtest-dev
  qt6-base-dev qt6-base-private-dev libxcb1-dev qt6-base-dev-tools libgl-dev
  libavformat-dev libavcodec-dev libswscale-dev libavutil-dev zlib1g-dev
  libmpfr-dev libgmp-dev
  # ...and running: X11 and Wayland platforms, Qt's French texts, a font.
  libqt6printsupport6 qt6-qpa-plugins qt6-wayland qt6-translations-l10n qt6-image-formats-plugins fonts-dejavu-core
)
test_packages=(
  clang libgmock-dev libbenchmark-dev ffmpeg locales strace gdb
  xvfb xauth xdotool x11-utils openbox wmctrl weston imagemagick poppler-utils tesseract-ocr tesseract-ocr-eng
  fonts-liberation2 cups cups-client cups-bsd printer-driver-cups-pdf
  desktop-file-utils appstream appstream-util librsvg2-bin dpkg-dev file lintian man-db groff-base parallel
)
testing=false
case "${1:-}" in
  "") ;;
  --test) testing=true; packages+=("${test_packages[@]}") ;;
  *) echo "usage: $0 [--test]" >&2; exit 2 ;;
esac

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
  ! $testing || ensure_french_locale
  exit 0
fi
echo "Installing: ${missing[*]}" >&2
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq >/dev/null
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
! $testing || ensure_french_locale
