#!/usr/bin/env bash
# Takes the README's screenshots of the tree dock on a virtual display: the window after
# Grow Tree on examples/flowers.txt and on a generated table of 1000 rows.
# Usage: scripts/tree-screenshots.sh [PATH/TO/Tarmel]   (default build/dev/app/Tarmel)
set -euo pipefail
cd "$(dirname "$0")/.."
app=$(realpath "${1:-build/dev/app/Tarmel}")
docs=$(realpath docs)
work=/tmp/tarmel-screenshots
rm -rf "$work" && mkdir -p "$work"
source scripts/screenshot-display.sh

# 1000 objects: a grade from A to D that depends on two measures, the soil and, for clay,
# a third measure, with one object in twelve given a random grade.
generate_fields() {
  awk 'BEGIN {
    srand(11); soils[0] = "clay"; soils[1] = "sand"; soils[2] = "loam"
    print "# Generated field plots #"
    print "1000 7 ?"
    print "0(4) 1 1 1 1 0(3) 1"
    print "grade moisture slope shade depth soil rain"
    for (i = 0; i < 1000; ++i) {
      m = int(rand() * 1000) / 10; s = int(rand() * 600) / 10; h = int(rand() * 1000) / 10
      d = int(rand() * 200) / 10; soil = soils[int(rand() * 3)]; r = int(rand() * 3000) / 10
      g = (m > 50 ? 2 : 0) + (s > 30 ? 1 : 0)
      if (soil == "clay" && h > 70) g = 3
      if (soil == "sand" && d < 4) g = 0
      if (rand() < 1 / 12) g = int(rand() * 4)
      printf "%s %.1f %.1f %.1f %.1f %s %.1f\n", substr("ABCD", g + 1, 1), m, s, h, d, soil, r
    }
  }' | sed 's/$/\r/'
}

# Opens DATA in the window, grows the tree with PARAMS and saves the screen as IMAGE;
# with a fourth argument the results table is hidden to give the tree the dock's height.
shoot() {
  local data=$1 params=$2 image=$3 hide_table=${4:-}
  (cd "$work" && printf '%s\r\n' "$params" > param.par && rm -f output.txt && exec "$app") &
  local pid=$!
  open_data "$data"
  # The tool bar's Build Tree button, the eighth; the window has no frame on this display.
  xdotool mousemove 191 34 click 1
  for _ in $(seq 1 120); do [ -s "$work/output.txt" ] && break; sleep 0.5; done
  sleep 3
  if [ -n "$hide_table" ]; then
    xdotool mousemove 740 81 click 1  # the dock's Table button
    sleep 2
  fi
  import -window root "$docs/$image"
  kill "$pid"
  wait "$pid" 2> /dev/null || true
}

cp examples/flowers.txt "$work/"
generate_fields > "$work/fields.txt"
shoot flowers.txt "1.000 1.000 0.050 0.050   3   1  10 0   1" tree-flowers.png
shoot fields.txt "1.000 1.000 0.050 0.003   2   1  10 0   1" tree-fields.png hide
echo "Written: docs/tree-flowers.png docs/tree-fields.png"
