#!/usr/bin/env bash
# Draws the queue window's icon, tools/window/TolvaneQueue.ico: a memory card
# with an arrow onto it, drawn at 16, 32, 48 and 256 pixels from the outline
# below (256 units square), each size rendered from the outline itself rather
# than scaled down from a picture. The icon is checked in; run this after
# changing the drawing. Needs ImageMagick.
# Usage: scripts/make-icon.sh
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
out="$here/tools/window/TolvaneQueue.ico"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The card: a blue body with one corner cut off, gold contacts along its top
# edge; a white arrow pointing down into it.
drawing='
  stroke #103a6b stroke-width 8 stroke-linejoin round fill #2f6fb8
  polygon 52,20 168,20 204,56 204,236 52,236
  stroke none fill #e8b93a
  rectangle 74,34 90,70  rectangle 100,34 116,70  rectangle 126,34 142,70  rectangle 152,34 166,70
  stroke #103a6b stroke-width 6 fill #ffffff
  polygon 104,96 152,96 152,148 180,148 128,208 76,148 104,148'

sizes=(16 32 48 256)
pictures=()
for size in "${sizes[@]}"; do
  scale=$(awk "BEGIN { printf \"%.6f\", $size / 256 }")
  picture="$work/$size.png"
  convert -size "${size}x${size}" xc:none -draw "affine $scale,0,0,$scale,0,0 $drawing" \
    -define png:exclude-chunks=date,time +set date:create +set date:modify "PNG32:$picture"
  pictures+=("$picture")
done
convert "${pictures[@]}" "$out"
echo "wrote $out ($(stat -c %s "$out") bytes)"
