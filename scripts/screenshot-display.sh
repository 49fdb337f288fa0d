# Sourced by the screenshot scripts, which set $work first: a virtual display that goes,
# with $work, when the script ends, and opening a data file in a window on it.
display=":${TARMEL_SHOT_DISPLAY:-99}"
Xvfb "$display" -screen 0 1280x900x24 -nolisten tcp > /dev/null 2>&1 &
xvfb=$!
trap 'kill "$xvfb" 2> /dev/null; rm -rf "$work"' EXIT
export DISPLAY=$display
sleep 1

# Waits for the window just started, fills the screen with it and opens $work/$1 there.
open_data() {
  local wid
  wid=$(xdotool search --sync --name '^Tarmel-TRELM$' | head -1)
  xdotool windowmove "$wid" 0 0 windowsize "$wid" 1280 900 windowfocus --sync "$wid"
  sleep 1
  xdotool key ctrl+o
  sleep 1.5
  xdotool type --delay 20 "$work/$1"
  xdotool key Return
  sleep 1
}
