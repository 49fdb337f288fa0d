#!/usr/bin/env bash
# Installs what is missing, builds, and opens the program's window in a working folder
# outside the tracked files (build/run-folder), which holds autoread.txt, the examples and
# TRELM.TXT; param.par and output.txt are written there. Without a display it says so and
# runs the batch runner on an example instead.
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh
cmake --preset release > /dev/null
cmake --build --preset release -j "$(nproc)"

work=build/run-folder
mkdir -p "$work"
# -u keeps the files a user has edited and saved in the working folder.
cp -u examples/*.txt TRELM.TXT "$work"/
cd "$work"
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  exec ../release/app/Tarmel
fi
echo "No display found (DISPLAY is not set): running the batch runner on houses.txt instead."
../release/cli/tarmel-run houses.txt || true
cat output.txt
