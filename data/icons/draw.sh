#!/bin/sh
# Redraws the 16x16 PNG icons of this folder with ImageMagick. The tray icon
# follows vantoria.svg, its scalable form; the command images are the
# pictures of the tray menu. Run it here after changing a picture.
set -eu
cd "$(dirname "$0")"
draw() { out=$1; shift; convert -size 16x16 xc:none "$@" "PNG32:$out"; }

# The tray and program icon: a framed landscape.
draw vantoria-16.png -fill '#8fd3ff' -stroke '#1f3f7a' -draw 'roundrectangle 0,1 15,14 1,1' \
  -stroke none -fill '#ffd23f' -draw 'circle 11,5 12.6,5' \
  -fill '#3a9a3a' -draw 'polygon 1,14 5.5,7.5 8.5,11 10.5,9 15,14'
convert -size 48x48 xc:none -fill '#8fd3ff' -stroke '#1f3f7a' -strokewidth 3 \
  -draw 'roundrectangle 1.5,4.5 46.5,43.5 3,3' -stroke none -fill '#ffd23f' -draw 'circle 34.5,15 40.5,15' \
  -fill '#3a9a3a' -draw 'polygon 3,42 16.5,22.5 25.5,33 31.5,27 45,42' PNG32:vantoria-48.png

# 0 settings: a spanner.
draw commands/setup.png -stroke '#505a66' -strokewidth 3 -draw 'line 3,13 10,6' \
  -strokewidth 2 -fill none -draw 'arc 8,1 15,8 120,420' -stroke none -fill none
# 1 redraw: a circular arrow.
draw commands/redraw.png -fill none -stroke '#1f6fbf' -strokewidth 2 -draw 'arc 2,2 13,13 300,560' \
  -stroke none -fill '#1f6fbf' -draw 'polygon 10,0 15,4 9,6'
# 2 change wallpaper: the framed landscape.
draw commands/change.png -fill '#8fd3ff' -stroke '#1f3f7a' -draw 'rectangle 0,2 15,13' \
  -stroke none -fill '#ffd23f' -draw 'circle 11,5 12.5,5' \
  -fill '#3a9a3a' -draw 'polygon 1,13 5,8 8,11 10,9 14,13'
# 3 help: a question mark in a blue disc.
draw commands/help.png -fill '#1f6fbf' -draw 'circle 7.5,7.5 7.5,0.5' \
  -fill white -stroke white -font DejaVu-Sans-Bold -pointsize 12 -gravity center -annotate +0+0 '?'
# 4 about: an "i" in a teal disc.
draw commands/about.png -fill '#138a8a' -draw 'circle 7.5,7.5 7.5,0.5' \
  -fill white -draw 'rectangle 6.5,6 8.5,12' -draw 'rectangle 6.5,3 8.5,4'
# 5 exit: a red cross.
draw commands/exit.png -stroke '#c62828' -strokewidth 3 -draw 'line 3,3 12,12' -draw 'line 12,3 3,12'
# The folder glyph of the settings dialog's browse buttons.
draw commands/folder.png -fill '#e0b040' -stroke '#8a6a10' -draw 'polygon 1,4 6,4 7,5 14,5 14,13 1,13' \
  -fill '#f3d070' -draw 'polygon 1,13 3,7 15,7 14,13'

# The other sizes of the tray and program icon, rendered from vantoria.svg so
# that panels and HiDPI screens get a sharp picture (rsvg-convert, librsvg2-bin).
for n in 22 24 32 64; do rsvg-convert -w $n -h $n vantoria.svg -o vantoria-$n.png; done
