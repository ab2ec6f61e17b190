#!/usr/bin/env bash
# Prints from the command line on a real CUPS queue (the virtual PDF printer)
# and checks the page it writes. Exit 77 (skipped) where CUPS cannot run.
# Usage: print-queue.sh NIVO_BINARY
set -uo pipefail
nivo=$1
[ "$(id -u)" -eq 0 ] || { echo "needs root to run the print server"; exit 77; }
command -v cupsd >/dev/null && command -v lpadmin >/dev/null || { echo "CUPS is not installed"; exit 77; }
# Whatever this test starts or adds, it takes away again.
started=false added=false server="" default=""
work=$(mktemp -d)
cleanup() {
  $added && lpadmin -x NivoPDF 2>/dev/null
  [ -n "$default" ] && lpadmin -d "$default" 2>/dev/null
  if $started; then
    kill "$server" 2>/dev/null
    wait "$server" 2>/dev/null
  fi
  [ -n "${made:-}" ] && rm -f $made
  rm -rf "$work"
}
trap cleanup EXIT
if ! lpstat -r 2>/dev/null | grep -q 'is running'; then
  # In the foreground of a child of ours, so that only this server is stopped at the end.
  /usr/sbin/cupsd -f &
  server=$!
  started=true
  sleep 0.2
  kill -0 "$server" 2>/dev/null || { echo "cupsd does not start here"; exit 77; }
fi
for _ in $(seq 50); do lpstat -r 2>/dev/null | grep -q 'is running' && break; sleep 0.2; done
lpstat -r 2>/dev/null | grep -q 'is running' || { echo "cupsd is not answering"; exit 77; }
if ! lpstat -p NivoPDF >/dev/null 2>&1; then
  lpadmin -p NivoPDF -E -v cups-pdf:/ -m lsb/usr/cups-pdf/CUPS-PDF_opt.ppd 2>/dev/null || { echo "no PDF printer driver"; exit 77; }
  added=true
fi
# The default printer is given back at the end.
default=$(lpstat -d 2>/dev/null | sed -n 's/^system default destination: //p')
lpadmin -d NivoPDF
out=$(getent passwd "$(id -un)" | cut -d: -f6)/PDF
made=""
printf '' > "$work/doc.nivo"
passed=0 failed=0
check() { if "$@"; then passed=$((passed + 1)); else failed=$((failed + 1)); echo "failed: $*"; fi; }

new_pdf() { # waits for a PDF newer than the marker
  for _ in $(seq 150); do
    f=$(find "$out" -name '*.pdf' -newer "$work/marker" 2>/dev/null | head -1)
    [ -n "$f" ] && [ -s "$f" ] && { sleep 0.5; echo "$f"; return 0; }
    sleep 0.2
  done
  return 1
}
blank_page() {
  pdftoppm -r 20 -png -singlefile "$1" "$work/page" && \
  [ "$(/usr/bin/convert "$work/page.png" -format '%[fx:minima.r<0.99 ? 0 : 1]' info:)" = 1 ]
}
print_and_check() { # switch...
  touch "$work/marker"; sleep 1
  HOME=$work env -u DISPLAY "$nivo" "$@" "$work/doc.nivo" ${printer:+"$printer"} || return 1
  pdf=$(new_pdf) || return 1
  made="$made $pdf"
  blank_page "$pdf"
}
printer="" check print_and_check -p
printer=NivoPDF check print_and_check -pt
check bash -c "! HOME='$work' env -u DISPLAY '$nivo' -pt '$work/doc.nivo' NoSuchPrinter 2>/dev/null"
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
