#!/usr/bin/env bash
# Draws the sample avatars and wallpapers of the simulated device from plain drawing
# commands, so every picture here is our own and can be made again byte for byte with the
# same ImageMagick. Run it from anywhere; it writes next to itself:
#   device/samples/generate.sh
# Metadata that would change from run to run (dates, times, the software's own comments)
# is left out, so a second run gives the same files.
set -euo pipefail

here="$(cd "$(dirname "$0")" && pwd)"
# The real ImageMagick 6 binary, so a wrapper elsewhere on PATH cannot change the output.
magick=/usr/bin/convert-im6.q16
[ -x "$magick" ] || magick=convert

png() { "$magick" "$@" -strip -define png:exclude-chunk=date,time,tIME "PNG32:$out"; }
jpeg() { "$magick" "$@" -strip -sampling-factor 4:2:0 -quality 82 "JPEG:$out"; }

# A person's outline on a grey disc: what an account without an avatar of its own shows.
out="$here/avatar-default.png"
png -size 120x120 xc:none \
  -fill '#8e8e93' -draw 'circle 60,60 60,2' \
  -fill '#f2f2f7' -draw 'circle 60,47 60,25' \
  -fill '#f2f2f7' -draw 'ellipse 60,104 36,30 180,360'

# Two guests' avatars as PNG: initials-free shapes on coloured discs.
out="$here/avatar-mira.png"
png -size 120x120 xc:none \
  -fill '#ff9f0a' -draw 'circle 60,60 60,2' \
  -fill '#ffffff' -draw 'polygon 60,22 71,48 99,49 77,66 85,94 60,78 35,94 43,66 21,49 49,48'

out="$here/avatar-otto.png"
png -size 120x120 xc:none \
  -fill '#30b0c7' -draw 'circle 60,60 60,2' \
  -fill '#ffffff' -draw 'roundrectangle 34,34 86,86 10,10' \
  -fill '#30b0c7' -draw 'circle 60,60 60,46'

# A guest avatar as JPEG (no transparency in JPEG: the disc sits on white).
out="$here/avatar-luca.jpg"
jpeg -size 120x120 xc:white \
  -fill '#5e5ce6' -draw 'circle 60,60 60,2' \
  -fill '#ffd60a' -draw 'circle 60,60 60,30' \
  -fill '#5e5ce6' -draw 'circle 60,60 60,44'

# Wallpapers at a small phone-like 180x320: a dusk gradient with hills as PNG (few
# colours, so the file stays a few KB), a sea with a sun as JPEG.
out="$here/wallpaper-dusk.png"
png -size 180x320 gradient:'#1c1c4e'-'#f28c38' \
  -fill '#fff1c1' -draw 'circle 130,190 130,172' \
  -fill '#2b1d3a' -draw 'ellipse 40,330 120,90 180,360' \
  -fill '#3d2a4f' -draw 'ellipse 160,340 110,70 180,360' \
  -dither None -colors 24

out="$here/wallpaper-sea.jpg"
jpeg -size 180x320 gradient:'#8fd3ff'-'#e8f7ff' \
  -fill '#ffd60a' -draw 'circle 60,90 60,66' \
  -fill '#0a6fb5' -draw 'rectangle 0,200 180,320' \
  -fill '#3a9ad9' -draw 'rectangle 0,200 180,214' \
  -fill '#e8f7ff' -draw 'rectangle 20,240 70,244' -draw 'rectangle 100,270 160,274'

ls -l "$here"/*.png "$here"/*.jpg
