#!/usr/bin/env bash
# The window on scaled screens: the picture has the client area's size in
# screen pixels and is shown one screen pixel per picture pixel, exactly
# what `nivo --render` makes for that size; the pointer reads the plane
# point of the screen pixel under it.
# Usage: hidpi.sh NIVO_BINARY ARTIFACT_DIR
set -uo pipefail
nivo=$(readlink -f "$1")
artifacts=$2
source "$(dirname "$0")/desktop.sh"

run_at_scale() { # scale screen
  local scale=$1
  start_desktop "$2"
  bar_height=$(awk -v s="$scale" 'BEGIN { printf "%d", 24 * s }')
  cd "$work" || exit 1
  QT_SCALE_FACTOR=$scale "$nivo" >"$artifacts/nivo-$scale.log" 2>&1 &
  app=$!
  local width=${2%x*}
  step "at scale $scale the window opens maximised" wait_for 20 eval 'find_window "^Nivo - Lumivex\$" && maximised_across $width'
  keys ctrl+n
  step "at scale $scale Dessiner draws" wait_for 20 is_white $((win_x + win_w / 2)) $((win_y + win_h / 2))
  step "at scale $scale the client area is found" measure_view
  shot "$artifacts/scale-$scale.png"
  "$magick_convert" "$work/now.png" -crop "200x120+$((vx + vw / 2 - 330))+$((vy + vh / 2 - 150))" +repage \
    "$artifacts/scale-$scale-crop.png"
  step "at scale $scale the client area is as wide as the screen allows" \
    eval "[ $vw -gt $(( ${2%x*} * 9 / 10 )) ]"
  step "at scale $scale the picture is the render of the client area's screen pixels" view_is_render_of_size
  local px=$((vx + vw / 4 + 1)) py=$((vy + vh / 4 + 1))
  xdotool mousemove "$px" "$py"
  step "at scale $scale the panes read the plane point of the screen pixel under the pointer" \
    wait_for 5 panes_show "$px" "$py" 4
  [ $# -lt 3 ] || restored_at_scale "$scale" "$3"
  kill "$app" 2>/dev/null; wait "$app" 2>/dev/null
  stop_desktop
}

# A restored window whose size is no whole number of logical pixels: the
# picture is what the window shows, to its last screen pixel, and the pointer
# at its first pixel reads the left edge of the plane.
restored_at_scale() { # scale WIDTHxHEIGHT
  local scale=$1 w=${2%x*} h=${2#*x}
  wmctrl -i -r "$window" -b remove,maximized_vert,maximized_horz
  wmctrl -i -r "$window" -e "0,40,40,$w,$h"
  resized() { window_geometry && [ $((win_w - w)) -ge -3 ] && [ $((win_w - w)) -le 0 ] && [ $((win_h - h)) -ge -3 ] &&
    [ $((win_h - h)) -le 0 ]; }
  step "at scale $scale the window is restored to about $2" wait_for 10 resized
  echo "# restored window: ${win_w}x$win_h"
  step "at scale $scale the restored window's picture is the render of the client area it shows" \
    wait_for 20 eval 'measure_view && view_is_render_of_size'
  shot "$artifacts/scale-$scale-restored.png"
  local px=$vx py=$((vy + vh / 3))
  xdotool mousemove "$px" "$py"
  step "at scale $scale the pointer on the restored picture's first pixel reads its plane point" \
    wait_for 5 panes_show "$px" "$py" 8
}

run_at_scale 2 2560x1600
run_at_scale 1.5 1920x1200 1001x701
finish
