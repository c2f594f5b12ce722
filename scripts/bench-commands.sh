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

format='%-34s %19s %19s %13s %19s %13s %19s %13s\n'
printf "$format" "operation (6000 x 4000)" "Canvello min / med" "IM min / med" "Cv/IM" "vips min / med" "Cv/vips" \
  "libjpeg min / med" "Cv/jpeg"
jpeg_rows "$format" "JPEG open to shown window" open "$work/photo.jpg"
interleave "$(q cv_ms gif-save "$work/photo.jpg" "$mem/cv-out.gif" 1)" \
  "$(q magick_op_ms "$work/photo.mpc" -o "$mem/im-out.gif" -colors 256 -dither FloydSteinberg)"
table_row "$format" "GIF save (256 colours, F-S)" 0 1 - -
mkdir -p "$work/renames"
interleave "$(q cv_ms renames "$work/renames" "" 1)"
table_row "$format" "1,000 renames, 4 windows told" 0 - - -
rm -rf "$work/renames" "$mem"/*-out.*
echo
echo "Each cell: minimum / median over $rounds interleaved rounds, in ms; ratios Canvello / the other."
thread_note "libjpeg runs on one thread"
echo "Canvello's open holds the decode, the window and its first paint; the references only decode."
echo "Canvello's saves start once the open's recent-files thumbnail (a thread of its own) is made."
echo "IM: no clock of its own: the load is its wall time less that on 16 x 16; saves from .mpc after -negate,"
echo "    less that base to null:, in the same round."
echo "vips (ref_vips): load: the .jpg to pixels in memory; save: jpegsave Q 90, subsample on, from the"
echo "    resident picture. Its GIF save is set beside Canvello's in scripts/bench-gif.sh."
echo "libjpeg (ref_jpeg): decode to RGB; encode quality 90 (4:2:0) from a PPM in memory."
echo "not timed: libjpeg writes no GIF; no reference tool renames pictures."
closing_notes
