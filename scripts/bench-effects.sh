#!/usr/bin/env bash
# Times Canvello's picture effects on one 6000 x 4000 picture beside the same operation in ImageMagick
# and in libvips, and prints each time in milliseconds with the ratios Canvello / ImageMagick and
# Canvello / libvips (below 1 is faster).
#
# The three sides are timed as scripts/bench-common.sh describes: Canvello inside bench_effects
# (--time, a fresh process per run, no load and no start-up); ImageMagick from .mpc with a base that
# negates every pixel, timed in every round and taken out; libvips by its own clock from .v to .v in
# memory, less a plain copy. The flood fill, which libvips does in place and without its clock, is
# timed on a fresh copy of the picture per run (the copy left out), its wall time less that on a
# 16 x 16 one. Effects run on one thread per core on every side, the flood fill on one.
#
# Usage: scripts/bench-effects.sh [REPEAT]      (default 3; BUILD=folder picks the build folder)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
repeat=${1:-3}
# shellcheck source=scripts/bench-common.sh
source "$root/scripts/bench-common.sh"

bench_setup effects vips:libvips-tools

echo "Making the 6000 x 4000 pictures..."
"$bench" --inputs "$work"
for picture in photo rings; do mapped_copies "$work/$picture.bmp"; done
# The flood fill's small picture, for taking out libvips's start-up and opening.
vips crop "$work/rings.v" "$work/rings-small.v" 0 0 16 16

# Wall time in microseconds of vips draw_flood (red at 0,0) on a fresh copy of PICTURE.v, the copy
# not timed: draw_flood writes into the file it is given.
flood_us() {
  cp "$1" "$mem/fill.v"
  wall_us vips draw_flood "$mem/fill.v" "255 0 0" 0 0
  rm -f "$mem/fill.v"
}

format='%-12s %11s %10s %10s %9s %9s %10s %10s\n'
printf "$format" "operation" "Canvello ms" "IM ms" "vips ms" "Cv/IM" "Cv/vips" "IM base" "vips base"
notes=()
# row NAME PICTURE IM-OPERATION... -- VIPS-OPERATION...
row() {
  local op=$1 picture=$2
  shift 2
  local magick=() vipsop=()
  while [ "$1" != -- ]; do magick+=("$1"); shift; done
  shift
  vipsop=("$@")
  local cv ref_im ref_vips base_im
  cv=$(canvello_ms "$op" "$work/$picture.bmp" 1)
  magick_ms "$work/$picture.mpc" "${magick[@]}"
  ref_im=$op_ms
  base_im=$base_ms
  if [ "${vipsop[0]}" = draw_flood ]; then
    paired_ms flood_us "$(printf '%q' "$work/rings-small.v")" "$(printf '%q' "$work/$picture.v")"
  else
    vips_ms "$work/$picture.v" "${vipsop[@]}"
  fi
  ref_vips=$op_ms
  printf "$format" "$op" "$cv" "$ref_im" "$ref_vips" "$(ratio "$cv" "$ref_im")" "$(ratio "$cv" "$ref_vips")" \
    "$base_im" "$base_ms"
  notes+=("$(printf '%-12s convert %s | vips %s' "$op" "${magick[*]}" "${vipsop[*]}")")
}

bench_threads "$(nproc)"
row blur10      photo -blur 30x10 -- gaussblur 10 --min-ampl 0.01 --precision float
row resample50  photo -filter Lanczos -define filter:lobes=5 -resize 50% -- resize 0.5 --kernel lanczos3
row resample200 photo -filter Lanczos -define filter:lobes=5 -resize 200% -- resize 2 --kernel lanczos3
row resize50    photo -sample 50% -- subsample 2 2
row rotate33    photo -background red -virtual-pixel background -filter point +distort SRT 33 -- \
                similarity --angle 33 --interpolate nearest --background "255 0 0"
row greyscale   photo -grayscale Average -- bandmean
row negative    photo -negate -- invert
row brighten20  photo -evaluate add 20% -- linear 1 51 --uchar
row gamma2      photo -gamma 2.0 -- gamma --exponent 2
row mirror      photo -flop -- flip horizontal
row flip        photo -flip -- flip vertical
effects_note=$(thread_note "Canvello's effects use one thread per core")
bench_threads 1
row floodfill   rings -fill red -fuzz 4% -draw "color 0,0 floodfill" -- draw_flood
echo
echo "$effects_note (all rows but floodfill)"
thread_note "floodfill only"
echo "libvips: resample rows use lanczos3 (its widest kernel; Canvello and ImageMagick use 5 lobes);"
echo "greyscale's bandmean writes one band where the others write three."
echo "IM base: read .mpc, -negate, null: (taken out of its row); vips base: copy .v to .v in memory"
echo "(draw_flood: its wall time on 16 x 16). libvips's clock prints three significant digits."
echo
for note in "${notes[@]}"; do echo "$note"; done
