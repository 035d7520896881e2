#!/usr/bin/env bash
# QT_SCALE_FACTOR=2 on a 2048x1536 screen against the same program at 1 on 1024x768: the
# window covers the larger screen, halving the scaled picture gives back the layout of the
# unscaled one, and the text is drawn at the full resolution, not enlarged from a 1x drawing;
# the field picture is smoothed, not pixel-doubled.
source "$(dirname "$0")/../common.sh"
exe=$(realpath "$1")

# shoot WIDTHxHEIGHT SCALE FILE
shoot() {
  start_xvfb "$1"
  QT_SCALE_FACTOR=$2 run_for 1 "$work/game-$2.log" "$exe"
  local window
  window=$(xdotool search --sync --onlyvisible --name '^Keyfall$' | head -n1)
  local size
  size=$(xwininfo -id "$window" | awk '/Absolute upper-left X/{x=$NF} /Absolute upper-left Y/{y=$NF} /Width/{w=$NF} /Height/{h=$NF} END{print w "x" h "+" x "+" y}')
  [ "$size" = "$1+0+0" ] || fail "scale $2: window is $size on a $1 screen"
  # The VIA button, in screen pixels.
  shoot_when_drawn "$3" $((712 * $2)) $((620 * $2)) import -window root "$3"
  stop_last
  stop_last
}
shoot 1024x768 1 "$work/one.png"
shoot 2048x1536 2 "$work/two.png"

# RMSE, 0 to 1, of two pictures of the same size.
# compare exits with 1 when they differ, which they always do a little.
rmse() { { compare -metric RMSE "$1" "$2" null: 2>&1 || true; } | sed 's/.*(\(.*\))/\1/'; }
# How far a region is from being made of 2x2 blocks of one colour: 0 for a doubled picture.
unblocky() {
  convert "$1" -crop "$2" +repage "$work/region.png"
  convert "$work/region.png" -scale 50% -scale 200% "$work/blocks.png"
  rmse "$work/region.png" "$work/blocks.png"
}

convert "$work/two.png" -scale 50% "$work/half.png"
layout=$(rmse "$work/one.png" "$work/half.png")
# Fonts hint differently at the two sizes (about 0.02); a layout one pixel off is near 0.09.
awk "BEGIN{exit !($layout < 0.05)}" || fail "scaled layout differs from the unscaled one (RMSE $layout)"

text=$(unblocky "$work/two.png" 660x90+700+250)       # the two title lines
awk "BEGIN{exit !($text > 0.02)}" || fail "title text is enlarged from 1x (RMSE $text)"
field=$(unblocky "$work/two.png" 1000x400+500+420)    # sky, moon and mountains
awk "BEGIN{exit !($field > 0.001)}" || fail "field picture is pixel-doubled (RMSE $field)"
echo "scale factor 2: ok (layout $layout, text $text, field $field)"
