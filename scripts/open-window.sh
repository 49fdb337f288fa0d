#!/usr/bin/env bash
# Opens the window of the build in BUILD_DIR with WORK_DIR as its working folder, which
# gets the examples and TRELM.TXT (files there that are newer, because a user edited and
# saved them, are kept). When no display can be reached it says why and runs the batch
# runner on an example instead, so the program still shows what it does.
# Usage: scripts/open-window.sh BUILD_DIR WORK_DIR
set -euo pipefail
build=$(cd "$1" && pwd)
source_dir=$(cd "$(dirname "$0")/.." && pwd)
mkdir -p "$2"
cp -u "$source_dir"/examples/*.txt "$source_dir"/TRELM.TXT "$2"/
cd "$2"

# Why the window cannot be shown; nothing when it can. A display that is set but gone
# (a closed session, a stale DISPLAY over ssh) would make the toolkit abort at start-up.
display_problem() {
  [ -n "${WAYLAND_DISPLAY:-}" ] && return 0
  if [ -z "${DISPLAY:-}" ]; then
    echo "No display found (DISPLAY is not set)"
  elif command -v xset > /dev/null && ! timeout 5 xset q > /dev/null 2>&1; then
    echo "The display $DISPLAY cannot be reached"
  fi
}

problem=$(display_problem)
if [ -z "$problem" ]; then
  exec "$build"/app/Tarmel
fi
echo "$problem: running the batch runner on houses.txt instead."
"$build"/cli/tarmel-run houses.txt || true
cat output.txt
