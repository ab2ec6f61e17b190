#!/usr/bin/env bash
# Starts nivo on Wayland, under a headless compositor, and checks that its
# window appears, maximised and titled, and draws its menus, toolbar and status
# bar. The headless compositor has no input devices, so nothing can be clicked.
# Usage: wayland.sh NIVO_BINARY ARTIFACT_DIR
set -uo pipefail
nivo=$(readlink -f "$1")
artifacts=$2
mkdir -p "$artifacts"
command -v weston >/dev/null && command -v weston-screenshooter >/dev/null || { echo "weston is not installed"; exit 77; }
[ -e /usr/lib/x86_64-linux-gnu/qt6/plugins/platforms/libqwayland-generic.so ] ||
  ls /usr/lib/*/qt6/plugins/platforms/libqwayland* >/dev/null 2>&1 || { echo "Qt's Wayland platform is not installed"; exit 77; }
work=$(mktemp -d)
export XDG_RUNTIME_DIR=$work/run HOME=$work/home
mkdir -p "$XDG_RUNTIME_DIR" "$HOME" && chmod 700 "$XDG_RUNTIME_DIR"
unset DISPLAY
socket=nivo-test
compositor="" app=""
cleanup() { kill $app $compositor 2>/dev/null; rm -rf "$work"; }
trap cleanup EXIT
steps=0 failed=0
step() { local name=$1; shift; steps=$((steps + 1))
  if "$@"; then echo "ok $steps - $name"; else echo "not ok $steps - $name"; failed=$((failed + 1)); fi; }
wait_for() { local deadline=$((SECONDS + $1)); shift
  until "$@"; do [ "$SECONDS" -lt "$deadline" ] || return 1; sleep 0.2; done; }

# --debug offers the screenshot protocol; pixman draws without a GPU.
weston --backend=headless-backend.so --use-pixman --debug --socket=$socket --width=1280 --height=800 \
  --idle-time=0 >"$artifacts/weston.log" 2>&1 &
compositor=$!
step "the compositor starts" wait_for 20 test -S "$XDG_RUNTIME_DIR/$socket"
export WAYLAND_DISPLAY=$socket
(cd "$work" && QT_QPA_PLATFORM=wayland WAYLAND_DEBUG=client exec "$nivo") >"$artifacts/nivo.log" 2>&1 &
app=$!
titled() { grep -q 'xdg_toplevel@[0-9]*\.set_title("Nivo - Lumivex")' "$artifacts/nivo.log"; }
maximised() { grep -q 'xdg_toplevel@[0-9]*\.set_maximized()' "$artifacts/nivo.log"; }
drawn() { grep -q 'wl_surface@[0-9]*\.attach(wl_buffer' "$artifacts/nivo.log" && grep -q 'wl_surface@[0-9]*\.commit()' "$artifacts/nivo.log"; }
step "the window is titled Nivo - Lumivex" wait_for 30 titled
step "it asks to be maximised" wait_for 30 maximised
step "it hands the compositor drawn buffers" wait_for 30 drawn
# The compositor ties the window to the launcher of that name.
launcher=$(basename "$(dirname "$0")/../../packaging/"*.desktop .desktop)
names_launcher() { grep -q "xdg_toplevel@[0-9]*\.set_app_id(\"$launcher\")" "$artifacts/nivo.log"; }
step "its app_id is the launcher's name, $launcher" names_launcher
shoot() { (cd "$work" && rm -f wayland-screenshot-*.png && weston-screenshooter >/dev/null 2>&1) && ls "$work"/wayland-screenshot-*.png >/dev/null 2>&1; }
# Its menu bar, as a user reads it.
reads_menus() {
  shoot && cp "$work"/wayland-screenshot-*.png "$artifacts/wayland.png" &&
  convert "$artifacts/wayland.png" -crop 1280x120+0+0 +repage -resize 300% -colorspace Gray png:- 2>/dev/null |
    tesseract - - --psm 11 2>/dev/null | grep -q 'Fichier'
}
step "the window shows its menus" wait_for 30 reads_menus
step "the program is still running" kill -0 "$app"
echo "$((steps - failed)) passed, $failed failed"
[ "$failed" -eq 0 ]
