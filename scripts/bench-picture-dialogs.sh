#!/usr/bin/env bash
# Times the open dialog's preview of one 6000 x 4000 photo-like JPEG beside libvips's and
# ImageMagick's thumbnails of the same file to the same size, and libjpeg-turbo's scaled decode alone,
# and prints each time in milliseconds with the ratio Canvello / each (below 1 is faster).
#
# The work on every side: read the file, decode it at 1/8 scale (the JPEG library's shrink on load),
# shrink the result to fit 149 x 132 (the dialog's preview area: 149 x 99 here), keep it in memory.
# The sides are timed as scripts/bench-common.sh describes, interleaved round by round: Canvello
# inside bench_picture_dialogs (--time): "preview" is the quick shrink the dialog uses by default,
# "preview-resampled" the area averaging, "dialog" the way from a selection to the preview taken by the
# dialog (the decoding on its worker thread); libvips inside ref_vips (vips_thumbnail of the file to
# pixels in memory), libjpeg inside ref_jpeg (scale 1/8, fast DCT, no fancy upsampling: the decode
# alone); ImageMagick -define jpeg:size (its shrink on load) with -thumbnail to null:, by wall time
# less that on a 16 x 16 JPEG in the same round. One thread everywhere.
#
# Usage: scripts/bench-picture-dialogs.sh [ROUNDS]      (default 5; BUILD=folder measures that build as it is)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
repeat=${1:-5}
# shellcheck source=scripts/bench-common.sh
. "$root/scripts/bench-common.sh"

bench_setup picture_dialogs djpeg:libjpeg-turbo-progs cjpeg:libjpeg-turbo-progs vips:libvips-tools
bench_threads 1

make_plasma_photo

magick_thumb_ms() {
  wall_less_ms "$(q "$im" -define jpeg:size=298x264 "$2" -thumbnail 149x132 null:)" \
    "$(q "$im" -define jpeg:size=298x264 "$1" -thumbnail 149x132 null:)"
}
format='%-34s %19s %19s %13s %19s %13s %19s %13s\n'
printf "$format" "operation (6000 x 4000 JPEG)" "Canvello min / med" "vips min / med" "Cv/vips" "IM min / med" "Cv/IM" \
  "libjpeg min / med" "Cv/jpeg"
row() {
  interleave "$(q cv_ms "$2" "$work/photo.jpg" 1)" "$(q vips_ms thumbnail "$work/photo.jpg" 149 132)" \
    "$(q magick_thumb_ms "$work/photo.jpg" "$work/small.jpg")" "$(q jpeg_ms decode-eighth "$work/photo.jpg")"
  table_row "$format" "$1" 0 1 2 3
}
row "preview, quick shrink" preview
row "preview, area averaging" preview-resampled
row "selection to preview in the dialog" dialog
echo
echo "Each cell: minimum / median over $rounds interleaved rounds, in ms; ratios Canvello / the other."
thread_note "Canvello decodes the preview on one worker thread"
echo "vips (ref_vips): vips_thumbnail to 149 x 132, pixels in memory; IM: -define jpeg:size=298x264"
echo "      -thumbnail 149x132 to null:, wall time less that on a 16 x 16 JPEG (no clock of its own);"
echo "      libjpeg (ref_jpeg): scale 1/8, fast DCT, no fancy upsampling (the decode alone, as Canvello's)."
closing_notes
