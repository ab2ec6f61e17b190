#!/usr/bin/env bash
# Installs what is missing, builds, and starts the viewer.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
./scripts/build.sh
if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  echo "nivo: no display found (DISPLAY and WAYLAND_DISPLAY are unset); start it from a desktop session or under xvfb-run." >&2
  exit 1
fi
exec ./build/app/nivo "$@"
