#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test headless.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh --test
./scripts/build.sh
export QT_QPA_PLATFORM=offscreen
export XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-$(mktemp -d)}
ctest --test-dir build --output-on-failure -j"$(nproc)" </dev/null
# CI also runs the whole suite under AddressSanitizer and UndefinedBehaviorSanitizer,
# and every fuzz seed through the clang-built libFuzzer targets.
if [ "${CI:-}" = "true" ]; then
  ./scripts/test-sanitized.sh
  ./fuzz/run.sh --replay
fi
