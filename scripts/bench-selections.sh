#!/usr/bin/env bash
# Times Canvello's magic wand and zoom-1 outline tracing on one 6000 x 4000 picture beside the nearest
# ImageMagick operations, and prints each time in milliseconds with the ratio Canvello / ImageMagick
# (below 1 is faster). The work is alike, not the same: ImageMagick's flood fill compares colours by
# their distance (fuzz 12.5%, about 32 of 255) where the wand compares each channel, and its inner-edge
# morphology finds the edge pixels of the mask where the tracing also chains them into polygons.
#
# Canvello's times are measured inside the program (bench_selections --time), without the load or the
# process start. ImageMagick reads its memory-mapped cache format (.mpc) and writes to null:; its time
# is the best wall time of the operation less that of the same read and write alone.
#
# Usage: scripts/bench-selections.sh [REPEAT]      (default 3; BUILD=folder picks the build folder)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
repeat=${1:-3}
# shellcheck source=scripts/bench-common.sh
source "$root/scripts/bench-common.sh"

bench_setup selections

echo "Making the 6000 x 4000 picture and the wand's mask..."
"$bench" --inputs "$work"
"$im" "$work/landscape.bmp" "$work/landscape.mpc"
"$im" "$work/mask.bmp" -colorspace Gray "$work/mask.mpc"

im_ms() {
  local picture=$1
  shift
  magick_op_ms "$(magick_io_ms "$work/$picture.mpc")" "$work/$picture.mpc" "$@"
}

printf '%-10s %12s %12s %8s   %s\n' "operation" "Canvello ms" "IM ms" "ratio" "ImageMagick"
row() {
  local op=$1 input=$2 picture=$3
  shift 3
  local cv ref
  cv=$("$bench" --time "$op" "$work/$input" "$repeat")
  ref=$(im_ms "$picture" "$@")
  printf '%-10s %12s %12s %8s   %s\n' "$op" "$cv" "$ref" "$(ratio "$cv" "$ref")" "$*"
}
row wand   landscape.bmp landscape -fill red -fuzz 12.5% -draw "color 3000,800 floodfill"
row trace1 mask.bmp      mask      -morphology EdgeIn Diamond
