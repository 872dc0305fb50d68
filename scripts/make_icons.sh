#!/usr/bin/env bash
# Draws the button glyphs and the program icon of ui/icons once; the PNGs are committed, so
# building needs none of this. Each glyph has a normal and a greyed "disabled" picture.
set -euo pipefail
cd "$(dirname "$0")/../ui/icons"
im=/usr/bin/convert # ImageMagick from Debian

glyph() { # name, drawing options...
  local name=$1
  shift
  "$im" -size 16x16 xc:none "$@" "PNG32:$name.png"
  "$im" "$name.png" -colorspace Gray -fill white -colorize 45% \
    \( "$name.png" -alpha extract \) -compose CopyOpacity -composite "PNG32:${name}_disabled.png"
}

glyph start -fill '#1f9a2e' -stroke '#0b5a15' -draw 'polygon 4,2 13,8 4,14'
glyph pause -fill '#2b5fb8' -stroke '#173a78' -draw 'rectangle 4,3 6,12' -draw 'rectangle 9,3 11,12'
glyph save -fill '#3a5fa8' -stroke '#1d2f58' -draw 'rectangle 1,1 14,14' \
  -fill '#f4f4f4' -stroke none -draw 'rectangle 4,2 11,7' \
  -fill '#1d2f58' -draw 'rectangle 9,3 10,6' -fill '#c8c8c8' -draw 'rectangle 4,10 11,14'
glyph browse -fill '#d9a520' -stroke '#8a6410' -draw 'polygon 1,4 5,4 6,5 12,5 12,13 1,13' \
  -fill '#f2cf5b' -draw 'polygon 3,7 15,7 12,13 1,13'

# The program's icon: a disc being read, with the reading head's green tick.
"$im" -size 32x32 xc:none \
  -fill '#c9d2dc' -stroke '#5a6470' -strokewidth 1.5 -draw 'circle 15,16 15,2' \
  -fill '#eef2f6' -stroke '#8a949e' -strokewidth 1 -draw 'circle 15,16 15,9' \
  -fill '#5a6470' -stroke none -draw 'circle 15,16 15,13' \
  -fill none -stroke '#1f9a2e' -strokewidth 4 -draw 'polyline 14,22 20,28 30,14' \
  "PNG32:vorkan.png"

# The same icon in the sizes a desktop's menu and launcher ask for (data/icons/hicolor), drawn
# from the 32-pixel design scaled, so every size stays sharp; data/icons/vorkan.svg is its
# scalable twin.
cd ../../data/icons
for n in 16 24 32 48 64 128 256; do
  s=$(awk "BEGIN { print $n / 32 }")
  mkdir -p "hicolor/${n}x${n}/apps"
  "$im" -size "${n}x${n}" xc:none -draw "affine $s,0,0,$s,0,0
    fill '#c9d2dc' stroke '#5a6470' stroke-width 1.5 circle 15,16 15,2
    fill '#eef2f6' stroke '#8a949e' stroke-width 1 circle 15,16 15,9
    fill '#5a6470' stroke none circle 15,16 15,13
    fill none stroke '#1f9a2e' stroke-width 4 stroke-linecap round stroke-linejoin round
    polyline 14,22 20,28 30,14" "PNG32:hicolor/${n}x${n}/apps/vorkan.png"
done
