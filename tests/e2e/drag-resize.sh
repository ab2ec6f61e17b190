#!/usr/bin/env bash
# Drag-resizes the window with the mouse, under a window manager, many times
# while a picture is shown: the program survives every drag and ends with the
# picture of the final size. Run with the sanitized build too.
# Usage: drag-resize.sh NIVO_BINARY ARTIFACT_DIR [DRAGS]
set -uo pipefail
nivo=$(readlink -f "$1")
artifacts=$2
drags=${3:-40}
source "$(dirname "$0")/desktop.sh"

start_desktop 1280x800
cd "$work" || exit 1
"$nivo" >"$artifacts/nivo.log" 2>&1 &
app=$!
step "the window opens" wait_for 20 find_window '^Nivo - Lumivex$'
wait_for 10 is_maximised
wmctrl -i -r "$window" -b remove,maximized_vert,maximized_horz
wait_for 10 eval '! is_maximised'
wmctrl -i -r "$window" -e 0,40,40,900,600
step "the window is restored to about 900x600" \
  wait_for 10 eval 'window_geometry && [ $((win_w - 900)) -ge -3 ] && [ "$win_w" -le 900 ] && [ $((win_h - 600)) -ge -3 ] && [ "$win_h" -le 600 ]'
keys ctrl+n
step "a picture is drawn" wait_for 20 is_white $((win_x + win_w / 2)) $((win_y + win_h / 2))

# Alt and the right button drag the window's size from the corner nearest the pointer.
drag() { # from-x from-y to-x to-y
  xdotool mousemove "$1" "$2" keydown alt mousedown 3
  local i
  for i in 1 2 3 4 5 6; do
    xdotool mousemove $(($1 + ($3 - $1) * i / 6)) $(($2 + ($4 - $2) * i / 6))
    sleep 0.03
  done
  xdotool mouseup 3 keyup alt
}
survived=0
for i in $(seq 1 "$drags"); do
  window_geometry || break
  # Between 500 and 1100 wide, 350 and 700 high, changing every time.
  to_w=$((500 + (i * 137) % 600)) to_h=$((350 + (i * 89) % 350))
  drag $((win_x + win_w - 10)) $((win_y + win_h - 10)) $((win_x + to_w - 10)) $((win_y + to_h - 10))
  sleep 0.1
  kill -0 "$app" 2>/dev/null || break
  survived=$i
done
echo "# survived $survived of $drags drag-resizes"
step "the program survives $drags drag-resizes" eval "[ $survived = $drags ] && kill -0 $app"
step "the window took the size of the drags" wait_for 10 eval 'window_geometry && [ "$win_w" -lt 1150 ] && [ "$win_h" -lt 760 ]'
step "the client area is found on the screen" wait_for 20 measure_view
step "the picture is exactly the render of the final client size" wait_for 10 view_is_render_of_size
shot "$artifacts/after-drags.png"
step "nothing was reported by the sanitizers" eval '! grep -qE "ERROR: (Address|Leak)Sanitizer|runtime error:" "$artifacts/nivo.log"'
finish
