#!/usr/bin/env bash
# Renders the program's SVG images (app/resources/) to the PNGs the program embeds. Run after
# changing an SVG and commit both. Needs rsvg-convert (Debian: librsvg2-bin) and ImageMagick.
#   toolbar/NAME.svg -> NAME-hot.png, NAME-hot@2x.png (as drawn: shown under the pointer)
#                       NAME.png, NAME@2x.png         (softened colours: the resting state)
#   browser/NAME.svg -> NAME.png (16 pixels), NAME@2x.png (32): the file browser's icons
#   program/solvane.svg -> solvane-16.png ... solvane-256.png
#   program/wizard.svg  -> wizard.png, wizard@2x.png (the configuration wizard's side picture)
set -euo pipefail
cd "$(dirname "$0")/../app/resources"
command -v rsvg-convert >/dev/null || { echo "rsvg-convert missing: apt-get install librsvg2-bin" >&2; exit 1; }
magick=/usr/bin/convert
for svg in toolbar/*.svg; do
  base=${svg%.svg}
  for scale in 1 2; do
    suffix=$([ "$scale" = 1 ] && echo "" || echo "@${scale}x")
    rsvg-convert -w $((32 * scale)) -h $((32 * scale)) "$svg" -o "$base-hot$suffix.png"
    # The resting image: the same drawing with less saturated, slightly darker colours.
    "$magick" "$base-hot$suffix.png" -modulate 92,45,100 -strip "PNG32:$base$suffix.png"
  done
done
for svg in browser/*.svg; do
  base=${svg%.svg}
  rsvg-convert -w 16 -h 16 "$svg" -o "$base.png"
  rsvg-convert -w 32 -h 32 "$svg" -o "$base@2x.png"
done
for side in 16 32 48 64 128 256; do
  rsvg-convert -w "$side" -h "$side" program/solvane.svg -o "program/solvane-$side.png"
done
rsvg-convert -w 164 -h 314 program/wizard.svg -o program/wizard.png
rsvg-convert -w 328 -h 628 program/wizard.svg -o program/wizard@2x.png
# The help pages show the tool band images and the program's picture.
mkdir -p ../../doc/guide/images
cp toolbar/*-hot.png ../../doc/guide/images/
rm -f ../../doc/guide/images/*@2x.png
cp program/solvane-64.png ../../doc/guide/images/solvane.png
