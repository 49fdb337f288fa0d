#!/bin/sh
# Draws the window's icons at 64 pixels and scales them to the 16-pixel tool-bar size.
# Each icon is a list of drawing primitives read from standard input. Run from this
# folder; needs ImageMagick's convert.
set -e
draw() {
  convert -size 64x64 xc:none -draw "stroke-width 4 $(cat)" "$1-64.png"
  convert "$1-64.png" -resize 16x16 "$1.png"
}
tree='stroke #3a2a10 line 32,14 14,46 line 32,14 50,46
stroke #1d5e20 fill #4caf50 circle 32,14 32,4
fill #8bc34a circle 14,48 14,39 fill #cddc39 circle 50,48 50,39'
floppy='stroke #0d2c6b fill #1e88e5 polygon 4,4 52,4 60,12 60,60 4,60
stroke none fill white rectangle 14,8 46,26 fill #0d2c6b rectangle 16,40 48,58'

echo "$tree" | draw tarmel
printf '%s\n%s\n' "$tree" 'stroke none fill #1565c0 polygon 40,2 62,14 40,26' | draw tree-build
draw tree-stop <<'X'
stroke #7f0000 fill #e53935 polygon 20,4 44,4 60,20 60,44 44,60 20,60 4,44 4,20
stroke white stroke-width 8 line 20,32 44,32
X
draw file-new <<'X'
stroke #424242 fill white polygon 12,4 40,4 52,16 52,60 12,60
fill #bdbdbd polygon 40,4 40,16 52,16
X
draw file-open <<'X'
stroke #8d6e00 fill #ffca28 polygon 4,14 24,14 30,20 60,20 60,56 4,56
fill #ffe082 polygon 4,56 14,30 62,30 52,56
X
echo "$floppy" | draw file-save
printf '%s\n%s\n' "$floppy" 'stroke #e65100 stroke-width 7 line 30,56 60,26' | draw file-save-as
draw edit-cut <<'X'
stroke #37474f fill none circle 18,48 18,38 circle 46,48 46,38
stroke-width 5 line 24,40 48,4 line 40,40 16,4
X
draw edit-copy <<'X'
stroke #424242 fill #e3f2fd rectangle 4,4 38,44
fill white rectangle 24,20 58,60
X
draw edit-paste <<'X'
stroke #4e342e fill #a1887f rectangle 8,8 56,60
fill white rectangle 16,18 48,54 fill #616161 rectangle 22,4 42,14
X
# Only the application icon is kept at 64 pixels, for the desktop entry.
for f in *-64.png; do [ "$f" = tarmel-64.png ] || rm "$f"; done
