#!/usr/bin/env bash
# Installs what is missing, builds Kvalor for release as the copy to install and makes its Debian
# package, build-package/kvalor_<version>-<release>_<architecture>.deb.
#   scripts/package.sh [--check]
# --check (what scripts/test.sh runs) also checks the package: unpacked, its programs start as
# installed ones and lintian finds no error in it. It builds the benchmarks too: they only need
# to compile, and they are timed without the sanitizers of the tests.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$root/build-package"
check=OFF
case "${1:-}" in
  "") ;;
  --check) check=ON ;;
  *) echo "usage: scripts/package.sh [--check]" >&2; exit 2 ;;
esac

bash "$root/scripts/install-deps.sh"

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DKVALOR_BUILD_TESTS=OFF \
  -DKVALOR_INSTALLED_COPY=ON -DKVALOR_BUILD_BENCH="$check" -DKVALOR_BUILD_PACKAGE_TEST="$check" \
  >/dev/null
cmake --build "$build" -j"$(nproc)"
rm -f "$build"/kvalor_*.deb
(cd "$build" && cpack -G DEB -B "$build")
ls "$build"/kvalor_*.deb
if [ "$check" = ON ]; then
  QT_QPA_PLATFORM=offscreen "$build/tests/install/kvalor_package_test"
fi
