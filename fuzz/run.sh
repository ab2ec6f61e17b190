#!/usr/bin/env bash
# Builds the libFuzzer targets with clang into build-fuzz/ (or $NIVO_FUZZ_BUILD_DIR)
# and runs each for SECONDS (default 60), one after the other.
#
#   fuzz/run.sh [SECONDS] [TARGET...]    fuzz; new inputs go to build-fuzz/corpus/TARGET/
#   fuzz/run.sh --merge [TARGET...]      minimise the committed seeds in fuzz/corpus/TARGET/
#                                        together with what fuzzing found
#   fuzz/run.sh --replay [TARGET...]     run each committed seed once through the clang
#                                        build (CI: what only clang rejects shows at once)
#
# TARGET is a name like fuzz_number_text; without one, every target that was built.
# A failing input is saved as build-fuzz/artifacts/TARGET-crash-*; replay it with
# build-fuzz/fuzz/TARGET FILE. Every target runs even when one fails; the exit
# status says whether any did.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${NIVO_FUZZ_BUILD_DIR:-build-fuzz}

mode=fuzz
if [ "${1:-}" = "--merge" ] || [ "${1:-}" = "--replay" ]; then
  mode=${1#--}
  shift
fi
seconds=60
if [[ "${1:-}" =~ ^[0-9]+$ ]]; then
  seconds=$1
  shift
fi

launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
cmake -S . -B "$build" -G Ninja -DNIVO_FUZZ=ON -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  "${launcher[@]}" >/dev/null
cmake --build "$build" --target nivo_fuzzers

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  # Executable files only: Qt's fuzz_*_autogen folders are executable too.
  for binary in "$build"/fuzz/fuzz_*; do
    [ -f "$binary" ] && [ -x "$binary" ] && targets+=("$(basename "$binary")")
  done
fi
if [ ${#targets[@]} -eq 0 ]; then
  echo "no fuzz target was built in $build/fuzz" >&2
  exit 1
fi

mkdir -p "$build/artifacts"
failed=()
for target in "${targets[@]}"; do
  seeds=fuzz/corpus/$target
  found=$build/corpus/$target
  mkdir -p "$seeds" "$found"
  if [ "$mode" = merge ]; then
    # Keeps the smallest set of inputs that covers everything either folder reaches.
    merged=$(mktemp -d)
    "$build/fuzz/$target" -merge=1 "$merged" "$seeds" "$found"
    rm -f "$seeds"/*
    cp "$merged"/* "$seeds"/
    rm -rf "$merged"
    echo "$target: $(ls "$seeds" | wc -l) seeds"
  elif [ "$mode" = replay ]; then
    "$build/fuzz/$target" -runs=0 "$seeds" -artifact_prefix="$build/artifacts/$target-" 2>"$build/$target.log" ||
      { cat "$build/$target.log" >&2; failed+=("$target"); }
  else
    echo "== $target for ${seconds}s"
    "$build/fuzz/$target" "$found" "$seeds" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
      -max_len=4096 -use_value_profile=1 -print_final_stats=1 -artifact_prefix="$build/artifacts/$target-" ||
      failed+=("$target")
  fi
done
if [ ${#failed[@]} -gt 0 ]; then
  echo "failed: ${failed[*]} (inputs in $build/artifacts/)" >&2
  exit 1
fi
