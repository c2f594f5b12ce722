#!/usr/bin/env bash
# Times Canvello's GIF codec beside the reference tools on the same files:
#   loading a 4000 x 3000 8-bit GIF into a 24-bit picture beside giflib (DGifSlurp, then every index
#   expanded to RGB in memory), the codec alone (the file into frames of indices, which no reference
#   tool stops at: shown without a ratio), and
#   saving a 6000 x 4000 24-bit picture as GIF beside ImageMagick's -colors 256 -dither FloydSteinberg
#   and libvips's gifsave, all writing the file to memory,
# and prints the PSNR of each saved GIF against the 24-bit original.
#
# The sides are timed as scripts/bench-common.sh describes, interleaved round by round: Canvello
# inside bench_gif_codec (--time, the source picture loaded outside the time); giflib inside ref_gif
# (the file to its first frame as RGB in memory); libvips inside ref_vips (gifsave from the resident
# picture, its own palette and dither); ImageMagick from .mpc, a run that negates the picture and
# saves the GIF less one that negates it and writes nothing, in the same round. Every save writes into
# memory, and each side's PSNR against the 24-bit original is printed beside its time. One thread on
# every side (OMP_NUM_THREADS too, which vips's gifsave reads): Canvello's codec runs on one.
#
# Usage: scripts/bench-gif.sh [ROUNDS]      (default 5; BUILD=folder measures that build as it is)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
repeat=${1:-5}
# shellcheck source=bench-common.sh
source "$root/scripts/bench-common.sh"

bench_setup gif_codec vips:libvips-tools
compare=$(magick_tool compare)
bench_threads 1
echo "Making the pictures (plasma, fixed seeds)..."
"$im" -seed 42 -size 6000x4000 plasma:fractal -depth 8 "$work/photo.ppm"
"$im" "$work/photo.ppm" -type TrueColor BMP3:"$work/photo.bmp"
"$im" "$work/photo.ppm" "$work/photo.mpc"
"$im" -seed 7 -size 4000x3000 plasma:fractal -depth 8 -dither FloydSteinberg -colors 256 "$work/decode.gif"
"$im" -size 16x16 xc:gray -depth 8 "$work/small.ppm"
"$im" "$work/small.ppm" -colors 256 "$work/small.gif"

vips copy "$work/photo.ppm" "$work/photo.v"
psnr() { "$compare" -metric PSNR "$work/photo.ppm" "$1" null: 2>&1 || true; }

format='%-36s %19s %19s %13s %19s %13s\n'
printf "$format" "operation" "Canvello min / med" "giflib min / med" "Cv/giflib" "" ""
interleave "$(q cv_ms gif-load "$work/decode.gif" "" 1)" "$(q gif_ms load "$work/decode.gif")"
table_row "$format" "GIF load 4000 x 3000 (to RGB)" 0 1 -
interleave "$(q cv_ms gif-decode "$work/decode.gif" "" 1)"
table_row "$format" "GIF decode 4000 x 3000 (indices)" 0 - -
echo
printf "$format" "operation" "Canvello min / med" "IM min / med" "Cv/IM" "vips min / med" "Cv/vips"
interleave "$(q cv_ms gif-save "$work/photo.bmp" "$mem/cv.gif" 1)" \
  "$(q magick_op_ms "$work/photo.mpc" -o "$mem/im-out.gif" -colors 256 -dither FloydSteinberg)" \
  "$(q vips_ms gifsave "$work/photo.v" "$mem/vips.gif")"
table_row "$format" "GIF save 6000 x 4000, 256 colours" 0 1 2
cp "$mem/cv.gif" "$work/cv.gif"
cp "$mem/vips.gif" "$work/vips.gif"
"$im" "$work/photo.ppm" -colors 256 -dither FloydSteinberg "$work/im.gif"
echo
echo "Each cell: minimum / median over $rounds interleaved rounds, in ms; ratios Canvello / the other."
thread_note
echo "not timed: no reference stops at the indices."
echo "IM: convert -colors 256 -dither FloydSteinberg (no clock of its own: wall time less its base)."
echo "vips (ref_vips): gifsave at its defaults (libimagequant palette, its own dither)."
echo
echo "PSNR against the 24-bit original (dB): Canvello $(psnr "$work/cv.gif"), ImageMagick $(psnr "$work/im.gif"), libvips $(psnr "$work/vips.gif")"
echo "Sizes (bytes): Canvello $(stat -c %s "$work/cv.gif"), ImageMagick $(stat -c %s "$work/im.gif"), libvips $(stat -c %s "$work/vips.gif")"
closing_notes
