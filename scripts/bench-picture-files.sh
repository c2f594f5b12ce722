#!/usr/bin/env bash
# Times Canvello's BMP and JPEG loading and saving of one 6000 x 4000 photo-like picture beside
# ImageMagick, libvips and libjpeg-turbo's djpeg and cjpeg on the same pictures, and prints each time
# in milliseconds with the ratio Canvello / each (below 1 is faster).
#
# The sides are timed as scripts/bench-common.sh describes: Canvello inside bench_picture_files
# (--time, a fresh process per run, no start-up; a save starts from pixels loaded before the time);
# ImageMagick from .mpc with a base that negates every pixel, or, for a load, its wall time less that
# on a 16 x 16 picture; libvips, djpeg and cjpeg by wall time less that on the 16 x 16 picture
# (libvips's own clock does not fit: a load's clocks overlap, and a save's output is not a .v like
# the plain copy that would be taken out). Every save writes into memory (/dev/shm),
# so Canvello's flush to disc costs nothing there, as the reference tools make none. The BMP save is
# also set beside a plain write of the same bytes (raw-write). JPEG saves are quality 90 with 4:2:0
# chroma subsampling (libjpeg's default, and vips jpegsave --subsample-mode on). One thread everywhere.
#
# Usage: scripts/bench-picture-files.sh [REPEAT]      (default 5; BUILD=folder picks the build folder)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
repeat=${1:-5}
# shellcheck source=scripts/bench-common.sh
. "$root/scripts/bench-common.sh"

bench_setup picture_files djpeg:libjpeg-turbo-progs cjpeg:libjpeg-turbo-progs vips:libvips-tools
bench_threads 1

make_plasma_photo
mapped_copies "$work/photo.ppm"
"$im" "$work/photo.ppm" -type TrueColor BMP3:"$work/photo.bmp"
"$im" "$work/small.ppm" -type TrueColor BMP3:"$work/small.bmp"
vips copy "$work/small.ppm" "$work/small.v"

# ImageMagick's time for writing its picture (after the base) to OUTPUT, less the base that writes to
# null:. Usage: magick_save_ms OUTPUT [OPTIONS...]; echoes the milliseconds.
magick_save_ms() {
  local output=$1
  shift
  paired_ms wall_us "$(printf '%q ' "$im" "$work/photo.mpc" -negate null:)" \
    "$(printf '%q ' "$im" "$work/photo.mpc" -negate "$@" "$output")"
  rm -f "${output#*:}"
  echo "$op_ms"
}
ref() { reference_ms "$work/photo" "$work/small" "$@"; }

cv_bmp_load=$(canvello_ms bmp-load "$work/photo.bmp" "" 1)
cv_bmp_save=$(canvello_ms bmp-save "$work/photo.bmp" "$mem/cv-out.bmp" 1)
cv_raw_write=$(canvello_ms raw-write "$work/photo.bmp" "$mem/cv-raw.bmp" 1)
cv_jpeg_load=$(canvello_ms jpeg-load "$work/photo.jpg" "" 1)
cv_jpeg_save=$(canvello_ms jpeg-save "$work/photo.bmp" "$mem/cv-out.jpg" 1)
cv_jpeg_thumb=$(canvello_ms jpeg-thumb "$work/photo.jpg" "" 1)
rm -f "$mem"/cv-*

im_bmp_load=$(ref "$im" BIG.bmp null:)
im_bmp_save=$(magick_save_ms BMP3:"$mem/im-out.bmp")
im_jpeg_load=$(ref "$im" BIG.jpg null:)
im_jpeg_save=$(magick_save_ms "$mem/im-out.jpg" -quality 90 -sampling-factor 2x2)
djpeg_ms=$(ref djpeg -outfile /dev/null BIG.jpg)
djpeg_fast=$(ref djpeg -scale 1/8 -dct fast -nosmooth -outfile /dev/null BIG.jpg)
cjpeg_ms=$(ref cjpeg -quality 90 -outfile "$mem/cjpeg-out.jpg" BIG.ppm)
vips_jpeg_load=$(ref vips avg BIG.jpg)
vips_jpeg_thumb=$(ref vips avg "BIG.jpg[shrink=8]")
vips_jpeg_save=$(ref vips jpegsave BIG.v "$mem/vips-out.jpg" --Q 90 --subsample-mode on)
rm -f "$mem/vips-out.jpg"

format='%-24s %11s %10s %10s %10s %8s %8s %8s\n'
printf "$format" "operation (6000 x 4000)" "Canvello ms" "IM ms" "vips ms" "jpeg ms" "Cv/IM" "Cv/vips" "Cv/jpeg"
row() {
  printf "$format" "$1" "$2" "$3" "$4" "$5" "$(ratio "$2" "$3")" "$(ratio "$2" "$4")" "$(ratio "$2" "$5")"
}
row "BMP load" "$cv_bmp_load" "$im_bmp_load" n/a n/a
row "BMP save" "$cv_bmp_save" "$im_bmp_save" n/a n/a
row "raw write (72 MB)" "$cv_raw_write" n/a n/a n/a
row "JPEG load" "$cv_jpeg_load" "$im_jpeg_load" "$vips_jpeg_load" "$djpeg_ms"
row "JPEG save (q 90, 4:2:0)" "$cv_jpeg_save" "$im_jpeg_save" "$vips_jpeg_save" "$cjpeg_ms"
row "JPEG 1/8 decode" "$cv_jpeg_thumb" n/a "$vips_jpeg_thumb" "$djpeg_fast"
echo
echo "BMP save / raw write of the same bytes: $(ratio "$cv_bmp_save" "$cv_raw_write")"
thread_note "libjpeg's tools run on one thread"
echo "IM: BMP and JPEG load are its wall time less that on 16 x 16 (from .bmp, .jpg); saves from .mpc"
echo "    after -negate, less that base (JPEG: -quality 90 -sampling-factor 2x2)."
echo "vips: wall time less that on 16 x 16: a load is vips avg of the .jpg (decodes, writes nothing), the"
echo "      1/8 decode the same with [shrink=8] (libjpeg's scaled decode, its default DCT and upsampling);"
echo "      the save is jpegsave --Q 90 --subsample-mode on from .v (mapped, nothing decoded)."
echo "jpeg: djpeg; cjpeg -quality 90 from PPM; djpeg -scale 1/8 -dct fast -nosmooth (as Canvello's thumbnails)."
