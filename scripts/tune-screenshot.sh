#!/usr/bin/env bash
# Takes the README's screenshot of Run > Tune... on a virtual display: the dialog after a
# tune of examples/kiosk.txt read as a plain table, predicting the units sold.
# Usage: scripts/tune-screenshot.sh [PATH/TO/Tarmel]   (default build/dev/app/Tarmel)
set -euo pipefail
cd "$(dirname "$0")/.."
app=$(realpath "${1:-build/dev/app/Tarmel}")
docs=$(realpath docs)
work=/tmp/tarmel-tune-screenshot
rm -rf "$work" && mkdir -p "$work"
cp examples/kiosk.txt "$work/"
printf '1.000 1.000 0.050 0.050   1   4  10 0   1' > "$work/param.par"
source scripts/screenshot-display.sh

(cd "$work" && exec "$app") &
app_pid=$!
open_data kiosk.txt
# The window has no frame on this display: the Run menu, then its Tune... item.
xdotool mousemove 137 8 click 1
sleep 0.8
xdotool mousemove 170 117 click 1
dialog=$(xdotool search --sync --name '^Tune - ' | head -1)
xdotool windowmove "$dialog" 70 120
sleep 1
xdotool mousemove 120 226 click 1  # Start
sleep "${TARMEL_TUNE_SECONDS:-25}"
import -window "$dialog" "$docs/tune.png"
kill "$app_pid"
