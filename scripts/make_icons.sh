#!/usr/bin/env bash
# Renders app/resources/icon.svg into the five PNG sizes of the program's icon (32-bit RGBA).
# The PNGs are committed; run this only after changing the SVG. Needs rsvg-convert (librsvg2-bin).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
resources="$top/app/resources"
for size in 128 64 48 32 16; do
    rsvg-convert --width "$size" --height "$size" --format png \
        --output "$resources/icon_$size.png" "$resources/icon.svg"
done
ls -l "$resources"/icon_*.png
