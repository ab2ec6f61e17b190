# Sourced by the desktop tests: a private X server with a window manager,
# screenshots, pixels, text read with Tesseract, and TAP-like steps.
# The caller sets `artifacts` (folder for screenshots of failed steps) first.

work=$(mktemp -d)
mkdir -p "$artifacts"
rm -f "$artifacts"/step-*.png   # screenshots of an earlier run's failures would mislead
export HOME=$work/home XDG_RUNTIME_DIR=$work/run QT_QPA_PLATFORM=xcb
# No print server, even where one runs: the print dialog then offers only printing to a PDF file.
export CUPS_SERVER=$work/no-print-server.sock
mkdir -p "$HOME" "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
steps=0
failed=0
display=""
xvfb=""
wm=""
app=""

stop_desktop() { # and wait for it to be gone, so that its display can be taken again
  local pid
  for pid in $app $wm $xvfb; do kill "$pid" 2>/dev/null; done
  for pid in $app $wm $xvfb; do wait "$pid" 2>/dev/null; done
  app="" wm="" xvfb=""
}
cleanup() {
  stop_desktop
  rm -rf "$work"
}
trap cleanup EXIT

# ImageMagick's own tools, not a stand-in of the same name earlier in PATH.
magick_convert=/usr/bin/convert
[ -x "$magick_convert" ] || magick_convert=convert

wait_for() { # seconds command...: true once the command is, tried until the seconds have passed
  local deadline=$((SECONDS + $1)); shift
  until "$@"; do
    [ "$SECONDS" -lt "$deadline" ] || return 1
    sleep 0.1
  done
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
finish() {
  echo "$((steps - failed)) passed, $failed failed"
  [ "$failed" -eq 0 ]
}

# An X server of WIDTHxHEIGHT on a free display, with openbox managing its windows
# unless it is to be bare.
start_desktop() { # WIDTHxHEIGHT [bare]
  # The first free display that our own server really takes (another may be starting there).
  local n
  for n in $(seq 90 140); do
    [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] && continue
    # Without -noreset the server starts afresh whenever its last client leaves, and
    # refuses the next one meanwhile.
    Xvfb ":$n" -screen 0 "${1}x24" -nolisten tcp -noreset >/dev/null 2>&1 &
    xvfb=$!
    # Ours once it answers and its lock file names it.
    if wait_for 10 eval "kill -0 $xvfb 2>/dev/null && xdpyinfo -display :$n >/dev/null 2>&1" &&
      [ "$(tr -d ' \n' <"/tmp/.X$n-lock" 2>/dev/null)" = "$xvfb" ]; then
      display=":$n"
      break
    fi
    kill "$xvfb" 2>/dev/null; wait "$xvfb" 2>/dev/null; xvfb=""
  done
  [ -n "$xvfb" ] || { echo "Xvfb did not start"; exit 1; }
  export DISPLAY=$display
  [ "${2:-}" = bare ] && return
  openbox --sm-disable >/dev/null 2>&1 &
  wm=$!
  # The window manager has taken the screen once it announces itself.
  wait_for 10 eval 'xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id"' ||
    { echo "openbox did not start"; exit 1; }
}

shot() { import -display "$display" -window root "$1" 2>/dev/null; }
rgb_at() { # image x y -> "r,g,b"
  "$magick_convert" "$1" -format "%[fx:int(255*p{$2,$3}.r)],%[fx:int(255*p{$2,$3}.g)],%[fx:int(255*p{$2,$3}.b)]" info: 2>/dev/null
}
pixel() { # x y -> "r,g,b" on the screen now
  shot "$work/now.png"
  rgb_at "$work/now.png" "$1" "$2"
}
is_white() { [ "$(pixel "$1" "$2")" = "255,255,255" ]; }
dark_blue_rgb() { # "r,g,b": the colours of the outside of the set, not black (an empty screen is black)
  local r g b; IFS=, read -r r g b <<<"$1"
  [ "${r:-1}" -le 2 ] && [ "${g:-1}" -le 2 ] && [ "${b:-0}" -ge 20 ] && [ "$b" -le 210 ]
}
is_dark_blue() { dark_blue_rgb "$(pixel "$1" "$2")"; }
white_rgb() { local r g b; IFS=, read -r r g b <<<"$1"; [ "${r:-0}" -ge 250 ] && [ "$g" -ge 250 ] && [ "$b" -ge 250 ]; }
is_background() {
  local rgb r g b; rgb=$(pixel "$1" "$2"); IFS=, read -r r g b <<<"$rgb"
  [ "$r" -gt 200 ] && [ "$r" -lt 250 ] && [ "$r" = "$g" ]
}

# The program's main window and where it is.
window=""
win_x=0 win_y=0 win_w=0 win_h=0
find_window() { # title regex
  window=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -1); [ -n "$window" ]
}
# Where the window's inside is on the screen (xdotool counts a window manager's frame twice).
window_geometry() {
  read -r win_x win_y win_w win_h < <(xwininfo -id "$window" 2>/dev/null |
    awk -F: '/Absolute upper-left X/ { x = $2 } /Absolute upper-left Y/ { y = $2 }
      /^ +Width/ { w = $2 } /^ +Height/ { h = $2 } END { print x + 0, y + 0, w + 0, h + 0 }')
  [ -n "$win_w" ] && [ "$win_w" -gt 0 ]
}
is_maximised() { xprop -id "$window" _NET_WM_STATE 2>/dev/null | grep -q _NET_WM_STATE_MAXIMIZED_VERT; }
focus_window() { xdotool windowactivate --sync "$window" >/dev/null 2>&1 || xdotool windowfocus --sync "$window"; }
keys() { focus_window; xdotool key --delay 60 "$@"; }
# Maximised and laid out: the window's inside as wide as the screen.
maximised_across() { # screen-width
  is_maximised && window_geometry && [ "$win_w" -eq "$1" ]
}

# Where the client area is on screen, from a drawn start view: its outside is dark blue
# to the edges, so the dark blue run of a column near its left gives its rows and the
# run of a row just below its top gives its columns.
vx=0 vy=0 vw=0 vh=0
dark_run() { # crop axis offset -> "first length" of the dark blue pixels along it
  "$magick_convert" "$work/now.png" -crop "$1" +repage -depth 8 txt:- 2>/dev/null |
    awk -F'[(),: ]+' -v axis="$2" -v o="$3" 'NR > 1 && $3 == 0 && $4 == 0 && $5 >= 20 {
      v = (axis == "x" ? $1 : $2) + o; if (first == "") first = v; last = v }
      END { if (first == "") exit 1; print first, last - first + 1 }'
}
measure_view() {
  shot "$work/now.png"
  read -r vy vh < <(dark_run "1x${win_h}+$((win_x + 20))+$win_y" y "$win_y") &&
    read -r vx vw < <(dark_run "${win_w}x1+$win_x+$((vy + 5))" x "$win_x") &&
    [ "$vw" -gt 300 ] && [ "$vh" -gt 200 ]
}
# The client area on screen is exactly what `nivo --render` makes for a client of its size.
view_is_render_of_size() { # extra render options...
  shot "$work/now.png"
  "$magick_convert" "$work/now.png" -crop "${vw}x$vh+$vx+$vy" +repage "$work/shown.png" &&
    "$nivo" --render "$work/rendered.png" --size "${vw}x$vh" "$@" >/dev/null 2>&1 || { note "no render to compare"; return 1; }
  local differing
  differing=$(compare -metric AE "$work/shown.png" "$work/rendered.png" null: 2>&1)
  [ "$differing" = 0 ] || { note "${differing} of ${vw}x$vh pixels differ from the render of that size"; return 1; }
}

# What a user reads: a region of the last screenshot, enlarged for Tesseract, read as one line.
ocr() { # x y w h
  "$magick_convert" "$work/now.png" -crop "$3x$4+$1+$2" +repage -resize 400% -colorspace Gray png:- 2>/dev/null |
    tesseract - - --psm 7 2>/dev/null | tr -d '\f' | tr '\n' ' ' | sed -E 's/^ +//; s/ +$//'
}
bar_height=24
status_bar() { # left|right: that half of the status bar, as read now
  shot "$work/now.png"
  local half=$((win_w / 2)) top=$((win_y + win_h - bar_height))
  if [ "$1" = left ]; then ocr "$win_x" "$top" "$half" "$bar_height"; else ocr $((win_x + half)) "$top" "$half" "$bar_height"; fi
}
prompt_reads() { # extended regex the whole first pane must match
  local text; text=$(status_bar left)
  echo "$text" | grep -Eqx "$1" || { note "status pane reads '$text'"; return 1; }
}
ready='Pr(e|é|ê|è)t'   # OCR without the French data may lose the circumflex

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
# Equal to the given number of significant digits: within half a unit of the last one.
same_digits() { # digits read expected
  awk -v n="$1" -v a="$2" -v e="$3" 'BEGIN {
    if (a !~ /^-?[0-9]+\.[0-9]+$/ || e == 0) exit 1
    m = e < 0 ? -e : e; l = log(m) / log(10); f = int(l); if (f > l) f--
    d = a - e; if (d < 0) d = -d
    exit !(d <= 10 ^ (f - n + 1) / 2) }'
}
panes_show() { # sx sy [digits]: the panes read the plane point under that screen pixel
  local want text x y digits=${3:-3}
  want=$(plane_point "$1" "$2"); text=$(status_bar right)
  x=$(pane_number x "$text"); y=$(pane_number y "$text")
  same_digits "$digits" "$x" "${want% *}" && same_digits "$digits" "$y" "${want#* }" ||
    { note "panes read '$text' ($x, $y), pixel ($1,$2) is ($want)"; return 1; }
}

dialog=""
dialog_shown() { dialog=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -1); [ -n "$dialog" ]; }
dialog_focused() { [ -n "$dialog" ] && [ "$(xdotool getwindowfocus 2>/dev/null)" = "$dialog" ]; }
dialog_ready() { wait_for 10 dialog_shown "$1" && wait_for 5 dialog_focused; }
dialog_gone() { ! xdotool search --onlyvisible --name "$1" >/dev/null 2>&1; }
# A window of the program the window manager does not manage (the list of a
# text field's completions, a menu) is on the screen.
popup_shown() {
  local id mask=$((~0x1fffff))
  for id in $(xwininfo -root -children 2>/dev/null | awk '/^ +0x/ { print $1 }'); do
    [ $((id & mask)) -eq $((window & mask)) ] || continue
    xwininfo -id "$id" 2>/dev/null | grep -q 'Override Redirect State: yes' &&
      xwininfo -id "$id" 2>/dev/null | grep -q 'Map State: IsViewable' && return 0
  done
  return 1
}
# Return accepts a dialog whose text field was typed in, once no list of
# completions is shown (a busy one may put its own entry in the field), or at
# once when the text names an existing file, which stays listed; again should
# the key have been lost while the dialog was busy.
dialog_closed() { ! xwininfo -id "$dialog" 2>/dev/null | grep -q 'Map State: IsViewable'; }
focused_dialog() { wait_for 10 other_window_focused && dialog=$(xdotool getwindowfocus); }
accept_typed() { # [existing]: of $dialog
  local try
  for try in 1 2 3; do
    [ "${1:-}" = existing ] || wait_for 10 eval '! popup_shown' || break
    xdotool key Return
    wait_for 10 dialog_closed && return 0
  done
  note "the dialog stayed open"; return 1
}
