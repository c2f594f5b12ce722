#!/usr/bin/env bash
# Times Canvello's BMP and JPEG loading and saving of one 6000 x 4000 photo-like picture beside the
# reference tools on the same files: ImageMagick for BMP, libjpeg-turbo's djpeg and cjpeg -quality 90
# for JPEG. Prints each time in milliseconds and the ratio Canvello / reference (below 1 is faster).
#
# Canvello's times are measured inside the program (bench_picture_files --time), so they hold no
# process start; a reference tool's time is its best wall time less its best wall time on a 16 x 16
# picture, which leaves out its own start-up in the same way.
#
# Usage: scripts/bench-picture-files.sh [REPEAT]      (default 5; BUILD=folder picks the build folder)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
repeat=${1:-5}
# shellcheck source=bench-common.sh
. "$root/scripts/bench-common.sh"

need_tool djpeg libjpeg-turbo-progs
need_tool cjpeg libjpeg-turbo-progs
im=$(magick_tool convert)
build_bench picture_files
make_work_dir

echo "Making the 6000 x 4000 picture (plasma, fixed seed)..."
"$im" -seed 42 -size 6000x4000 plasma:fractal -depth 8 "$work/photo.ppm"
"$im" "$work/photo.ppm" -type TrueColor BMP3:"$work/photo.bmp"
cjpeg -quality 90 -outfile "$work/photo.jpg" "$work/photo.ppm"
"$im" -size 16x16 xc:gray -depth 8 "$work/small.ppm"
"$im" "$work/small.ppm" -type TrueColor BMP3:"$work/small.bmp"
cjpeg -quality 90 -outfile "$work/small.jpg" "$work/small.ppm"

# A reference tool on the big picture less the same on the small one.
big_less_small_ms() { reference_ms "$work/photo" "$work/small" "$@"; }

im_read=$(big_less_small_ms "$im" BIG.bmp null:)
im_readwrite=$(big_less_small_ms "$im" BIG.bmp "$work/im-out.bmp")
im_write=$(diff_ms "$im_readwrite" "$im_read")
djpeg_ms=$(big_less_small_ms djpeg -outfile /dev/null BIG.jpg)
cjpeg_ms=$(big_less_small_ms cjpeg -quality 90 -outfile "$work/cjpeg-out.jpg" BIG.ppm)
djpeg_fast=$(big_less_small_ms djpeg -scale 1/8 -dct fast -nosmooth -outfile /dev/null BIG.jpg)

cv_bmp_load=$(canvello_ms bmp-load "$work/photo.bmp")
cv_bmp_save=$(canvello_ms bmp-save "$work/photo.bmp" "$work/cv-out.bmp")
cv_jpeg_load=$(canvello_ms jpeg-load "$work/photo.jpg")
cv_jpeg_save=$(canvello_ms jpeg-save "$work/photo.jpg" "$work/cv-out.jpg")
cv_jpeg_thumb=$(canvello_ms jpeg-thumb "$work/photo.jpg")

printf '%-28s %12s %12s %8s\n' "operation (6000 x 4000)" "Canvello ms" "reference ms" "ratio"
row() { printf '%-28s %12s %12s %8s   %s\n' "$1" "$2" "$3" "$(ratio "$2" "$3")" "$4"; }
row "BMP load" "$cv_bmp_load" "$im_read" "convert in.bmp null:"
row "BMP save" "$cv_bmp_save" "$im_write" "convert in.bmp out.bmp, less the read"
row "JPEG load" "$cv_jpeg_load" "$djpeg_ms" "djpeg"
row "JPEG save (quality 90)" "$cv_jpeg_save" "$cjpeg_ms" "cjpeg -quality 90 from PPM"
row "JPEG 1/8 fast decode" "$cv_jpeg_thumb" "$djpeg_fast" "djpeg -scale 1/8 -dct fast -nosmooth"
