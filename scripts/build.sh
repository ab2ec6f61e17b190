#!/usr/bin/env bash
# Configures and builds Nivo into build/ (or $NIVO_BUILD_DIR).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${NIVO_BUILD_DIR:-build}
extra=()
[ "${CI:-}" = "true" ] && extra+=(-DNIVO_WERROR=ON)
cmake -S . -B "$build" -G Ninja "${extra[@]}" "$@" >/dev/null
cmake --build "$build" -- -k 0
