#!/usr/bin/env bash
# Installs what is missing, builds Kvalor and starts it. Its first start writes a starter data
# file beside the program, so that there is something to work with.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$root/build"

bash "$root/scripts/install-deps.sh"

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKVALOR_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" -j"$(nproc)"
exec "$build/src/kvalor"
