#!/usr/bin/env bash
# Builds every fuzz target (fuzz/*.cpp) with clang, libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer in a build folder of its own, writes the seed corpora from files
# the program writes, and runs each target for a while. A crash, a leak, undefined behaviour or
# a hang stops the script with an error; the input that did it is kept in build-fuzz/artifacts.
#   scripts/fuzz.sh [SECONDS_PER_TARGET]        (default 60)
#   scripts/fuzz.sh --replay                    (runs each seed once and stops: what CI does)
# The corpora grow in build-fuzz/corpus and are taken up again by the next run.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$root/build-fuzz"
seconds="${1:-60}"
replay=false
if [ "$seconds" = --replay ]; then
  replay=true
fi

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_COMPILER=clang++-14 -DKVALOR_SANITIZE=ON -DKVALOR_BUILD_FUZZ=ON \
  -DKVALOR_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" --target kvalor_fuzz

seeds="$build/seeds"
rm -rf "$seeds"
"$build/fuzz/kvalor_fuzz_seeds" "$seeds"

# glib has no frame pointers: the slower unwinder is needed for leaks inside libgsf to show the
# libgsf call that tests/lsan.supp names (a few frames are enough).
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:fast_unwind_on_malloc=0:malloc_context_size=8"
export LSAN_OPTIONS="suppressions=$root/tests/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export ASAN_SYMBOLIZER_PATH="${ASAN_SYMBOLIZER_PATH:-$(command -v llvm-symbolizer-14 || true)}"
export G_SLICE=always-malloc
mkdir -p "$build/artifacts"
for source in "$root"/fuzz/*.cpp; do
  target="$(basename "$source" .cpp)"
  if $replay; then
    # The seeds alone, each run once: the same inputs every time.
    corpus="$seeds/$target"
    mkdir -p "$corpus"
    limits=(-runs=0)
    echo "replaying the seeds of $target"
  else
    corpus="$build/corpus/$target"
    mkdir -p "$corpus"
    if [ -d "$seeds/$target" ]; then
      cp -n "$seeds/$target"/* "$corpus"/ 2>/dev/null || true
    fi
    limits=(-max_total_time="$seconds" -max_len=65536)
    echo "fuzzing $target for ${seconds}s"
  fi
  "$build/fuzz/$target" "${limits[@]}" -timeout=30 -rss_limit_mb=4096 \
    -print_final_stats=1 -artifact_prefix="$build/artifacts/$target-" \
    "$corpus" 2>"$build/$target.log" || {
      tail -n 60 "$build/$target.log"
      echo "fuzz target $target failed; input kept in $build/artifacts" >&2
      exit 1
    }
  grep -E "^stat::(number_of_executed_units|new_units_added)" "$build/$target.log" || true
done
