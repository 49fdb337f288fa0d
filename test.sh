#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: once in an optimised build and
# once under AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh
export QT_QPA_PLATFORM=offscreen
jobs=$(nproc)

for preset in dev asan; do
  echo "=== $preset build ==="
  cmake --preset "$preset" > /dev/null
  cmake --build --preset "$preset" -j "$jobs"
  echo "=== $preset tests ==="
  ctest --preset "$preset" -j "$jobs"
done
