#!/usr/bin/env bash
# Times Canvello's GIF codec beside the reference tools on the same files:
#   decoding a 4000 x 3000 8-bit GIF beside giflib (gif2rgb, writing its RGB to /dev/null), and
#   saving a 6000 x 4000 24-bit picture as GIF beside ImageMagick's
#   convert -colors 256 -dither FloydSteinberg,
# and prints, for the record, the PSNR of both saved GIFs against the 24-bit original.
#
# Canvello's times are measured inside the program (bench_gif_codec --time), so they hold no
# process start; a reference tool's time is its best wall time less its best wall time on a 16 x 16
# picture, which leaves out its own start-up in the same way.
#
# Usage: scripts/bench-gif.sh [REPEAT]      (default 3; BUILD=folder picks the build folder)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
repeat=${1:-3}
# shellcheck source=bench-common.sh
source "$root/scripts/bench-common.sh"

need_tool gif2rgb giflib-tools
im=$(magick_tool convert)
compare=$(magick_tool compare)

build_bench gif_codec
make_work_dir
echo "Making the pictures (plasma, fixed seeds)..."
"$im" -seed 42 -size 6000x4000 plasma:fractal -depth 8 "$work/photo.ppm"
"$im" "$work/photo.ppm" -type TrueColor BMP3:"$work/photo.bmp"
"$im" -seed 7 -size 4000x3000 plasma:fractal -depth 8 -dither FloydSteinberg -colors 256 "$work/decode.gif"
"$im" -size 16x16 xc:gray -depth 8 "$work/small.ppm"
"$im" "$work/small.ppm" -colors 256 "$work/small.gif"

giflib_ms=$(reference_ms "$work/decode" "$work/small" gif2rgb -1 -o /dev/null BIG.gif)
im_save_ms=$(reference_ms "$work/photo" "$work/small" "$im" BIG.ppm -colors 256 -dither FloydSteinberg "$work/im-out.gif")
"$im" "$work/photo.ppm" -colors 256 -dither FloydSteinberg "$work/im.gif"

cv_decode=$(canvello_ms gif-decode "$work/decode.gif")
cv_load=$(canvello_ms gif-load "$work/decode.gif")
cv_save=$(canvello_ms gif-save "$work/photo.bmp" "$work/cv.gif")

psnr() { "$compare" -metric PSNR "$work/photo.ppm" "$1" null: 2>&1 || true; }

printf '%-36s %12s %12s %8s\n' "operation" "Canvello ms" "reference ms" "ratio"
row() { printf '%-36s %12s %12s %8s   %s\n' "$1" "$2" "$3" "$(ratio "$2" "$3")" "$4"; }
row "GIF decode 4000 x 3000 (codec)" "$cv_decode" "$giflib_ms" "gif2rgb -1 -o /dev/null"
row "GIF load 4000 x 3000 (picture)" "$cv_load" "$giflib_ms" "gif2rgb -1 -o /dev/null"
row "GIF save 6000 x 4000, 256 colours" "$cv_save" "$im_save_ms" "convert -colors 256 -dither FloydSteinberg"
echo
echo "PSNR against the 24-bit original (dB): Canvello $(psnr "$work/cv.gif"), ImageMagick $(psnr "$work/im.gif")"
echo "Sizes (bytes): Canvello $(stat -c %s "$work/cv.gif"), ImageMagick $(stat -c %s "$work/im.gif")"
