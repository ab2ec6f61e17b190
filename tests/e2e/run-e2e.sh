#!/usr/bin/env bash
# Drives the real nivo window on an X desktop with a window manager, with real
# mouse and keyboard input, and checks what a user would see and the files written.
# Usage: run-e2e.sh NIVO_BINARY ARTIFACT_DIR
set -uo pipefail
# The test runs from its own work folder, so a relative binary path must be made absolute.
nivo=$(readlink -f "$1")
artifacts=$2
source "$(dirname "$0")/desktop.sh"

click() { xdotool mousemove "$1" "$2" click 1; }
exists() { [ -s "$1" ]; }
frames_of() { ffprobe -v error -count_frames -show_entries stream=nb_read_frames -of default=nw=1:nk=1 "$1" 2>/dev/null; }
# The old title property and the one desktops show (EWMH) both read exactly $1.
title_is() {
  xdotool search --name "^$1\$" >/dev/null 2>&1 &&
    [ "$(xprop -id "$window" -notype _NET_WM_NAME 2>/dev/null)" = "_NET_WM_NAME = \"$1\"" ]
}
other_window_focused() { local f; f=$(xdotool getwindowfocus 2>/dev/null); [ -n "$f" ] && [ "$f" != "$window" ]; }
main_window_focused() { [ "$(xdotool getwindowfocus 2>/dev/null)" = "$window" ]; }
centre_white() { is_white $((vx + vw / 2)) $((vy + vh / 2)); }

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
  inside=$(rgb_at "$work/page.png" $((x + vw / 8)) $((y + vh / 8)))
  outside=$(rgb_at "$work/page.png" $((x + 5)) $((y + 5)))
  white_rgb "$inside" && dark_blue_rgb "$outside" ||
    { note "page colours: inside the set $inside, outside $outside"; return 1; }
  "$magick_convert" "$work/page.png" -crop "${w}x$h+$x+$y" +repage -resize '32x18!' "$work/page-small.png" &&
    "$magick_convert" "$2" -crop "${vw}x$vh+$vx+$vy" +repage -resize '32x18!' "$work/view-small.png" || return 1
  local difference
  difference=$(compare -metric RMSE "$work/page-small.png" "$work/view-small.png" null: 2>&1 | sed -E 's/.*\((.*)\).*/\1/')
  awk -v d="$difference" 'BEGIN { exit !(d != "" && d < 0.05) }' ||
    { note "page and screen differ by $difference (RMSE)"; return 1; }
}
# No lossy compression on the page: the picture is embedded as it is.
page_is_lossless() { ! pdfimages -list "$1" 2>/dev/null | awk 'NR > 2 { print $9 }' | grep -qx jpeg; }

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
  local desk r g b; desk=$(rgb_at "$work/now.png" $((vx + 10)) $((vy + vh - 10)))
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

# The progress box, seen while a render is stopped half-way: the process is held by the
# debugger when the bar is sent position $1 or more (the box then still shows the one
# before), and the screen is read meanwhile. Prints the length of the bar's filled run.
# The bar is reached through its window interface, whose entry has its own copy of the
# function: both entries are watched, the message and the position read from the
# registers that carry the second and third arguments.
hold_render() { # position command...: the command starts a render, held at that position
  rm -f "$work/held.png" "$work/gdb.log"
  cat >"$work/gdb.cmd" <<END
set pagination off
break *'non-virtual thunk to ProgressWindow::Bar::OnMessage(unsigned int, unsigned long, long)' if \$esi == 0x402 && \$rdx >= $1
break *'ProgressWindow::Bar::OnMessage(unsigned int, unsigned long, long)' if \$esi == 0x402 && \$rdx >= $1
continue
shell import -display $display -window root $work/held.png
shell $while_held
delete
detach
END
  shift
  # The debugger waits on a continued process only with a terminal of its own.
  timeout 60 script -qec "gdb -q -batch -nx -p $app -x $work/gdb.cmd" /dev/null >"$work/gdb.log" 2>&1 &
  local debugger=$!
  wait_for 30 grep -qs '^Breakpoint 2 at' "$work/gdb.log" || { note "the debugger did not attach"; return 1; }
  "$@"
  wait "$debugger"
  [ -s "$work/held.png" ] || { note "the render was not held: $(tail -3 "$work/gdb.log")"; return 1; }
}
while_held=true   # a shell command run while the render is held
held_render_bar() { # position
  hold_render "$1" keys ctrl+n || return 1
  cp "$work/held.png" "$artifacts/progress-$1.png"
  # The filled part of the bar: the longest run of the selection colour across the
  # window's middle rows.
  "$magick_convert" "$work/held.png" -crop "${win_w}x80+$win_x+$((win_y + win_h / 2 - 40))" +repage -depth 8 txt:- |
    awk -F'[(),: ]+' '{ x = $1; y = $2; r = $3; g = $4; b = $5
        if (b >= r + 80 && g >= r + 40 && b > 150) { if (x == last[y] + 1) run[y]++; else run[y] = 1; last[y] = x
          if (run[y] > best) best = run[y] } }
      END { print best + 0 }'
}
bar_at_25=0 bar_at_75=0
progress_seen_at_25() { bar_at_25=$(held_render_bar 26) && [ "$bar_at_25" -ge 20 ] ||
  { note "no filled bar seen a quarter of the way: run of $bar_at_25 pixels"; return 1; }; }
progress_seen_at_75() { bar_at_75=$(held_render_bar 76) && [ "$bar_at_75" -ge $((bar_at_25 * 2)) ] ||
  { note "the bar did not move on: $bar_at_25 then $bar_at_75 pixels"; return 1; }; }
no_box_after_render() {
  shot "$work/now.png"
  local filled
  filled=$("$magick_convert" "$work/now.png" -crop "${win_w}x80+$win_x+$((win_y + win_h / 2 - 40))" +repage -depth 8 txt:- |
    awk -F'[(),: ]+' '$5 >= $3 + 80 && $4 >= $3 + 40 && $5 > 150 { n++ } END { print n + 0 }')
  [ "$filled" -lt 10 ] || { note "$filled pixels of a bar still on screen"; return 1; }
}

# Where the dialog is on the screen, its window manager's frame included.
dx=0 dy=0 dw=0 dh=0
dialog_area() {
  local left right top bottom
  [ -n "$dialog" ] || return 1
  read -r dx dy dw dh < <(xwininfo -id "$dialog" 2>/dev/null |
    awk -F: '/Absolute upper-left X/ { x = $2 } /Absolute upper-left Y/ { y = $2 }
      /^ +Width/ { w = $2 } /^ +Height/ { h = $2 } END { print x + 0, y + 0, w + 0, h + 0 }')
  IFS=', ' read -r left right top bottom < <(xprop -id "$dialog" -notype _NET_FRAME_EXTENTS 2>/dev/null | sed 's/.*= //')
  fx=$((dx - ${left:-0})) fy=$((dy - ${top:-0})) fw=$((dw + ${left:-0} + ${right:-0})) fh=$((dh + ${top:-0} + ${bottom:-0}))
}
# The held screen and the one before the dialog differ there only by the progress box.
dialog_area_shows_window() {
  local differ
  "$magick_convert" "$work/held.png" -crop "${fw}x$fh+$fx+$fy" +repage "$work/held-area.png" &&
    "$magick_convert" "$work/before-dialog.png" -crop "${fw}x$fh+$fx+$fy" +repage "$work/before-area.png" || return 1
  differ=$(compare -metric AE "$work/held-area.png" "$work/before-area.png" null: 2>&1)
  # The progress box, and a loaded window manager's frame drawn late (title
  # bar, edges): at most 60 rows' worth; a dialog left there differs nearly whole.
  [ "${differ%% *}" -le $((60 * fw)) ] 2>/dev/null ||
    { note "$differ of the dialog's ${fw}x$fh pixels differ from the window before it"; return 1; }
}

settings_file="$HOME/.config/Local AppWizard-Generated Applications/nivo.ini"
recent_lists() { grep -q "$1" "$settings_file" 2>/dev/null; }

start_desktop 1280x800
cd "$work" || exit 1
printf '' > "$work/document.nivo"
printf '' > "$work/autre.nivo"
"$nivo" >"$artifacts/nivo.log" 2>&1 &
app=$!

step "the window opens titled Nivo - Lumivex" wait_for 20 eval 'find_window "^Nivo - Lumivex\$" && title_is "Nivo - Lumivex"'
step "it opens maximised by the window manager" wait_for 10 maximised_across 1280
step "no picture before the first draw" is_background $((win_x + win_w / 2)) $((win_y + win_h / 2))
step "the status bar reads Prêt at start" wait_for 10 prompt_reads "$ready"
click $((win_x + 25)) $((win_y + 34))   # toolbar button 1: Dessiner
step "Dessiner draws the set: white inside" wait_for 20 is_white $((win_x + win_w / 2)) $((win_y + win_h / 2))
step "the status bar shows the prompt of the button under the pointer" \
  wait_for 5 prompt_reads "Cr(e|é|è|ê)e un nouveau document"
step "the client area is found on the screen" measure_view
shot "$artifacts/drawn.png"
step "and dark blue outside" is_dark_blue $((vx + 20)) $((vy + 20))
step "the picture is exactly the render of the client area's size" view_is_render_of_size
xdotool mousemove $((vx + vw / 4)) $((vy + vh / 4))   # upper left, over the outside of the set
step "off the button the status bar reads Prêt again" wait_for 5 prompt_reads "$ready"
step "the coordinate panes show the plane point under the pointer" wait_for 5 panes_show $((vx + vw / 4)) $((vy + vh / 4))
xdotool mousemove $((vx + vw * 3 / 4)) $((vy + vh * 4 / 5))  # lower right, below the real axis
step "and follow the pointer" wait_for 5 panes_show $((vx + vw * 3 / 4)) $((vy + vh * 4 / 5))
click $((vx + vw * 78 / 100)) $((vy + vh / 2))  # right of the set, outside it
step "a click re-centres there and zooms in" wait_for 20 is_dark_blue $((vx + 20)) $((vy + vh / 2))
step "the title is unchanged" title_is "Nivo - Lumivex"
keys ctrl+z
step "Undo brings the start view back" wait_for 20 centre_white

step "a render shows its progress box a quarter of the way" progress_seen_at_25
step "and three quarters of the way, further on" progress_seen_at_75
step "the box is gone once the render is over" wait_for 10 no_box_after_render
step "the box never took the focus" main_window_focused

shot "$work/start-view.png"
keys ctrl+p
step "Imprimer opens the print dialog" dialog_ready '^Imprimer'
shot "$artifacts/print-dialog.png"
xdotool key alt+f ctrl+a   # Qt's French "&Fichier de sortie": the output file of the PDF entry
xdotool type "$work/vue.pdf"
step "the dialog closes once accepted" accept_typed
step "printing to a file writes a one-page PDF" wait_for 20 has_pages "$work/vue.pdf" 1
cp "$work/vue.pdf" "$artifacts/" 2>/dev/null
step "the page shows the picture from its top-left corner, one dot per pixel" \
  page_shows_view "$work/vue.pdf" "$work/start-view.png"
step "the picture is on the page without lossy compression" page_is_lossless "$work/vue.pdf"

keys alt+f v   # Fichier > Aperçu a&vant impression
step "the print preview takes the view's place, the picture at the top left of its page" wait_for 10 preview_shown
shot "$artifacts/preview.png"
view_back() { centre_white && is_dark_blue $((vx + 20)) $((vy + 20)); }
close_preview() { local at; at=$(preview_bar_word Fermer) || return 1; click $at; wait_for 10 view_back; }
step "Fermer l'aperçu gives the view back" close_preview

shot "$work/before-dialog.png"
keys alt+e p   # Edition > &Paramètrage
step "the parameters dialog opens with the focus" dialog_ready '^Param'
dialog_area
# The focus starts on OK; Cancel, then the iteration limit and the centre's x follow.
xdotool key Tab Tab ctrl+a; xdotool type "1000"; xdotool key Tab ctrl+a; xdotool type -- "-0.2"
# Held while it computes, a click where the dialog's OK button was.
while_held="xdotool mousemove $((dx + dw * 35 / 100)) $((dy + dh * 92 / 100)) click 1"
step "accepting the parameters starts a render" hold_render 20 xdotool key Return
while_held=true
cp "$work/held.png" "$artifacts/render-after-dialog.png" 2>/dev/null
step "during that render the screen shows the window where the dialog was" dialog_area_shows_window
step "the parameters dialog re-centres on -0.2 with 1000 iterations" wait_for 30 centre_white
step "that picture too is exactly the render of its view" \
  view_is_render_of_size --iterations 1000 --center -0.2,0 --zoom 1

keys alt+f x   # Fichier > E&xporter image...
step "the save dialog opens with the focus" focused_dialog
xdotool type "$work/vue.png"
step "the save dialog closes once accepted" accept_typed
step "the picture is exported as PNG through the save dialog" wait_for 20 exists "$work/vue.png"
step "the PNG is the size of the client area" bash -c "identify -format '%m %wx%h' '$work/vue.png' | grep -qx 'PNG ${vw}x$vh'"

keys alt+f p   # Fichier > Ex&porter vidéo...
step "the compression dialog opens with the focus" wait_for 10 other_window_focused
xdotool key Up Up Up Up Up; xdotool key Return   # first entry: uncompressed frames
step "the video export writes test.avi with 50 frames" wait_for 60 eval '[ "$(frames_of "$work/test.avi")" = 50 ]'
step "the picture is drawn again after the video" wait_for 20 centre_white

open_document() { # path
  keys ctrl+o
  focused_dialog || return 1
  xdotool type "$1"
  accept_typed existing
}
open_document "$work/document.nivo"
step "opening a file retitles the window" wait_for 10 title_is "document.nivo - nivo"
open_document "$work/autre.nivo"
step "and puts it first in the recent files" wait_for 10 eval 'title_is "autre.nivo - nivo" && recent_lists document.nivo'
rm -f "$work/document.nivo"
keys alt+f 2   # the second recent file, which has gone
step "a recent file that has gone is reported" wait_for 10 other_window_focused
xdotool key Return
step "and leaves the recent files once the message is closed" wait_for 10 eval '! recent_lists document.nivo && recent_lists autre.nivo'
step "the title stays" title_is "autre.nivo - nivo"

wmctrl -i -r "$window" -b remove,maximized_vert,maximized_horz
restored_in_view() {
  window_geometry
  [ "$win_w" -ge 800 ] && [ "$win_w" -le 1100 ] && [ "$win_h" -ge 450 ] && [ "$win_h" -le 700 ] &&
    [ "$win_y" -ge 15 ] && [ "$win_x" -ge 0 ] && [ $((win_x + win_w)) -le 1280 ] && [ $((win_y + win_h)) -le 800 ] ||
    { note "restored window at ${win_w}x$win_h+$win_x+$win_y"; return 1; }
}
step "leaving the maximised state gives a smaller window, title bar on screen" wait_for 10 restored_in_view
shot "$artifacts/restored.png"
step "the picture is drawn again at the new size" wait_for 20 eval 'measure_view && view_is_render_of_size --iterations 1000 --center -0.2,0 --zoom 1'

step "the program is still running before Quitter" kill -0 "$app"
keys alt+f q   # Fichier > &Quitter
step "Quitter ends the program" wait_for 10 eval '! kill -0 $app 2>/dev/null'
app=""

# With no window manager at all, the program maximises its window itself.
stop_desktop
start_desktop 1280x800 bare
"$nivo" >"$artifacts/nivo-bare.log" 2>&1 &
app=$!
fills_screen() { find_window "^Nivo - Lumivex\$" && window_geometry && [ "$win_w" = 1280 ] && [ "$win_h" = 800 ] ||
  { note "window at ${win_w}x$win_h+$win_x+$win_y"; return 1; }; }
step "without a window manager the window fills the screen" wait_for 20 fills_screen
shot "$artifacts/bare.png"
step "and draws the set there" eval 'keys ctrl+n && wait_for 20 is_white 640 400'

finish
