#!/usr/bin/env bash
# Drives the real nivo window under Xvfb with real mouse and keyboard input,
# and checks what a user would see and the files written.
# Usage: run-e2e.sh NIVO_BINARY ARTIFACT_DIR
set -uo pipefail
nivo=$1
artifacts=$2
work=$(mktemp -d)
mkdir -p "$artifacts"
display=""
for n in $(seq 90 120); do
  [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] || { display=":$n"; break; }
done
Xvfb "$display" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
export DISPLAY=$display HOME=$work/home XDG_RUNTIME_DIR=$work/run QT_QPA_PLATFORM=xcb
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
pixel() { # x y -> "r,g,b"
  shot "$work/now.png"
  "$magick_convert" "$work/now.png" -format "%[fx:int(255*p{$1,$2}.r)],%[fx:int(255*p{$1,$2}.g)],%[fx:int(255*p{$1,$2}.b)]" info: 2>/dev/null
}
step() { # name command...
  local name=$1; shift
  steps=$((steps + 1))
  if "$@"; then
    echo "ok $steps - $name"
  else
    echo "not ok $steps - $name"
    failed=$((failed + 1))
    shot "$artifacts/step-$steps.png"
  fi
}
wait_for() { # seconds command...
  local limit=$1; shift
  for _ in $(seq 1 $((limit * 10))); do "$@" && return 0; sleep 0.1; done
  return 1
}
title_is() { xdotool search --name "^$1\$" >/dev/null 2>&1; }
is_white() { [ "$(pixel "$1" "$2")" = "255,255,255" ]; }
is_dark_blue() {
  local rgb; rgb=$(pixel "$1" "$2"); IFS=, read -r r g b <<<"$rgb"
  [ "$r" -eq 0 ] && [ "$g" -eq 0 ] && [ "$b" -le 210 ]
}
is_background() {
  local rgb; rgb=$(pixel "$1" "$2"); IFS=, read -r r g b <<<"$rgb"
  [ "$r" -gt 200 ] && [ "$r" -lt 250 ] && [ "$r" = "$g" ]
}
click() { xdotool mousemove "$1" "$2" click 1; sleep 0.3; }
exists() { [ -s "$1" ]; }
frames_of() { ffprobe -v error -count_frames -show_entries stream=nb_read_frames -of default=nw=1:nk=1 "$1" 2>/dev/null; }

wait_for 10 xdpyinfo -display "$display" >/dev/null 2>&1 || { echo "Xvfb did not start"; exit 1; }
cd "$work" || exit 1
printf '' > "$work/document.nivo"
"$nivo" >"$artifacts/nivo.log" 2>&1 &
app=$!
window=""
find_window() { window=$(xdotool search --name '^Nivo - Lumivex$' 2>/dev/null | head -1); [ -n "$window" ]; }

step "the window opens titled Nivo - Lumivex" wait_for 20 find_window
step "no picture before the first draw" is_background 640 400
click 25 34   # toolbar button 1: Dessiner
step "Dessiner draws the set: white inside" wait_for 20 is_white 640 412
step "and dark blue outside" is_dark_blue 20 70
shot "$artifacts/drawn.png"
click 1000 412  # right of the set, outside it
step "a click re-centres there and zooms in" wait_for 20 is_dark_blue 20 412
step "the title is unchanged" title_is "Nivo - Lumivex"
click 84 8; click 100 30   # Edition > Annuler
step "Undo brings the start view back" wait_for 20 is_white 640 412

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

click 30 8; click 55 279   # Fichier > Quitter
step "Quitter ends the program" wait_for 10 bash -c "! kill -0 $app 2>/dev/null"

echo "$((steps - failed)) passed, $failed failed"
[ "$failed" -eq 0 ]
