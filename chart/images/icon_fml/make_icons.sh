#!/usr/bin/env bash
# Draws the 16 x 16 signal icons formulas place on a chart (ICON statements select them by
# number). Run from this folder after changing a shape; the PNGs are committed.
set -euo pipefail
red='#FF3D3D'
green='#0FC351'
yellow='#F5C518'
orange='#FF9A2E'
icon() {  # number, ImageMagick draw arguments...
    local n=$1
    shift
    convert -size 16x16 xc:none "$@" -strip "PNG32:$n.png"
}
# 1 buy: arrow up. 2 sell: arrow down.
icon 1 -fill "$red" -draw "polygon 8,1 15,8 11,8 11,15 5,15 5,8 1,8"
icon 2 -fill "$green" -draw "polygon 8,15 15,8 11,8 11,1 5,1 5,8 1,8"
# 4: five-pointed star.
icon 4 -fill "$yellow" -draw "polygon 8,0 10,6 16,6 11,10 13,16 8,12 3,16 5,10 0,6 6,6"
# 5 buy signal: disc with a white rising mark. 15 sell signal: disc with a falling mark.
icon 5 -fill "$red" -draw "circle 7.5,7.5 7.5,0.5" -fill white -draw "polygon 8,3 12,9 4,9" \
    -draw "rectangle 7,9 9,12"
icon 15 -fill "$green" -draw "circle 7.5,7.5 7.5,0.5" -fill white -draw "polygon 8,12 12,6 4,6" \
    -draw "rectangle 7,3 9,6"
# 9: diamond.
icon 9 -fill "$orange" -draw "polygon 8,0 15,8 8,15 1,8"
# 11 selection mark: flag on a pole.
icon 11 -fill white -draw "rectangle 2,1 3,15" -fill "$red" -draw "polygon 4,1 14,4 4,8"
# 42 turning up: solid triangle up. 43 turning down: solid triangle down.
icon 42 -fill "$red" -draw "polygon 8,2 15,14 1,14"
icon 43 -fill "$green" -draw "polygon 8,14 15,2 1,2"
