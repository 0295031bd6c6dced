#!/bin/sh
# Draws the action icons that the Tango set lacks, in Tango's palette.
# Needs ImageMagick; the PNG files it writes are committed, so the build
# never runs this.
set -eu
cd "$(dirname "$0")/images/ico"
BLUE='#3465a4'
DARK='#204a87'
GREY='#555753'
LENS='#eeeeec'

magnifier() { # $1 output, $2 extra draw commands
  convert -size 32x32 xc:none -strokewidth 2.5 \
    -stroke "$GREY" -fill "$LENS" -draw 'circle 13,13 13,3' \
    -stroke "$GREY" -strokewidth 5 -draw 'line 20,20 28,28' \
    -stroke "$DARK" -strokewidth 2.5 -draw "$2" "$1"
}
magnifier 1484511958_014_ZoomIn.png 'line 8,13 18,13 line 13,8 13,18'
magnifier 1484512036_editor-zoom_out-minus-subtract-magnify-glyph.png \
  'line 8,13 18,13'

# Fit: a page with four arrows pointing to its corners.
convert -size 32x32 xc:none -stroke "$GREY" -strokewidth 2 -fill "$LENS" \
  -draw 'rectangle 6,6 25,25' -stroke "$BLUE" -strokewidth 2.5 -fill none \
  -draw 'line 10,10 15,15 line 10,10 14,10 line 10,10 10,14' \
  -draw 'line 21,21 16,16 line 21,21 17,21 line 21,21 21,17' \
  1484512230_fit_to_width.png

# Rotation arrows: three quarters of a circle with an arrow head.
rotate_icon() { # $1 output, $2 flop or not
  convert -size 32x32 xc:none -stroke "$BLUE" -strokewidth 3.5 -fill none \
    -draw 'arc 5,5 27,27 -50,190' -stroke none -fill "$BLUE" \
    -draw 'polygon 20,3 30,9 20,15' $2 "$1"
}
rotate_icon 1484511336_rotate-right.png ''
rotate_icon 1484511345_rotate-left.png '-flop'

# Flip: two triangles mirrored about a dashed horizontal axis.
convert -size 32x32 xc:none -stroke "$DARK" -strokewidth 1.5 -fill "$BLUE" \
  -draw 'polygon 6,13 26,13 16,3' -fill "$LENS" \
  -draw 'polygon 6,19 26,19 16,29' -stroke "$GREY" -strokewidth 1 \
  -draw 'line 2,16 6,16 line 10,16 14,16 line 18,16 22,16 line 26,16 30,16' \
  flip_vertical.png

# Restore: an upright page with a small anticlockwise arrow.
convert -size 32x32 xc:none -stroke "$GREY" -strokewidth 2 -fill "$LENS" \
  -draw 'rectangle 9,4 23,28' -stroke "$BLUE" -strokewidth 2.5 -fill none \
  -draw 'arc 11,10 21,20 150,420' -stroke none -fill "$BLUE" \
  -draw 'polygon 8,12 14,12 11,17' 1484511840_restore.png

# List bullets: three bullets with their lines.
convert -size 32x32 xc:none -stroke none -fill "$BLUE" \
  -draw 'circle 7,8 7,5.5 circle 7,16 7,13.5 circle 7,24 7,21.5' \
  -stroke "$GREY" -strokewidth 3 \
  -draw 'line 13,8 28,8 line 13,16 28,16 line 13,24 28,24' \
  1487535707_list_bullets.png

# Measure: a ruler laid aslant, with its ticks.
convert -size 32x32 xc:none -stroke "$GREY" -strokewidth 1.5 -fill "$LENS" \
  -draw 'polygon 3,22 22,3 29,10 10,29' -stroke "$DARK" -strokewidth 1.5 \
  -draw 'line 7,18 10,21 line 11,14 13,16 line 15,10 18,13 line 19,6 21,8' \
  measure.png
