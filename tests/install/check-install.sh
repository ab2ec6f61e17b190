#!/usr/bin/env bash
# Installs into a scratch prefix and checks the desktop integration files.
# Usage: check-install.sh BUILD_DIR
set -euo pipefail
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$1" --prefix "$prefix" >/dev/null
for f in bin/nivo lib/nivo/libnivo_avifile.so share/applications/fr.lumivex.Nivo.desktop share/metainfo/fr.lumivex.Nivo.metainfo.xml \
  share/man/man1/nivo.1.gz; do
  [ -s "$prefix/$f" ] || { echo "missing $f"; exit 1; }
done
# The Debian package's own documents stay out of a plain install.
[ ! -e "$prefix/share/doc/nivo" ] || { echo "share/doc/nivo installed outside the package"; exit 1; }
manual=$(zcat "$prefix/share/man/man1/nivo.1.gz")
grep -qF -- '\-\-render' <<<"$manual" || { echo "the manual page lacks --render"; exit 1; }
for size in 16 32 48 64 128 256; do
  icon="$prefix/share/icons/hicolor/${size}x${size}/apps/fr.lumivex.Nivo.png"
  [ "$(identify -format '%wx%h' "$icon")" = "${size}x${size}" ] || { echo "bad icon $icon"; exit 1; }
done
desktop-file-validate "$prefix/share/applications/fr.lumivex.Nivo.desktop"
appstreamcli validate --no-net --pedantic "$prefix/share/metainfo/fr.lumivex.Nivo.metainfo.xml" >/dev/null
# The version the program reports is the one the metadata announces.
version=$("$prefix/bin/nivo" --version | awk '{print $2}')
grep -q "release version=\"$version\"" "$prefix/share/metainfo/fr.lumivex.Nivo.metainfo.xml"
"$prefix/bin/nivo" --help | grep -q -- "--render"
# FFmpeg comes with the video module, never with the program itself.
# (ldd's output is kept first: grep -q ending the pipe early would fail it under pipefail.)
program_libs=$(ldd "$prefix/bin/nivo")
module_libs=$(ldd "$prefix/lib/nivo/libnivo_avifile.so")
if grep -q 'libav' <<<"$program_libs"; then echo "bin/nivo links FFmpeg"; exit 1; fi
grep -q 'libavformat' <<<"$module_libs" || { echo "video module without FFmpeg"; exit 1; }
echo "1 passed, 0 failed"
