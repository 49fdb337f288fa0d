#!/usr/bin/env bash
# Makes the Debian package of the two programs in build/deb: builds only the window and
# the batch runner (installing needs nothing else), then runs CPack. Prints the
# package's path.
# Usage: scripts/make-deb.sh
set -euo pipefail
cd "$(dirname "$0")/.."
build=build/deb
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTARMEL_BUILD_APP=ON \
  -DCMAKE_INSTALL_PREFIX=/usr -DCMAKE_SKIP_INSTALL_ALL_DEPENDENCY=ON > /dev/null
cmake --build "$build" -j "$(nproc)" --target Tarmel tarmel-run
(cd "$build" && cpack -G DEB > /dev/null)
ls "$PWD/$build"/tarmel_*.deb
