#!/usr/bin/env bash
# Installs what is missing, builds everything with AddressSanitizer and
# UndefinedBehaviorSanitizer and runs every test, replays the seeds of every fuzz target, then
# makes the Debian package and checks it (which builds the benchmarks, without sanitizers).
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$root/build-test"

bash "$root/scripts/install-deps.sh"

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Debug -DKVALOR_SANITIZE=ON -DKVALOR_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" -j"$(nproc)"

export QT_QPA_PLATFORM=offscreen
# glib keeps its own allocator otherwise, which hides GObject leaks from LeakSanitizer.
export G_SLICE=always-malloc
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:strict_string_checks=1"
export LSAN_OPTIONS="suppressions=$root/tests/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
# The server tests start a PostgreSQL cluster of their own; here they fail rather than skip
# when the server programs are missing.
export KVALOR_REQUIRE_SERVER=1
(cd "$build" && ctest --output-on-failure -j"$(nproc)" --timeout 600)

bash "$root/scripts/fuzz.sh" --replay
bash "$root/scripts/package.sh" --check
