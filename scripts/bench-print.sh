#!/usr/bin/env bash
# Times printing a 6000 x 4000 picture at 600 dpi to a PDF file beside the same work in ImageMagick
# and libvips, then the print preview's own timings (opening the dialog, a redraw after an edit, a
# step of a corner drag).
#
# The work of the print is deflating the picture's RGB pixels (zlib level 6, no predictor, which is
# what Qt's PDF writer does) and writing them. ImageMagick's PDF writer is shut off by the system's
# security policy and libvips has none, so the references write the same pixels, deflated the same
# way, into a TIFF file (no predictor); the output sizes are printed to show the work is alike.
# Canvello is timed inside bench_print_preview (--time printpdf, a fresh process per run, the picture
# made outside the time); ImageMagick from .mpc less a base that negates every pixel and writes to
# null: (the row negates too, then writes the TIFF); libvips by its own clock from .v less a plain
# copy. Every side writes into memory (/dev/shm). One thread on every side (the print is
# single-threaded in Canvello).
#
# Usage: scripts/bench-print.sh [REPEAT]      (default 3; BUILD=folder picks the build folder)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
repeat=${1:-3}
# shellcheck source=scripts/bench-common.sh
source "$root/scripts/bench-common.sh"

bench_setup print_preview vips:libvips-tools
bench_threads 1
export QT_QPA_PLATFORM=offscreen

echo "Making the 6000 x 4000 picture..."
"$bench" --inputs "$work"
mapped_copies "$work/photo.ppm"

cv=$(canvello_ms printpdf "$mem/cv.pdf" 1)
peak=$("$bench" --time printpdf "$mem/cv.pdf" 1 2>&1 >/dev/null | sed -n 's/^peak memory: //p')
paired_ms wall_us "$(printf '%q ' "$im" "$work/photo.mpc" -negate null:)" \
  "$(printf '%q ' "$im" "$work/photo.mpc" -negate -compress zip -quality 60 -define tiff:predictor=1 "$mem/im.tif")"
ref_im=$op_ms
im_size=$(stat -c %s "$mem/im.tif")
paired_ms vips_clock_us "$(printf '%q ' copy "$work/photo.v" "$mem/copy.v")" \
  "$(printf '%q ' tiffsave "$work/photo.v" "$mem/vips.tif" --compression deflate --level 6 --predictor none)"
ref_vips=$op_ms
vips_size=$(stat -c %s "$mem/vips.tif")
format='%-26s %11s %10s %10s %9s %9s\n'
printf "$format" "operation" "Canvello ms" "IM ms" "vips ms" "Cv/IM" "Cv/vips"
printf "$format" "print 6000x4000 @600 dpi" "$cv" "$ref_im" "$ref_vips" "$(ratio "$cv" "$ref_im")" "$(ratio "$cv" "$ref_vips")"
echo "Output sizes: Canvello PDF $(stat -c %s "$mem/cv.pdf"), ImageMagick TIFF $im_size, libvips TIFF $vips_size bytes"
echo "Canvello's peak memory: $peak"
thread_note
echo
echo "The print preview (no reference tool has it; the goal is <= 20 ms for a redraw):"
"$bench" --benchmark_filter='BM_(Open|EditRedraw|DragStep)' 2>/dev/null |
  awk '/^BM_/ { printf "  %-28s %9.3f ms\n", $1, $2 }'
