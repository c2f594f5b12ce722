#!/usr/bin/env bash
# Times Canvello's GIF codec beside the reference tools on the same files:
#   loading a 4000 x 3000 8-bit GIF into a 24-bit picture beside giflib (gif2rgb, which also expands
#   every index to RGB, writing it to /dev/null), the codec alone (the file into frames of indices,
#   which no reference tool stops at: shown without a ratio), and
#   saving a 6000 x 4000 24-bit picture as GIF beside ImageMagick's -colors 256 -dither FloydSteinberg,
#   both writing the file to memory,
# and prints, for the record, the PSNR of both saved GIFs against the 24-bit original.
#
# Canvello's times are measured inside the program (bench_gif_codec --time, the source picture loaded
# outside the time), so they hold no process start. gif2rgb's time is its wall time less that on a
# 16 x 16 GIF, which leaves out its start-up. ImageMagick reads its memory-mapped cache (.mpc); its
# time is a run that negates the picture and saves the GIF less one that negates it and writes
# nothing, both in every round (scripts/bench-common.sh). One thread on every side: Canvello's codec
# runs on one.
#
# Usage: scripts/bench-gif.sh [REPEAT]      (default 3; BUILD=folder picks the build folder)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
repeat=${1:-3}
# shellcheck source=bench-common.sh
source "$root/scripts/bench-common.sh"

bench_setup gif_codec gif2rgb:giflib-tools
compare=$(magick_tool compare)
bench_threads 1
echo "Making the pictures (plasma, fixed seeds)..."
"$im" -seed 42 -size 6000x4000 plasma:fractal -depth 8 "$work/photo.ppm"
"$im" "$work/photo.ppm" -type TrueColor BMP3:"$work/photo.bmp"
"$im" "$work/photo.ppm" "$work/photo.mpc"
"$im" -seed 7 -size 4000x3000 plasma:fractal -depth 8 -dither FloydSteinberg -colors 256 "$work/decode.gif"
"$im" -size 16x16 xc:gray -depth 8 "$work/small.ppm"
"$im" "$work/small.ppm" -colors 256 "$work/small.gif"

giflib_ms=$(reference_ms "$work/decode" "$work/small" gif2rgb -1 -o /dev/null BIG.gif)
paired_ms wall_us "$(printf '%q ' "$im" "$work/photo.mpc" -negate null:)" \
  "$(printf '%q ' "$im" "$work/photo.mpc" -negate -colors 256 -dither FloydSteinberg "$mem/im-out.gif")"
im_save_ms=$op_ms
"$im" "$work/photo.ppm" -colors 256 -dither FloydSteinberg "$work/im.gif"

cv_decode=$(canvello_ms gif-decode "$work/decode.gif")
cv_load=$(canvello_ms gif-load "$work/decode.gif")
cv_save=$(canvello_ms gif-save "$work/photo.bmp" "$mem/cv.gif")
cp "$mem/cv.gif" "$work/cv.gif"

psnr() { "$compare" -metric PSNR "$work/photo.ppm" "$1" null: 2>&1 || true; }

printf '%-36s %12s %12s %8s\n' "operation" "Canvello ms" "reference ms" "ratio"
row() { printf '%-36s %12s %12s %8s   %s\n' "$1" "$2" "$3" "$(ratio "$2" "$3")" "$4"; }
row "GIF load 4000 x 3000 (to RGB)" "$cv_load" "$giflib_ms" "gif2rgb -1 -o /dev/null"
row "GIF decode 4000 x 3000 (indices)" "$cv_decode" "n/a" "no reference stops at the indices"
row "GIF save 6000 x 4000, 256 colours" "$cv_save" "$im_save_ms" "convert -colors 256 -dither FloydSteinberg"
thread_note
echo
echo "PSNR against the 24-bit original (dB): Canvello $(psnr "$work/cv.gif"), ImageMagick $(psnr "$work/im.gif")"
echo "Sizes (bytes): Canvello $(stat -c %s "$work/cv.gif"), ImageMagick $(stat -c %s "$work/im.gif")"
