#!/usr/bin/env bash
# The start script falls back to the batch runner when there is no display and when the
# display set cannot be reached, saying which, and the report still appears.
# Usage: open_window_test.sh OPEN_WINDOW_SCRIPT BUILD_DIR
set -euo pipefail
script=$1
build=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

check() {  # expected-reason, then the environment to run with
  local expected=$1
  shift
  local out
  out=$(env "$@" bash "$script" "$build" "$work/folder" 2>&1) || { echo "failed: $out"; exit 1; }
  grep -qF "$expected: running the batch runner on houses.txt instead." <<< "$out" ||
    { echo "no '$expected' in: $out"; exit 1; }
  grep -q "houses.txt" "$work/folder/output.txt" || { echo "no report"; exit 1; }
  rm "$work/folder/output.txt"
}

check "No display found (DISPLAY is not set)" -u DISPLAY -u WAYLAND_DISPLAY
check "The display :947 cannot be reached" -u WAYLAND_DISPLAY DISPLAY=:947
echo "both fallbacks ran the batch runner"
