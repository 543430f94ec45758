#!/usr/bin/env bash
# Installs what is missing, builds Kvalor for release and makes its Debian package,
# build-package/kvalor_<version>_<architecture>.deb.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$root/build-package"

bash "$root/scripts/install-deps.sh"

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DKVALOR_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" -j"$(nproc)"
(cd "$build" && cpack -G DEB -B "$build")
ls "$build"/kvalor_*.deb
