#!/usr/bin/env bash
# Builds the Debian package with cpack, checks its contents and lintian's
# verdict, installs it with dpkg, runs the installed program and removes it.
# Usage: check-deb.sh BUILD_DIR. Exits 77 (skipped) when not root.
set -euo pipefail
build=$(realpath "$1")
if [ "$(id -u)" -ne 0 ]; then
  echo "skipped: installing a package needs root"
  exit 77
fi

work=$(mktemp -d)
installed=false
cleanup() {
  if $installed; then
    dpkg --purge nivo >/dev/null || echo "could not remove the nivo package" >&2
  fi
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "$*" >&2
  exit 1
}
# installed, unpacked, half-configured...; "not-installed" or nothing once purged.
package_state() {
  dpkg-query -W -f='${db:Status-Status}' nivo 2>/dev/null || true
}

cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work" >"$work/cpack.log" || { cat "$work/cpack.log"; exit 1; }
debs=("$work"/nivo_*.deb)
symbols=("$work"/nivo-dbgsym_*.ddeb)
[ -f "${debs[0]}" ] || fail "no package in $work: $(ls "$work")"
deb=${debs[0]}
echo "built $(basename "$deb")"

# Dependencies come from the binaries, the description is French.
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
for library in libqt6widgets6 libqt6printsupport6 libavformat libc6; do
  grep -q "$library" <<<"$depends" || fail "no dependency on $library"
done
description=$(dpkg-deb -f "$deb" Description)
grep -q "explorateur de l'ensemble de Mandelbrot" <<<"$description" || fail "no French description"
[ -n "$(dpkg-deb -f "$deb" Homepage)" ] || fail "no Homepage"

# The video module is private (lib/nivo): no maintainer script runs ldconfig for it.
control=$work/control
dpkg-deb -e "$deb" "$control"
for script in "$control"/{preinst,postinst,prerm,postrm}; do
  [ ! -e "$script" ] || ! grep -q ldconfig "$script" || fail "$(basename "$script") calls ldconfig"
done

contents=$(dpkg-deb -c "$deb" | awk '{print $6}')
expected=(./usr/bin/nivo ./usr/lib/nivo/nivo-window ./usr/share/applications/fr.lumivex.Nivo.desktop
  ./usr/share/metainfo/fr.lumivex.Nivo.metainfo.xml ./usr/share/doc/nivo/copyright
  ./usr/share/doc/nivo/changelog.Debian.gz ./usr/share/man/fr/man1/nivo.1.gz ./usr/share/man/man1/nivo.1.gz
  ./usr/share/icons/hicolor/scalable/apps/fr.lumivex.Nivo.svg ./usr/share/lintian/overrides/nivo)
for size in 16 24 32 48 64 128 256; do
  expected+=("./usr/share/icons/hicolor/${size}x${size}/apps/fr.lumivex.Nivo.png")
done
for file in "${expected[@]}"; do
  grep -qxF "$file" <<<"$contents" || fail "the package lacks $file"
done

head -1 "$(dirname "$0")/../../packaging/copyright" | grep -qx 'Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' ||
  fail "the copyright file is not machine-readable"

# The debug symbols of both binaries, found by their build ids.
[ -f "${symbols[0]}" ] || fail "no debug-symbol package in $work: $(ls "$work")"
[ "$(dpkg-deb -f "${symbols[0]}" Depends)" = "nivo (= $(dpkg-deb -f "$deb" Version))" ] ||
  fail "the debug symbols do not depend on this nivo"
dpkg-deb -x "$deb" "$work/tree"
symbol_files=$(dpkg-deb -c "${symbols[0]}" | awk '{print $6}')
for binary in usr/bin/nivo usr/lib/nivo/nivo-window usr/lib/nivo/libnivo_avifile.so; do
  id=$(readelf -n "$work/tree/$binary" | awk '/Build ID/ { print $3 }')
  grep -qxF "./usr/lib/debug/.build-id/${id:0:2}/${id:2}.debug" <<<"$symbol_files" || fail "no debug symbols for $binary"
  if readelf -S "$work/tree/$binary" | grep -q '\.debug_info'; then fail "$binary is not stripped"; fi
done

# Anything lintian says that is not overridden fails the test, hardening included.
lintian --pedantic --fail-on error,warning,info,pedantic --tag-display-limit 0 "$deb" "${symbols[0]}" ||
  fail "lintian reports tags"

# One package test at a time on this machine; dpkg itself refuses to wait for its lock.
exec 9>/var/lock/nivo-package-test.lock
flock -w 600 9 || fail "another package test holds /var/lock/nivo-package-test.lock"
case $(package_state) in
  "" | not-installed | config-files) ;;
  *) fail "a nivo package is already on this machine ($(package_state)); remove it first: dpkg --purge nivo" ;;
esac
for attempt in $(seq 60); do
  dpkg -i "$deb" >"$work/dpkg.log" 2>&1 && break
  grep -q 'lock' "$work/dpkg.log" || { cat "$work/dpkg.log"; installed=true; fail "dpkg -i failed"; }
  [ "$attempt" -lt 60 ] || fail "the dpkg database stayed locked"
  sleep 5
done
installed=true

[ "$(command -v nivo)" = /usr/bin/nivo ] || fail "nivo is not /usr/bin/nivo but '$(command -v nivo)'"
version=$(/usr/bin/nivo --version | awk '{print $2}')
[ "$version" = "$(dpkg-deb -f "$deb" Version | cut -d- -f1)" ] || fail "nivo --version says '$version'"
(cd "$work" && /usr/bin/nivo --render picture.png --size 64x48 --iterations 50) || fail "nivo --render failed"
[ "$(identify -format '%m %wx%h' "$work/picture.png")" = "PNG 64x48" ] || fail "the rendered picture is not a 64x48 PNG"
# A JPEG is written by the window's program, which /usr/bin/nivo starts in its place.
(cd "$work" && /usr/bin/nivo --render picture.jpg --size 64x48 --iterations 50) || fail "nivo --render of a JPEG failed"
[ "$(identify -format '%m %wx%h' "$work/picture.jpg")" = "JPEG 64x48" ] || fail "the rendered picture is not a 64x48 JPEG"

dpkg --purge nivo >/dev/null
installed=false
[ ! -e /usr/bin/nivo ] || fail "/usr/bin/nivo is still there after removal"
[ -z "$(package_state)" ] || [ "$(package_state)" = not-installed ] || fail "dpkg still has nivo: $(package_state)"

echo "1 passed, 0 failed"
