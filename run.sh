#!/usr/bin/env bash
# Installs what is missing, builds, and opens the program's window in a working folder
# outside the tracked files (build/run-folder), which holds autoread.txt, the examples and
# TRELM.TXT; param.par and output.txt are written there. Without a display, or with one
# that cannot be reached, it says so and runs the batch runner on an example instead.
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh
cmake --preset release > /dev/null
# Only what it runs: the window and the batch runner (./test.sh builds everything).
cmake --build --preset release -j "$(nproc)" --target Tarmel tarmel-run
exec scripts/open-window.sh build/release build/run-folder
