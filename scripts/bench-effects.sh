#!/usr/bin/env bash
# Times Canvello's picture effects on one 6000 x 4000 picture beside the nearest ImageMagick operation
# on the same picture, and prints each time in milliseconds with the ratio Canvello / ImageMagick
# (below 1 is faster).
#
# Canvello's times are measured inside the program (bench_effects --time), on a copy of the loaded
# picture, so they hold neither the load nor the process start. ImageMagick reads the picture from its
# memory-mapped cache format (.mpc) and writes to null:; its time is the best wall time of the
# operation less the best wall time of the same read and write without the operation.
#
# Usage: scripts/bench-effects.sh [REPEAT]      (default 3; BUILD=folder picks the build folder)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
repeat=${1:-3}
# shellcheck source=scripts/bench-common.sh
source "$root/scripts/bench-common.sh"

im=$(magick_tool convert)
build_bench effects
make_work_dir
lift_magick_limits

echo "Making the 6000 x 4000 pictures..."
"$bench" --inputs "$work"
"$im" "$work/photo.bmp" "$work/photo.mpc"
"$im" "$work/rings.bmp" "$work/rings.mpc"

base_photo=$(magick_io_ms "$work/photo.mpc")
base_rings=$(magick_io_ms "$work/rings.mpc")

# ImageMagick's time for an operation on a picture (photo or rings), its read and write taken out.
im_ms() {
  local picture=$1 base=$base_photo
  shift
  [ "$picture" = rings ] && base=$base_rings
  magick_op_ms "$base" "$work/$picture.mpc" "$@"
}

printf '%-22s %12s %12s %8s   %s\n' "operation (6000 x 4000)" "Canvello ms" "IM ms" "ratio" "ImageMagick"
row() {
  local op=$1 picture=$2
  shift 2
  local cv ref
  cv=$("$bench" --time "$op" "$work/$picture.bmp" "$repeat")
  ref=$(im_ms "$picture" "$@")
  printf '%-22s %12s %12s %8s   %s\n' "$op" "$cv" "$ref" "$(ratio "$cv" "$ref")" "$*"
}
row blur10      photo -blur 0x10
row resample50  photo -filter Lanczos -define filter:lobes=5 -resize 50%
row resample200 photo -filter Lanczos -define filter:lobes=5 -resize 200%
row resize50    photo -sample 50%
row rotate33    photo -background red -rotate 33
row greyscale   photo -grayscale Average
row negative    photo -negate
row brighten20  photo -evaluate add 20%
row gamma2      photo -gamma 2.0
row mirror      photo -flop
row flip        photo -flip
row floodfill   rings -fill red -fuzz 4% -draw "color 0,0 floodfill"
