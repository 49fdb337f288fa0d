#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: once in an optimised build and
# once under AddressSanitizer and UndefinedBehaviorSanitizer; first each fuzz target runs
# for a short while (scripts/fuzz.sh, when clang is there).
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh
export QT_QPA_PLATFORM=offscreen
# The window's monkey test repeats this sequence unless another seed is given.
export TARMEL_MONKEY_SEED="${TARMEL_MONKEY_SEED:-20261211}"
jobs=$(nproc)

if command -v clang++ > /dev/null; then
  echo "=== fuzz targets, ${TARMEL_FUZZ_SECONDS:-30} s each ==="
  scripts/fuzz.sh "${TARMEL_FUZZ_SECONDS:-30}"
fi

for preset in dev asan; do
  echo "=== $preset build ==="
  cmake --preset "$preset" > /dev/null
  cmake --build --preset "$preset" -j "$jobs"
  echo "=== $preset tests ==="
  ctest --preset "$preset" -j "$jobs"
done
