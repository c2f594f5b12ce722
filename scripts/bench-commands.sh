#!/usr/bin/env bash
# Times the main window's commands end to end beside the reference tools on the same files:
#   opening a 6000 x 4000 JPEG from the Open path (OpenPictureFile) to the shown, painted window,
#   beside ImageMagick, libvips and djpeg decoding the same file (they make no window: Canvello's time
#   holds the window and its first paint on top of the decode);
#   saving that window's picture as JPEG (quality 90, 4:2:0) beside ImageMagick, libvips and cjpeg, and
#   as GIF (256 colours, octree, Floyd-Steinberg) beside ImageMagick's -colors 256 -dither FloydSteinberg;
#   a batch of 1,000 renames from the Browse menu with their file actions to four windows, which no
#   reference tool does (shown alone).
#
# The sides are timed as scripts/bench-common.sh describes: Canvello inside bench_commands (--time, a
# fresh process per run, the frame made and a save's picture opened before the time); ImageMagick from
# .mpc with a base that negates every pixel for a save, its wall time less that on a 16 x 16 picture
# for a load; libvips, djpeg and cjpeg by wall time less that on the 16 x 16 picture. Saves write into
# memory (/dev/shm). One thread on every side.
#
# Usage: scripts/bench-commands.sh [REPEAT]      (default 5; BUILD=folder picks the build folder)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
repeat=${1:-5}
# shellcheck source=scripts/bench-common.sh
. "$root/scripts/bench-common.sh"

bench_setup commands djpeg:libjpeg-turbo-progs cjpeg:libjpeg-turbo-progs vips:libvips-tools
bench_threads 1
export QT_QPA_PLATFORM=offscreen

make_plasma_photo
mapped_copies "$work/photo.ppm"
vips copy "$work/small.ppm" "$work/small.v"

ref() { reference_ms "$work/photo" "$work/small" "$@"; }

cv_open=$(canvello_ms open "$work/photo.jpg" "" 1)
cv_jpeg_save=$(canvello_ms jpeg-save "$work/photo.jpg" "$mem/cv-out.jpg" 1)
cv_gif_save=$(canvello_ms gif-save "$work/photo.jpg" "$mem/cv-out.gif" 1)
mkdir -p "$work/renames"
cv_renames=$(canvello_ms renames "$work/renames" "" 1)
rm -rf "$work/renames" "$mem"/cv-*

im_load=$(ref "$im" BIG.jpg null:)
vips_load=$(ref vips avg BIG.jpg)
djpeg_load=$(ref djpeg -outfile /dev/null BIG.jpg)
im_jpeg_save=$(magick_write_ms "$work/photo.mpc" "$mem/im-out.jpg" -quality 90 -sampling-factor 2x2)
vips_jpeg_save=$(ref vips jpegsave BIG.v "$mem/vips-out.jpg" --Q 90 --subsample-mode on)
cjpeg_save=$(ref cjpeg -quality 90 -outfile "$mem/cjpeg-out.jpg" BIG.ppm)
im_gif_save=$(magick_write_ms "$work/photo.mpc" "$mem/im-out.gif" -colors 256 -dither FloydSteinberg)
rm -f "$mem"/*-out.*

format='%-34s %11s %10s %10s %10s %8s %8s %8s\n'
printf "$format" "operation (6000 x 4000)" "Canvello ms" "IM ms" "vips ms" "jpeg ms" "Cv/IM" "Cv/vips" "Cv/jpeg"
row() {
  printf "$format" "$1" "$2" "$3" "$4" "$5" "$(ratio "$2" "$3")" "$(ratio "$2" "$4")" "$(ratio "$2" "$5")"
}
row "JPEG open to shown window" "$cv_open" "$im_load" "$vips_load" "$djpeg_load"
row "JPEG save (q 90, 4:2:0)" "$cv_jpeg_save" "$im_jpeg_save" "$vips_jpeg_save" "$cjpeg_save"
row "GIF save (256 colours, F-S)" "$cv_gif_save" "$im_gif_save" n/a n/a
row "1,000 renames, 4 windows told" "$cv_renames" n/a n/a n/a
echo
thread_note "libjpeg's tools run on one thread"
echo "Canvello's open holds the decode, the window and its first paint; the references only decode."
echo "IM: the load is its wall time less that on 16 x 16; saves from .mpc after -negate, less that base."
echo "vips: wall time less that on 16 x 16 (load: vips avg of the .jpg; save: jpegsave from .v)."
echo "jpeg: djpeg to /dev/null; cjpeg -quality 90 from PPM."
