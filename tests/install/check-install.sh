#!/usr/bin/env bash
# Installs into a scratch prefix and checks the desktop integration files.
# Usage: check-install.sh BUILD_DIR
set -euo pipefail
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$1" --prefix "$prefix" >/dev/null
for f in bin/nivo lib/nivo/nivo-window lib/nivo/libnivo_avifile.so share/applications/fr.lumivex.Nivo.desktop share/metainfo/fr.lumivex.Nivo.metainfo.xml \
  share/man/fr/man1/nivo.1.gz share/man/man1/nivo.1.gz share/icons/hicolor/scalable/apps/fr.lumivex.Nivo.svg; do
  [ -s "$prefix/$f" ] || { echo "missing $f"; exit 1; }
done
# The Debian package's own documents stay out of a plain install.
[ ! -e "$prefix/share/doc/nivo" ] || { echo "share/doc/nivo installed outside the package"; exit 1; }
version=$("$prefix/bin/nivo" --version | awk '{print $2}')
long_options() { grep -o -- '--[a-z]*' | sort -u; }
help_options=$("$prefix/bin/nivo" --help | long_options)

# The manual pages, French and English: their sections, the program's options
# and version, hyphenation in their language, no formatting warning.
check_manual() { # page language sections...
  local page=$1 language=$2 manual hyphenation warnings section; shift 2
  manual=$(zcat "$page")
  for section in "$@"; do
    grep -qx "\.SH $section" <<<"$manual" || { echo "$page has no $section section"; exit 1; }
  done
  [ "$(sed 's/\\-/-/g' <<<"$manual" | long_options)" = "$help_options" ] ||
    { echo "$page and --help name different options"; exit 1; }
  grep -q "^\.TH NIVO 1 .* \"Nivo $version\"" <<<"$manual" || { echo "$page is not of version $version"; exit 1; }
  hyphenation=$( (sed -n '1,/^\.TH/p' <<<"$manual"; echo '.tm \n[.hla]') | groff -man -z 2>&1)
  [ "$hyphenation" = "$language" ] || { echo "$page hyphenates as '$hyphenation'"; exit 1; }
  warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 -Z "$page" 2>&1 >/dev/null)
  [ -z "$warnings" ] || { echo "man warns about $page: $warnings"; exit 1; }
}
check_manual "$prefix/share/man/fr/man1/nivo.1.gz" fr NOM SYNOPSIS DESCRIPTION OPTIONS '"CODE DE RETOUR"' \
  ENVIRONNEMENT FICHIERS EXEMPLES '"VOIR AUSSI"'
check_manual "$prefix/share/man/man1/nivo.1.gz" us NAME SYNOPSIS DESCRIPTION OPTIONS '"EXIT STATUS"' \
  ENVIRONMENT FILES EXAMPLES '"SEE ALSO"'

# Icons drawn at each size, with transparent corners, and one scalable.
icons="$prefix/share/icons/hicolor"
alpha_at() { identify -format "%[fx:int(255*p{$2,$3}.a)]" "$1"; }
for size in 16 24 32 48 64 128 256; do
  icon="$icons/${size}x${size}/apps/fr.lumivex.Nivo.png"
  [ "$(identify -format '%wx%h' "$icon")" = "${size}x${size}" ] || { echo "bad icon $icon"; exit 1; }
  [ "$(alpha_at "$icon" 0 0)" -lt 32 ] && [ "$(alpha_at "$icon" $((size / 2)) $((size / 2)))" = 255 ] ||
    { echo "the $size px icon is not an opaque tile with transparent corners"; exit 1; }
  [ "$size" -ge 64 ] || continue
  # An enlargement of the 32 px icon has little detail finer than its pixels
  # (0 when its pixels are repeated, under 0.05 when smoothed).
  detail=$(convert "$icon" \( +clone -filter box -resize 32x32 -filter point -resize "${size}x$size" \) \
    -alpha off -metric RMSE -compare -format '%[distortion]' info:)
  awk -v d="$detail" 'BEGIN { exit !(d > 0.06) }' || { echo "the $size px icon is a blow-up (detail $detail)"; exit 1; }
done
# The SVG draws the picture of the 256 px icon.
rsvg-convert -w 256 -h 256 "$icons/scalable/apps/fr.lumivex.Nivo.svg" -o "$prefix/svg.png" ||
  { echo "the SVG icon does not render"; exit 1; }
difference=$( (compare -metric RMSE "$prefix/svg.png" "$icons/256x256/apps/fr.lumivex.Nivo.png" null: 2>&1 || true) | sed -E 's/.*\((.*)\).*/\1/')
awk -v d="$difference" 'BEGIN { exit !(d < 0.08) }' || { echo "the SVG and the 256 px icon differ by $difference"; exit 1; }

desktop-file-validate "$prefix/share/applications/fr.lumivex.Nivo.desktop"
metainfo="$prefix/share/metainfo/fr.lumivex.Nivo.metainfo.xml"
appstreamcli validate --no-net --pedantic "$metainfo" >/dev/null
appstream-util validate --nonet "$metainfo" >/dev/null
# The version the program reports is the one the metadata announces.
grep -q "release version=\"$version\"" "$metainfo"
"$prefix/bin/nivo" --help | grep -q -- "--render"
# FFmpeg comes with the video module, never with the program itself.
# (ldd's output is kept first: grep -q ending the pipe early would fail it under pipefail.)
program_libs=$(ldd "$prefix/bin/nivo")
window_libs=$(ldd "$prefix/lib/nivo/nivo-window")
module_libs=$(ldd "$prefix/lib/nivo/libnivo_avifile.so")
if grep -q 'libav' <<<"$program_libs$window_libs"; then echo "a program links FFmpeg"; exit 1; fi
# The command line loads Qt's core only; the window's program, found from
# bin/, writes what needs Qt's Gui library.
if grep -q 'libQt6\(Gui\|Widgets\)' <<<"$program_libs"; then echo "bin/nivo links Qt's Gui library"; exit 1; fi
"$prefix/bin/nivo" --render "$prefix/x.png" --size 8x8 && "$prefix/bin/nivo" --render "$prefix/x.jpg" --size 8x8
[ "$(identify -format '%m %wx%h' "$prefix/x.png") $(identify -format '%m %wx%h' "$prefix/x.jpg")" = "PNG 8x8 JPEG 8x8" ] ||
  { echo "the installed program did not write both pictures"; exit 1; }
grep -q 'libavformat' <<<"$module_libs" || { echo "video module without FFmpeg"; exit 1; }
echo "1 passed, 0 failed"
