#!/usr/bin/env bash
# Times Canvello's magic wand and zoom-1 outline tracing on one 6000 x 4000 picture beside the nearest
# ImageMagick operations, and prints each time in milliseconds with the ratio Canvello / ImageMagick
# (below 1 is faster). The work is alike, not the same: ImageMagick's flood fill compares colours by
# their distance (fuzz 12.5%, about 32 of 255) where the wand compares each channel, and its inner-edge
# morphology finds the edge pixels of the mask where the tracing also chains them into polygons.
#
# The sides are timed as scripts/bench-common.sh describes, interleaved round by round: Canvello
# inside bench_selections (--time), without the load or the process start; ImageMagick from .mpc, its
# wall time less a base in the same round that reads, negates every pixel (so all are resident, as
# Canvello's are) and writes to null:.
#
# Usage: scripts/bench-selections.sh [ROUNDS]      (default 5; BUILD=folder measures that build as it is)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
repeat=${1:-5}
# shellcheck source=scripts/bench-common.sh
source "$root/scripts/bench-common.sh"

bench_setup selections

echo "Making the 6000 x 4000 picture and the wand's mask..."
"$bench" --inputs "$work"
"$im" "$work/landscape.bmp" "$work/landscape.mpc"
"$im" "$work/mask.bmp" -colorspace Gray "$work/mask.mpc"

format='%-10s %19s %19s %13s   %s\n'
printf "$format" "operation" "Canvello min / med" "IM min / med" "Cv/IM" "ImageMagick"
row() {
  local op=$1 input=$2 picture=$3
  shift 3
  interleave "$(printf '%q ' cv_ms "$op" "$work/$input" 1)" "$(printf '%q ' magick_op_ms "$work/$picture.mpc" "$@")"
  table_row "$format" "$op" 0 1 | sed "s|\$|$*|"
}
row wand   landscape.bmp landscape -fill red -fuzz 12.5% -draw "color 3000,800 floodfill"
row trace1 mask.bmp      mask      -morphology EdgeIn Diamond
echo
echo "Each cell: minimum / median over $rounds interleaved rounds, in ms; ratio Canvello / ImageMagick."
closing_notes
