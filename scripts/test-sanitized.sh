#!/usr/bin/env bash
# Builds with AddressSanitizer and UndefinedBehaviorSanitizer into build-asan/
# and runs every test; any report fails the run.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh --test
NIVO_BUILD_DIR=build-asan ./scripts/build.sh -DNIVO_SANITIZE=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo
export QT_QPA_PLATFORM=offscreen
export XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-$(mktemp -d)}
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:halt_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export LSAN_OPTIONS=suppressions=$PWD/scripts/lsan.supp:print_suppressions=0
ctest --test-dir build-asan --output-on-failure -j"$(nproc)" -LE "e2e|cups" </dev/null
