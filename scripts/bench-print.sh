#!/usr/bin/env bash
# Times printing a 6000 x 4000 picture at 600 dpi to a PDF file beside the same work in ImageMagick
# and libvips, then the print preview's own timings (opening the dialog, a redraw after an edit, a
# step of a corner drag).
#
# The work of the print is deflating the picture's RGB pixels (zlib level 6, no predictor, which is
# what Qt's PDF writer does) and writing them. ImageMagick's PDF writer is shut off by the system's
# security policy and libvips has none, so the references write the same pixels, deflated the same
# way, into a TIFF file (no predictor); the output sizes are printed to show the work is alike.
# The sides run interleaved round by round (scripts/bench-common.sh): Canvello inside
# bench_print_preview (--time printpdf, the picture made outside the time); ImageMagick from .mpc less
# a base in the same round that negates every pixel and writes to null: (the row negates too, then
# writes the TIFF); libvips inside ref_vips from the resident picture. Every side writes into memory (/dev/shm). One thread on every side (the print is
# single-threaded in Canvello).
#
# Usage: scripts/bench-print.sh [ROUNDS]      (default 5; BUILD=folder measures that build as it is)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
repeat=${1:-5}
# shellcheck source=scripts/bench-common.sh
source "$root/scripts/bench-common.sh"

bench_setup print_preview vips:libvips-tools
bench_threads 1
export QT_QPA_PLATFORM=offscreen

echo "Making the 6000 x 4000 picture..."
"$bench" --inputs "$work"
mapped_copies "$work/photo.ppm"

# The peak memory comes from a run that takes no memory ahead of its clock.
peak=$(BENCH_WARM_MB=0 "$bench" --time printpdf "$mem/cv.pdf" 1 2>&1 >/dev/null | sed -n 's/^peak memory: //p')
interleave "$(printf '%q ' cv_ms printpdf "$mem/cv.pdf" 1)" \
  "$(printf '%q ' magick_op_ms "$work/photo.mpc" -o "$mem/im.tif" -compress zip -quality 60 -define tiff:predictor=1)" \
  "$(printf '%q ' vips_ms tiffsave "$work/photo.v" "$mem/vips.tif")"
"$im" "$work/photo.mpc" -compress zip -quality 60 -define tiff:predictor=1 "$mem/im.tif"
im_size=$(stat -c %s "$mem/im.tif")
vips_size=$(stat -c %s "$mem/vips.tif")
format='%-26s %19s %19s %13s %19s %13s\n'
printf "$format" "operation" "Canvello min / med" "IM min / med" "Cv/IM" "vips min / med" "Cv/vips"
table_row "$format" "print 6000x4000 @600 dpi" 0 1 2
echo "Each cell: minimum / median over $rounds interleaved rounds, in ms; ratios Canvello / the other."
echo "Output sizes: Canvello PDF $(stat -c %s "$mem/cv.pdf"), ImageMagick TIFF $im_size, libvips TIFF $vips_size bytes"
echo "Canvello's peak memory: $peak"
thread_note
echo
echo "The print preview (no reference tool has it; the goal is <= 20 ms for a redraw):"
"$bench" --benchmark_filter='BM_(Open|EditRedraw|DragStep)' 2>/dev/null |
  awk '/^BM_/ { printf "  %-28s %9.3f ms\n", $1, $2 }'
closing_notes
