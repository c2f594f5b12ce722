#!/usr/bin/env bash
# Times Canvello's GIF codec beside the reference tools on the same files:
#   loading a 4000 x 3000 8-bit GIF into a 24-bit picture beside giflib (DGifSlurp, then every index
#   expanded to RGB in memory), and the codec alone (the file into frames of indices) beside giflib's
#   DGifSlurp alone, on two pictures: a dithered plasma of 256 colours (short strings) and a
#   screenshot-like picture of flat areas and text (long runs); and
#   saving a 6000 x 4000 24-bit picture as GIF beside ImageMagick's -colors 256 -dither FloydSteinberg
#   and libvips's gifsave, all writing the file to memory,
# and prints the PSNR of each saved GIF against the 24-bit original.
#
# The sides are timed as scripts/bench-common.sh describes, interleaved round by round: Canvello
# inside bench_gif_codec (--time, the source picture loaded outside the time; a load is the picture
# as a picture window opens it, expanded to 24 bits); giflib inside ref_gif (the file to its first
# frame as RGB in memory, or to its frames of indices); libvips inside ref_vips (gifsave from the resident
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
# A screenshot-like picture: window frames, panels and lines of anti-aliased text on flat colours,
# a 2000 x 1500 desktop tiled four times, its colours kept without dithering.
shot_text=$(for i in $(seq 1 60); do
  printf 'Line %d: %s\n' "$i" "the quick brown fox jumps over the lazy dog 0123456789 (file_$((i * 37)).gif, $((i * 1291 % 9973)) KB)"; done)
"$im" -size 2000x1500 xc:'#3a6ea5' \
  -fill '#f0f0f0' -draw 'rectangle 40,40 1300,1400' -fill '#0a246a' -draw 'rectangle 40,40 1300,70' \
  -fill '#ffffff' -draw 'rectangle 60,100 1280,1380' -fill '#d4d0c8' -draw 'rectangle 60,100 300,1380' \
  -fill '#f0f0f0' -draw 'rectangle 1340,200 1960,900' -fill '#808080' -draw 'rectangle 1340,200 1960,230' \
  -fill '#ffffcc' -draw 'rectangle 1360,260 1940,880' -fill '#d4d0c8' -draw 'rectangle 0,1460 1999,1499' \
  -font DejaVu-Sans -pointsize 16 -fill white -annotate +50+62 'Canvello - holiday pictures' \
  -fill black -pointsize 13 -annotate +320+120 "$shot_text" -annotate +70+120 "$(printf 'Folder %d\n' $(seq 1 60))" \
  -fill '#202080' -pointsize 15 -annotate +1370+290 "$(printf 'Note %d: keep the originals\n' $(seq 1 30))" \
  -depth 8 "$work/shot-tile.ppm"
"$im" -size 4000x3000 tile:"$work/shot-tile.ppm" +dither -colors 256 "$work/shot.gif"
"$im" -size 16x16 xc:gray -depth 8 "$work/small.ppm"
"$im" "$work/small.ppm" -colors 256 "$work/small.gif"

vips copy "$work/photo.ppm" "$work/photo.v"
psnr() { "$compare" -metric PSNR "$work/photo.ppm" "$1" null: 2>&1 || true; }

format='%-36s %19s %19s %13s %19s %13s\n'
printf "$format" "operation" "Canvello min / med" "giflib min / med" "Cv/giflib" "" ""
for pic in decode:dithered shot:screenshot; do
  file=$work/${pic%%:*}.gif
  interleave "$(q cv_ms gif-load "$file" "" 1)" "$(q gif_ms load "$file")"
  table_row "$format" "GIF load 4000 x 3000 ${pic#*:} (RGB)" 0 1 -
  interleave "$(q cv_ms gif-decode "$file" "" 1)" "$(q gif_ms decode "$file")"
  table_row "$format" "GIF decode 4000 x 3000 ${pic#*:} (idx)" 0 1 -
done
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
echo "Sizes of the decoded GIFs (bytes): dithered $(stat -c %s "$work/decode.gif"), screenshot $(stat -c %s "$work/shot.gif")"
echo "IM: convert -colors 256 -dither FloydSteinberg (no clock of its own: wall time less its base)."
echo "vips (ref_vips): gifsave at its defaults (libimagequant palette, its own dither)."
echo
echo "PSNR against the 24-bit original (dB): Canvello $(psnr "$work/cv.gif"), ImageMagick $(psnr "$work/im.gif"), libvips $(psnr "$work/vips.gif")"
echo "Sizes (bytes): Canvello $(stat -c %s "$work/cv.gif"), ImageMagick $(stat -c %s "$work/im.gif"), libvips $(stat -c %s "$work/vips.gif")"
closing_notes
