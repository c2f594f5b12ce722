#!/usr/bin/env bash
# Times Canvello's BMP and JPEG loading and saving of one 6000 x 4000 photo-like picture beside
# ImageMagick, libvips and libjpeg-turbo's djpeg and cjpeg on the same pictures, and prints each time
# in milliseconds with the ratio Canvello / each (below 1 is faster).
#
# The sides are timed as scripts/bench-common.sh describes, interleaved round by round: Canvello
# inside bench_picture_files (--time; a save starts from pixels loaded before the time); libjpeg
# inside ref_jpeg (a decode from opening the file to RGB in memory, the encode from a PPM in memory);
# libvips inside ref_vips (a load from the file to the pixels resident, the save from a resident
# picture); ImageMagick by wall time, a load less that of the 16 x 16 picture, a save from .mpc less
# the base that negates every pixel to null:. Every save writes into memory (/dev/shm), so Canvello's
# flush to disc costs nothing there, as the reference tools make none. The BMP save is also set beside
# a plain write of the same bytes (raw-write). JPEG saves are quality 90 with 4:2:0 chroma
# subsampling. One thread everywhere.
#
# Usage: scripts/bench-picture-files.sh [ROUNDS]      (default 5; BUILD=folder measures that build as it is)
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


format='%-24s %19s %19s %13s %19s %13s %19s %13s\n'
printf "$format" "operation (6000 x 4000)" "Canvello min / med" "IM min / med" "Cv/IM" "vips min / med" "Cv/vips" \
  "libjpeg min / med" "Cv/jpeg"

interleave "$(q cv_ms bmp-load "$work/photo.bmp" "" 1)" "$(q magick_load_ms "$work/photo.bmp" "$work/small.bmp")"
table_row "$format" "BMP load" 0 1 - -
interleave "$(q cv_ms bmp-save "$work/photo.bmp" "$mem/cv-out.bmp" 1)" \
  "$(q magick_op_ms "$work/photo.mpc" -o BMP3:"$mem/im-out.bmp")"
table_row "$format" "BMP save" 0 1 - -
interleave "$(q cv_ms bmp-save "$work/photo.bmp" "$mem/cv-out.bmp" 1)" "$(q cv_ms raw-write "$work/photo.bmp" "$mem/cv-raw.bmp" 1)"
bmp_over_raw="$(ratio_cell 1)"
printf "$format" "raw write (72 MB)" "$(side_cell 1)" "not timed" "" "not timed" "" "not timed" ""
jpeg_rows "$format" "JPEG load" jpeg-load "$work/photo.bmp"
interleave "$(q cv_ms jpeg-thumb "$work/photo.jpg" "" 1)" "$(q vips_ms jpegload-shrink8 "$work/photo.jpg")" \
  "$(q jpeg_ms decode-eighth "$work/photo.jpg")"
table_row "$format" "JPEG 1/8 decode" 0 - 1 2
rm -f "$mem"/*-out.* "$mem/cv-raw.bmp"
echo
echo "Each cell: minimum / median over $rounds interleaved rounds, in ms; ratios Canvello / the other."
echo "BMP save / raw write of the same bytes (min / median, interleaved): $bmp_over_raw"
thread_note "libjpeg runs on one thread"
echo "not timed: no BMP in libjpeg; libvips reads BMP only through ImageMagick; ImageMagick has no 1/8 decode"
echo "    alone (its jpeg:size picks a scale and then resizes)."
echo "IM: no clock of its own: a load is its wall time less that on 16 x 16 (.bmp, .jpg), a save from .mpc"
echo "    after -negate less that base to null: (JPEG: -quality 90 -sampling-factor 2x2), in the same round."
echo "vips (ref_vips): load: the .jpg to pixels in memory; 1/8: the same with shrink=8 (libjpeg's scaled"
echo "    decode, its default DCT and upsampling); save: jpegsave Q 90, subsample on, from the resident picture."
echo "libjpeg (ref_jpeg): decode to RGB; encode quality 90 (4:2:0) from a PPM in memory; 1/8: scale 1/8,"
echo "    fast DCT, no fancy upsampling (as Canvello's thumbnails)."
closing_notes
