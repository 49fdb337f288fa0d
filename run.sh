#!/usr/bin/env bash
# Installs what is missing, builds, and runs the program. Until the window is there, it
# runs the batch runner on an example and prints the report.
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh
cmake --preset release > /dev/null
cmake --build --preset release -j "$(nproc)"

work=build/run-folder
mkdir -p "$work"
cp examples/*.txt "$work"/
cp TRELM.TXT "$work"/
cd "$work"
../release/cli/tarmel-run houses.txt || true
cat output.txt
