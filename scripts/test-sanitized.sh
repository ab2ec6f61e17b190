#!/usr/bin/env bash
# Builds Nivo and every test with AddressSanitizer and UndefinedBehaviorSanitizer
# into build-asan/ (or $NIVO_ASAN_BUILD_DIR) and runs the whole test suite headless.
# The first report of either sanitizer, a leak included, fails the test that made it.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
build=${NIVO_ASAN_BUILD_DIR:-build-asan}
extra=()
[ "${CI:-}" = "true" ] && extra+=(-DNIVO_WERROR=ON)
cmake -S . -B "$build" -G Ninja -DNIVO_SANITIZE=ON "${extra[@]}" "$@" >/dev/null
cmake --build "$build" -- -k 0

# allocator_may_return_null: the program asks for impossible sizes with
# new (std::nothrow) and expects null back, as the C library gives it.
# No leak suppressions are needed: Qt, fontconfig and the rest report none here.
export ASAN_OPTIONS=halt_on_error=1:abort_on_error=1:detect_leaks=1:allocator_may_return_null=1:detect_stack_use_after_return=1:check_initialization_order=1:strict_init_order=1
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
export QT_QPA_PLATFORM=offscreen
export XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-$(mktemp -d)}
ctest --test-dir "$build" --output-on-failure -j"$(nproc)" </dev/null
