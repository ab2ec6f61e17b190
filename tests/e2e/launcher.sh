#!/usr/bin/env bash
# The window names its launcher to an X desktop: the class of its WM_CLASS is
# the StartupWMClass of fr.lumivex.Nivo.desktop, which desktops match to tie
# the window to the launcher's name and icon.
# Usage: launcher.sh NIVO_BINARY ARTIFACT_DIR
set -uo pipefail
nivo=$(readlink -f "$1")
artifacts=$2
launcher=$(readlink -f "$(dirname "$0")/../../packaging/fr.lumivex.Nivo.desktop")
source "$(dirname "$0")/desktop.sh"

wm_class_of() { # launcher file -> the class it declares
  sed -n 's/^StartupWMClass=//p' "$1"
}
class_matches() { # the class, the second string of WM_CLASS
  local found want
  found=$(xprop -id "$window" WM_CLASS 2>/dev/null | sed -n 's/^WM_CLASS(STRING) = //p')
  want=$(wm_class_of "$launcher")
  [ -n "$want" ] && [ "${found#*, }" = "\"$want\"" ] ||
    { note "WM_CLASS is '$found'; the launcher declares StartupWMClass '$want'"; return 1; }
}

start_desktop 1280x800
cd "$work" || exit 1
"$nivo" >"$artifacts/nivo.log" 2>&1 &
app=$!
step "the window opens" wait_for 20 find_window "^Nivo - Lumivex\$"
step "its WM_CLASS is the launcher's StartupWMClass" class_matches
finish
