#!/usr/bin/env bash
# Drives the real nivo window under Xvfb with real mouse and keyboard input,
# and checks what a user would see and the files written.
# Usage: run-e2e.sh NIVO_BINARY ARTIFACT_DIR
set -uo pipefail
# The test runs from its own work folder, so a relative binary path must be made absolute.
nivo=$(readlink -f "$1")
artifacts=$2
work=$(mktemp -d)
mkdir -p "$artifacts"
rm -f "$artifacts"/step-*.png   # screenshots of an earlier run's failures would mislead
display=""
for n in $(seq 90 120); do
  [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] || { display=":$n"; break; }
done
Xvfb "$display" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
export DISPLAY=$display HOME=$work/home XDG_RUNTIME_DIR=$work/run QT_QPA_PLATFORM=xcb
# No print server, even where one runs: the print dialog then offers only printing to a PDF file.
export CUPS_SERVER=$work/no-print-server.sock
mkdir -p "$HOME" "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
steps=0
failed=0

cleanup() {
  kill "${app:-0}" 2>/dev/null
  kill "$xvfb" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

# ImageMagick's own tools, not a stand-in of the same name earlier in PATH.
magick_convert=/usr/bin/convert
[ -x "$magick_convert" ] || magick_convert=convert
shot() { import -display "$display" -window root "$1" 2>/dev/null; }
rgb_at() { # image x y -> "r,g,b"
  "$magick_convert" "$1" -format "%[fx:int(255*p{$2,$3}.r)],%[fx:int(255*p{$2,$3}.g)],%[fx:int(255*p{$2,$3}.b)]" info: 2>/dev/null
}
pixel() { # x y -> "r,g,b" on the screen now
  shot "$work/now.png"
  rgb_at "$work/now.png" "$1" "$2"
}
note() { echo "# $*" > "$work/why"; }  # why the last check failed; shown if its step fails
step() { # name command...
  local name=$1; shift
  steps=$((steps + 1))
  rm -f "$work/why"
  if "$@"; then
    echo "ok $steps - $name"
  else
    echo "not ok $steps - $name"
    [ -f "$work/why" ] && cat "$work/why"
    failed=$((failed + 1))
    shot "$artifacts/step-$steps.png"
  fi
}
wait_for() { # seconds command...
  local limit=$1; shift
  for _ in $(seq 1 $((limit * 10))); do "$@" && return 0; sleep 0.1; done
  return 1
}
# The old title property and the one desktops show (EWMH) both read exactly $1.
title_is() {
  xdotool search --name "^$1\$" >/dev/null 2>&1 &&
    [ "$(xprop -id "$window" -notype _NET_WM_NAME 2>/dev/null)" = "_NET_WM_NAME = \"$1\"" ]
}
is_white() { [ "$(pixel "$1" "$2")" = "255,255,255" ]; }
dark_blue_rgb() { # "r,g,b": the colours of the outside of the set, not black (an empty screen is black)
  local r g b; IFS=, read -r r g b <<<"$1"
  [ "${r:-1}" -le 2 ] && [ "${g:-1}" -le 2 ] && [ "${b:-0}" -ge 20 ] && [ "$b" -le 210 ]
}
is_dark_blue() { dark_blue_rgb "$(pixel "$1" "$2")"; }
white_rgb() { local r g b; IFS=, read -r r g b <<<"$1"; [ "${r:-0}" -ge 250 ] && [ "$g" -ge 250 ] && [ "$b" -ge 250 ]; }
is_background() {
  local rgb; rgb=$(pixel "$1" "$2"); IFS=, read -r r g b <<<"$rgb"
  [ "$r" -gt 200 ] && [ "$r" -lt 250 ] && [ "$r" = "$g" ]
}
click() { xdotool mousemove "$1" "$2" click 1; sleep 0.3; }
exists() { [ -s "$1" ]; }
frames_of() { ffprobe -v error -count_frames -show_entries stream=nb_read_frames -of default=nw=1:nk=1 "$1" 2>/dev/null; }

# What a user reads: a region of the last screenshot, enlarged for Tesseract, read as one line.
ocr() { # x y w h
  "$magick_convert" "$work/now.png" -crop "$3x$4+$1+$2" +repage -resize 400% -colorspace Gray png:- 2>/dev/null |
    tesseract - - --psm 7 2>/dev/null | tr -d '\f' | tr '\n' ' ' | sed -E 's/^ +//; s/ +$//'
}
win_x=0 win_y=0 win_w=1280 win_h=800
window_geometry() {
  read -r win_x win_y win_w win_h < <(xdotool getwindowgeometry --shell "$window" 2>/dev/null |
    awk -F= '{ v[$1] = $2 } END { print v["X"], v["Y"], v["WIDTH"], v["HEIGHT"] }')
}
status_bar() { # left|right: that half of the status bar, as read now
  shot "$work/now.png"
  local half=$((win_w / 2)) top=$((win_y + win_h - 24))
  if [ "$1" = left ]; then ocr "$win_x" "$top" "$half" 24; else ocr $((win_x + half)) "$top" "$half" 24; fi
}
prompt_reads() { # extended regex the whole first pane must match
  local text; text=$(status_bar left)
  echo "$text" | grep -Eqx "$1" || { note "status pane reads '$text'"; return 1; }
}
ready='Pr(e|é|ê|è)t'   # OCR without the French data may lose the circumflex

# Where the client area is on screen, from the drawn start view: its outside is dark blue
# to the edges, so the dark blue run of column 20 gives its rows and the run of a row just
# below its top gives its columns.
vx=0 vy=0 vw=0 vh=0
dark_run() { # crop axis -> "first length" of the dark blue pixels along it
  "$magick_convert" "$work/now.png" -crop "$1" +repage -depth 8 txt:- 2>/dev/null |
    awk -F'[(),: ]+' -v axis="$2" -v o="$3" 'NR > 1 && $3 == 0 && $4 == 0 && $5 >= 20 {
      v = (axis == "x" ? $1 : $2) + o; if (first == "") first = v; last = v }
      END { if (first == "") exit 1; print first, last - first + 1 }'
}
measure_view() {
  shot "$work/now.png"
  read -r vy vh < <(dark_run "1x${win_h}+20+$win_y" y "$win_y") &&
    read -r vx vw < <(dark_run "${win_w}x1+$win_x+$((vy + 5))" x "$win_x") &&
    [ "$vw" -gt 300 ] && [ "$vh" -gt 300 ]
}
# Plane point under a screen pixel of the start view (centre -0.5, 0, zoom 1): the offset
# from the client area's middle (integer halves), 3.6 plane units across its width, y upwards.
plane_point() { # sx sy -> "x y"
  awk -v px=$(($1 - vx)) -v py=$(($2 - vy)) -v w="$vw" -v h="$vh" \
    'BEGIN { s = 3.6 / w; printf "%.10f %.10f\n", (px - int(w / 2)) * s - 0.5, (int(h / 2) - py) * s }'
}
# The coordinate panes as read: "x: -1.4562500000 | y: 0.5990625000". A misread O, o, l or I
# in a number is taken for the digit, a comma or a dash for what it stands for.
pane_number() { # label text
  echo "$2" | sed -E 's/(—|–|−)/-/g' | grep -Eo "$1 *[:;.]? *-? *[0-9OolI]+[.,][0-9OolI]+" | head -1 |
    sed -E "s/^$1 *[:;.]? *//; s/ //g" | tr 'OolI,' '0011.'
}
# Equal to three significant digits: within half a unit of the expected value's third digit.
same_3_digits() { # read expected
  awk -v a="$1" -v e="$2" 'BEGIN {
    if (a !~ /^-?[0-9]+\.[0-9]+$/ || e == 0) exit 1
    m = e < 0 ? -e : e; l = log(m) / log(10); f = int(l); if (f > l) f--
    d = a - e; if (d < 0) d = -d
    exit !(d <= 10 ^ (f - 2) / 2) }'
}
panes_show() { # sx sy: the panes read the plane point under that pixel
  local want text x y
  want=$(plane_point "$1" "$2"); text=$(status_bar right)
  x=$(pane_number x "$text"); y=$(pane_number y "$text")
  same_3_digits "$x" "${want% *}" && same_3_digits "$y" "${want#* }" ||
    { note "panes read '$text' ($x, $y), pixel ($1,$2) is ($want)"; return 1; }
}

# Menus: the item is clicked only once the open menu shows it highlighted under the pointer,
# so that the click cannot go past a menu that is not there yet and land on the picture.
popup_left=0
popup_shown() { # title x y: a window of the program's own, not the main one, just below the title
  local id x y
  for id in $(xdotool search --onlyvisible --class '^nivo$' 2>/dev/null); do
    [ "$id" = "$window" ] && continue
    read -r x y < <(xdotool getwindowgeometry --shell "$id" | awk -F= '{ v[$1] = $2 } END { print v["X"], v["Y"] }')
    [ "$x" -le "$1" ] && [ "$y" -gt "$2" ] && [ "$y" -le $(($2 + 30)) ] && { popup_left=$x; return 0; }
  done
  return 1
}
item_highlighted() { # y: the item row at the menu's left edge is in the selection colour
  local r g b; IFS=, read -r r g b <<<"$(pixel $((popup_left + 4)) "$1")"
  [ "${b:-0}" -ge $((r + 100)) ] && [ "$g" -ge $((r + 50)) ]
}
hover() { xdotool mousemove "$1" $(($2 + 1)) mousemove "$1" "$2"; item_highlighted "$2"; }
menu_item() { # title x y, item x y
  xdotool mousemove "$1" "$2" click 1
  wait_for 5 popup_shown "$1" "$2" && wait_for 5 hover "$3" "$4" && xdotool click 1
}
dialog=""
dialog_shown() { dialog=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -1); [ -n "$dialog" ]; }
dialog_focused() { [ -n "$dialog" ] && [ "$(xdotool getwindowfocus 2>/dev/null)" = "$dialog" ]; }
dialog_gone() { ! xdotool search --onlyvisible --name "$1" >/dev/null 2>&1; }

pdf_pages() { pdfinfo "$1" 2>/dev/null | awk '/^Pages:/ { print $2 }'; }
has_pages() { [ "$(pdf_pages "$1")" = "$2" ]; }
# The page at 300 dpi: the start view printed one printer dot (1/1200 in) per pixel from the
# top-left corner is a picture a quarter of the client area's size near that corner, white
# where the set is and dark blue outside, looking like the screen at a small scale.
page_shows_view() { # pdf screenshot-of-the-view
  pdftoppm -r 300 -png -singlefile -x 0 -y 0 -W 1200 -H 900 "$1" "$work/page" || return 1
  local box w h x y
  box=$("$magick_convert" "$work/page.png" -fuzz 5% -trim -format '%w %h %X %Y' info: 2>/dev/null) || return 1
  read -r w h x y <<<"$box"; x=${x#+}; y=${y#+}
  local want_w=$((vw / 4)) want_h=$((vh / 4))
  if [ $((w - want_w)) -lt -3 ] || [ $((w - want_w)) -gt 3 ] || [ $((h - want_h)) -lt -3 ] ||
     [ $((h - want_h)) -gt 3 ] || [ "$x" -gt 150 ] || [ "$y" -gt 150 ]; then
    note "picture on the page: ${w}x$h at $x,$y; a ${want_w}x$want_h picture near the corner expected"
    return 1
  fi
  local inside outside
  inside=$(rgb_at "$work/page.png" $((x + (640 - vx) / 4)) $((y + (412 - vy) / 4)))
  outside=$(rgb_at "$work/page.png" $((x + (20 - vx) / 4)) $((y + (70 - vy) / 4)))
  white_rgb "$inside" && dark_blue_rgb "$outside" ||
    { note "page colours: inside the set $inside, outside $outside"; return 1; }
  "$magick_convert" "$work/page.png" -crop "${w}x$h+$x+$y" +repage -resize '32x18!' "$work/page-small.png" &&
    "$magick_convert" "$2" -crop "${vw}x$vh+$vx+$vy" +repage -resize '32x18!' "$work/view-small.png" || return 1
  local difference
  difference=$(compare -metric RMSE "$work/page-small.png" "$work/view-small.png" null: 2>&1 | sed -E 's/.*\((.*)\).*/\1/')
  awk -v d="$difference" 'BEGIN { exit !(d != "" && d < 0.05) }' ||
    { note "page and screen differ by $difference (RMSE)"; return 1; }
}

# The preview in the view's place: a grey desk around a white page whose top-left corner
# holds the picture, with the proportions of the view, and a bar with the close button.
preview_bar_word() { # word -> "x y" of its middle on screen, read from the preview's bar
  shot "$work/now.png"
  "$magick_convert" "$work/now.png" -crop "${vw}x32+$vx+$vy" +repage -resize 400% -colorspace Gray png:- 2>/dev/null |
    tesseract - - --psm 11 tsv 2>/dev/null |
    awk -F'\t' -v word="$1" -v ox="$vx" -v oy="$vy" '$12 == word {
      printf "%d %d\n", ox + ($7 + $9 / 2) / 4, oy + ($8 + $10 / 2) / 4; found = 1; exit }
      END { exit !found }'
}
preview_shown() {
  shot "$work/now.png"
  local desk; desk=$(rgb_at "$work/now.png" $((vx + 10)) $((vy + vh - 10)))
  IFS=, read -r r g b <<<"$desk"
  [ "$r" = "$g" ] && [ "$r" -ge 120 ] && [ "$r" -le 200 ] && [ "$b" -ge "$r" ] ||
    { note "the view's place shows $desk, not the grey of the preview"; return 1; }
  "$magick_convert" "$work/now.png" -crop "${vw}x$((vh - 32))+$vx+$((vy + 32))" +repage "$work/desk.png" || return 1
  local page pw ph px py
  page=$("$magick_convert" "$work/desk.png" -fuzz 2% -fill black +opaque white -trim -format '%w %h %X %Y' info: 2>/dev/null)
  read -r pw ph px py <<<"$page"; px=${px#+}; py=${py#+}
  [ "${pw:-0}" -gt 100 ] && [ "$ph" -gt "$pw" ] || { note "no upright page in the preview ($page)"; return 1; }
  local picture w h x y
  picture=$("$magick_convert" "$work/desk.png" -crop "${pw}x$ph+$px+$py" +repage -fuzz 5% -trim -format '%w %h %X %Y' info: 2>/dev/null)
  read -r w h x y <<<"$picture"; x=${x#+}; y=${y#+}
  # Near the corner, a small part of the page, shaped like the view.
  [ "$x" -le $((pw / 20)) ] && [ "$y" -le $((pw / 20)) ] && [ "$w" -lt $((pw / 3)) ] && [ "$w" -gt 10 ] &&
    awk -v a="$w" -v b="$h" -v c="$vw" -v d="$vh" 'BEGIN { r = (a / b) / (c / d); exit !(r > 0.85 && r < 1.15) }' ||
    { note "picture in the preview: $picture on a page of $page"; return 1; }
  preview_bar_word Fermer >/dev/null || { note "no Fermer button read in the preview's bar"; return 1; }
}

wait_for 10 xdpyinfo -display "$display" >/dev/null 2>&1 || { echo "Xvfb did not start"; exit 1; }
cd "$work" || exit 1
printf '' > "$work/document.nivo"
"$nivo" >"$artifacts/nivo.log" 2>&1 &
app=$!
window=""
find_window() { window=$(xdotool search --name '^Nivo - Lumivex$' 2>/dev/null | head -1); [ -n "$window" ]; }

step "the window opens titled Nivo - Lumivex" wait_for 20 eval 'find_window && title_is "Nivo - Lumivex"'
window_geometry
step "no picture before the first draw" is_background 640 400
step "the status bar reads Prêt at start" wait_for 10 prompt_reads "$ready"
click 25 34   # toolbar button 1: Dessiner
step "Dessiner draws the set: white inside" wait_for 20 is_white 640 412
step "and dark blue outside" is_dark_blue 20 70
shot "$artifacts/drawn.png"
step "the status bar shows the prompt of the button under the pointer" \
  wait_for 5 prompt_reads "Cr(e|é|è|ê)e un nouveau document"
step "the client area is found on the screen" measure_view
xdotool mousemove 300 200   # upper left, over the outside of the set
step "off the button the status bar reads Prêt again" wait_for 5 prompt_reads "$ready"
step "the coordinate panes show the plane point under the pointer" wait_for 5 panes_show 300 200
xdotool mousemove 1000 650  # lower right, below the real axis
step "and follow the pointer" wait_for 5 panes_show 1000 650
click 1000 412  # right of the set, outside it
step "a click re-centres there and zooms in" wait_for 20 is_dark_blue 20 412
step "the title is unchanged" title_is "Nivo - Lumivex"
click 84 8; click 100 30   # Edition > Annuler
step "Undo brings the start view back" wait_for 20 is_white 640 412

shot "$work/start-view.png"
print_dialog_ready() { wait_for 10 dialog_shown '^Imprimer' && wait_for 5 dialog_focused; }
menu_item 30 8 66 187   # Fichier > Imprimer...
step "Imprimer opens the print dialog" print_dialog_ready
shot "$artifacts/print-dialog.png"
xdotool key alt+f ctrl+a   # Qt's French "&Fichier de sortie": the output file of the PDF entry
xdotool type "$work/vue.pdf"; xdotool key Return
step "the dialog closes once accepted" wait_for 10 dialog_gone '^Imprimer'
step "printing to a file writes a one-page PDF" wait_for 20 has_pages "$work/vue.pdf" 1
cp "$work/vue.pdf" "$artifacts/" 2>/dev/null
step "the page shows the picture from its top-left corner, one dot per pixel" \
  page_shows_view "$work/vue.pdf" "$work/start-view.png"

menu_item 30 8 108 209   # Fichier > Aperçu avant impression
step "the print preview takes the view's place, the picture at the top left of its page" wait_for 10 preview_shown
shot "$artifacts/preview.png"
view_back() { is_white 640 412 && is_dark_blue 20 $((vy + 10)); }
close_preview() { local at; at=$(preview_bar_word Fermer) || return 1; click $at; wait_for 10 view_back; }
step "Fermer l'aperçu gives the view back" close_preview

click 84 8; click 120 53   # Edition > Paramètrage
sleep 0.8
xdotool key ctrl+a; xdotool type "1000"; xdotool key Tab ctrl+a; xdotool type -- "-0.2"
xdotool key Return
step "the parameters dialog re-centres on -0.2 with 1000 iterations" wait_for 30 is_white 640 412

click 30 8; click 85 141   # Fichier > Exporter image...
sleep 1
xdotool type "$work/vue.png"; xdotool key Return
step "the picture is exported as PNG through the save dialog" wait_for 20 exists "$work/vue.png"
step "the PNG is the size of the client area" bash -c "identify -format '%m %w' '$work/vue.png' | grep -q '^PNG 1280$'"

click 30 8; click 80 163   # Fichier > Exporter vidéo...
sleep 1
xdotool key Up Up Up Up Up; xdotool key Return   # first entry: uncompressed frames
step "the video export writes test.avi with 50 frames" wait_for 60 bash -c "[ \"\$(ffprobe -v error -count_frames -show_entries stream=nb_read_frames -of default=nw=1:nk=1 '$work/test.avi' 2>/dev/null)\" = 50 ]"
step "the picture is drawn again after the video" wait_for 20 is_white 640 412

click 30 8; click 57 51   # Fichier > Ouvrir...
sleep 1
xdotool type "$work/document.nivo"; xdotool key Return
step "opening a file retitles the window" wait_for 10 title_is "document.nivo - nivo"

step "the program is still running before Quitter" kill -0 "$app"
click 30 8; click 55 279   # Fichier > Quitter
step "Quitter ends the program" wait_for 10 bash -c "! kill -0 $app 2>/dev/null"

echo "$((steps - failed)) passed, $failed failed"
[ "$failed" -eq 0 ]
