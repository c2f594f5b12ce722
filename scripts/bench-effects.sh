#!/usr/bin/env bash
# Times Canvello's picture effects on one 6000 x 4000 picture beside the same operation in ImageMagick
# and in libvips, and prints each time in milliseconds with the ratios Canvello / ImageMagick and
# Canvello / libvips (below 1 is faster).
#
# The sides are timed as scripts/bench-common.sh describes, interleaved round by round: Canvello
# inside bench_effects (--time), libvips inside ref_vips from its input made resident to its result in
# memory, ImageMagick by wall time from .mpc less a base that negates every pixel in the same round.
# Effects run on one thread per core on every side, the flood fill on one.
#
# Usage: scripts/bench-effects.sh [ROUNDS]      (default 5; BUILD=folder measures that build as it is)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
repeat=${1:-5}
# shellcheck source=scripts/bench-common.sh
source "$root/scripts/bench-common.sh"

bench_setup effects vips:libvips-tools

echo "Making the 6000 x 4000 pictures..."
"$bench" --inputs "$work"
for picture in photo rings; do mapped_copies "$work/$picture.bmp"; done
format='%-12s %19s %19s %15s %19s %15s\n'
printf "$format" "operation" "Canvello min / med" "IM min / med" "Cv/IM" "vips min / med" "Cv/vips"
notes=()
# row NAME PICTURE IM-OPERATION... -- REF_VIPS-OPERATION...
row() {
  local op=$1 picture=$2
  shift 2
  local magick=() vipsop=()
  while [ "$1" != -- ]; do magick+=("$1"); shift; done
  shift
  vipsop=("$@")
  interleave "$(printf '%q ' cv_ms "$op" "$work/$picture.bmp" 1)" \
    "$(printf '%q ' magick_op_ms "$work/$picture.mpc" "${magick[@]}")" \
    "$(printf '%q ' vips_ms "${vipsop[0]}" "$work/$picture.v" "${vipsop[@]:1}")"
  table_row "$format" "$op" 0 1 2
  notes+=("$(printf '%-12s convert %s | vips %s' "$op" "${magick[*]}" "${vipsop[*]}")")
}

bench_threads "$(nproc)"
row blur10      photo -blur 30x10 -- gaussblur 10 0.01
row resample50  photo -filter Lanczos -define filter:lobes=5 -resize 50% -- resize 0.5
row resample200 photo -filter Lanczos -define filter:lobes=5 -resize 200% -- resize 2
row resize50    photo -sample 50% -- subsample 2
row rotate33    photo -background red -virtual-pixel background -filter point +distort SRT 33 -- rotate 33
row greyscale   photo -grayscale Average -- bandmean
row negative    photo -negate -- invert
row brighten20  photo -evaluate add 20% -- maplut-add 51
row gamma2      photo -gamma 2.0 -- gamma 2
row mirror      photo -flop -- flip-h
row flip        photo -flip -- flip-v
effects_note=$(thread_note "Canvello's effects use one thread per core")
bench_threads 1
row floodfill   rings -fill red -fuzz 4% -draw "color 0,0 floodfill" -- draw_flood
echo
echo "$effects_note (all rows but floodfill)"
thread_note "floodfill only"
echo "Each cell: minimum / median over $rounds interleaved rounds, in ms; ratios Canvello / the other."
echo "libvips (ref_vips, its own process clock): input resident before the time, result computed into"
echo "  memory; blur at its default precision (integer for 8-bit); brighten is vips_maplut with a"
echo "  256-entry table (as Canvello); resample rows use lanczos3 (its widest kernel; Canvello and"
echo "  ImageMagick use 5 lobes); greyscale's bandmean writes one band where the others write three;"
echo "  draw_flood fills the resident copy in place."
echo "IM: no clock of its own: wall time less a base (read .mpc, -negate, null:) run in the same round."
echo
for note in "${notes[@]}"; do echo "$note"; done
closing_notes
