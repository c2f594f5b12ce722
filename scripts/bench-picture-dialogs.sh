#!/usr/bin/env bash
# Times the open dialog's preview of one 6000 x 4000 photo-like JPEG beside libvips's and
# ImageMagick's thumbnails of the same file to the same size, and libjpeg-turbo's scaled decode alone,
# and prints each time in milliseconds with the ratio Canvello / each (below 1 is faster).
#
# The work on every side: read the file, decode it at 1/8 scale (the JPEG library's shrink on load),
# shrink the result to fit 149 x 132 (the dialog's preview area: 149 x 99 here), keep it in memory.
# Canvello inside bench_picture_dialogs (--time, a fresh process per run, no start-up): "preview" is
# the quick shrink the dialog uses by default, "preview-resampled" the area averaging, "dialog" the way
# from a selection to the preview taken by the dialog (the decoding on its worker thread). libvips is
# vips thumbnail to a .v in memory (/dev/shm), ImageMagick -define jpeg:size (its shrink on load) with
# -thumbnail to null:, djpeg -scale 1/8 -dct fast -nosmooth to /dev/null; all three by wall time less
# that on a 16 x 16 JPEG. One thread everywhere.
#
# Usage: scripts/bench-picture-dialogs.sh [REPEAT]      (default 5; BUILD=folder picks the build folder)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
repeat=${1:-5}
# shellcheck source=scripts/bench-common.sh
. "$root/scripts/bench-common.sh"

bench_setup picture_dialogs djpeg:libjpeg-turbo-progs cjpeg:libjpeg-turbo-progs vips:libvips-tools
bench_threads 1

make_plasma_photo

ref() { reference_ms "$work/photo" "$work/small" "$@"; }

cv_quick=$(canvello_ms preview "$work/photo.jpg" 1)
cv_resampled=$(canvello_ms preview-resampled "$work/photo.jpg" 1)
cv_dialog=$(canvello_ms dialog "$work/photo.jpg" 1)

vips_thumb=$(ref vips thumbnail BIG.jpg "$mem/thumb.v" 149 --height 132)
rm -f "$mem/thumb.v"
im_thumb=$(ref "$im" -define jpeg:size=298x264 BIG.jpg -thumbnail 149x132 null:)
djpeg_eighth=$(ref djpeg -scale 1/8 -dct fast -nosmooth -outfile /dev/null BIG.jpg)

format='%-34s %11s %10s %10s %10s %8s %8s %8s\n'
printf "$format" "operation (6000 x 4000 JPEG)" "Canvello ms" "vips ms" "IM ms" "djpeg ms" "Cv/vips" "Cv/IM" "Cv/djpeg"
row() {
  printf "$format" "$1" "$2" "$vips_thumb" "$im_thumb" "$djpeg_eighth" "$(ratio "$2" "$vips_thumb")" \
    "$(ratio "$2" "$im_thumb")" "$(ratio "$2" "$djpeg_eighth")"
}
row "preview, quick shrink" "$cv_quick"
row "preview, area averaging" "$cv_resampled"
row "selection to preview in the dialog" "$cv_dialog"
echo
thread_note "Canvello decodes the preview on one worker thread"
echo "vips: vips thumbnail to 149 x 132 into a .v in /dev/shm; IM: -define jpeg:size=298x264 -thumbnail"
echo "      149x132 to null:; djpeg: -scale 1/8 -dct fast -nosmooth (the decode alone, as Canvello's)."
echo "      All three by wall time less that on a 16 x 16 JPEG."
