#!/usr/bin/env bash
# Times Canvello's BMP and JPEG loading and saving of one 6000 x 4000 photo-like picture beside the
# reference tools on the same files: ImageMagick for BMP, libjpeg-turbo's djpeg and cjpeg -quality 90
# for JPEG. Prints each time in milliseconds and the ratio Canvello / reference (below 1 is faster).
#
# Canvello's times are measured inside the program (bench_picture_files --time), so they hold no
# process start; a reference tool's time is its best wall time less its best wall time on a 16 x 16
# picture, which leaves out its own start-up in the same way.
#
# Usage: scripts/bench-picture-files.sh [REPEAT]      (default 5; BUILD=folder picks the build folder)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD:-$root/build-bench}
repeat=${1:-5}
# shellcheck source=bench-common.sh
. "$root/scripts/bench-common.sh"

for tool in djpeg cjpeg; do
  command -v "$tool" >/dev/null || { echo "$tool is missing (apt-get install libjpeg-turbo-progs)" >&2; exit 1; }
done
# ImageMagick itself, not a wrapper in front of it.
im=$(command -v convert-im6.q16 || command -v convert) || { echo "ImageMagick is missing" >&2; exit 1; }

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DCANVELLO_TESTS=OFF -DCANVELLO_BENCH=ON >/dev/null
cmake --build "$build" -j"$(nproc)" --target bench_picture_files >/dev/null
bench=$build/bench/bench_picture_files

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
echo "Making the 6000 x 4000 picture (plasma, fixed seed)..."
"$im" -seed 42 -size 6000x4000 plasma:fractal -depth 8 "$work/photo.ppm"
"$im" "$work/photo.ppm" -type TrueColor BMP3:"$work/photo.bmp"
cjpeg -quality 90 -outfile "$work/photo.jpg" "$work/photo.ppm"
"$im" -size 16x16 xc:gray -depth 8 "$work/small.ppm"
"$im" "$work/small.ppm" -type TrueColor BMP3:"$work/small.bmp"
cjpeg -quality 90 -outfile "$work/small.jpg" "$work/small.ppm"

# Best wall time of a reference command on the picture less the same on the small picture. The
# command is given with BIG where the picture's base name goes.
reference_ms() {
  local big small
  big=$(best_ms "${@//BIG/$work/photo}")
  small=$(best_ms "${@//BIG/$work/small}")
  awk -v b="$big" -v s="$small" 'BEGIN { printf "%.1f", b - s }'
}

canvello_ms() {
  "$bench" --time "$1" "$2" "${3:-}" "$repeat"
}

im_read=$(reference_ms "$im" BIG.bmp null:)
im_readwrite=$(reference_ms "$im" BIG.bmp "$work/im-out.bmp")
im_write=$(awk -v rw="$im_readwrite" -v r="$im_read" 'BEGIN { printf "%.1f", rw - r }')
djpeg_ms=$(reference_ms djpeg -outfile /dev/null BIG.jpg)
cjpeg_ms=$(reference_ms cjpeg -quality 90 -outfile "$work/cjpeg-out.jpg" BIG.ppm)
djpeg_fast=$(reference_ms djpeg -scale 1/8 -dct fast -nosmooth -outfile /dev/null BIG.jpg)

cv_bmp_load=$(canvello_ms bmp-load "$work/photo.bmp")
cv_bmp_save=$(canvello_ms bmp-save "$work/photo.bmp" "$work/cv-out.bmp")
cv_jpeg_load=$(canvello_ms jpeg-load "$work/photo.jpg")
cv_jpeg_save=$(canvello_ms jpeg-save "$work/photo.jpg" "$work/cv-out.jpg")
cv_jpeg_thumb=$(canvello_ms jpeg-thumb "$work/photo.jpg")

printf '%-28s %12s %12s %8s\n' "operation (6000 x 4000)" "Canvello ms" "reference ms" "ratio"
row() { printf '%-28s %12s %12s %8s   %s\n' "$1" "$2" "$3" "$(ratio "$2" "$3")" "$4"; }
row "BMP load" "$cv_bmp_load" "$im_read" "convert in.bmp null:"
row "BMP save" "$cv_bmp_save" "$im_write" "convert in.bmp out.bmp, less the read"
row "JPEG load" "$cv_jpeg_load" "$djpeg_ms" "djpeg"
row "JPEG save (quality 90)" "$cv_jpeg_save" "$cjpeg_ms" "cjpeg -quality 90 from PPM"
row "JPEG 1/8 fast decode" "$cv_jpeg_thumb" "$djpeg_fast" "djpeg -scale 1/8 -dct fast -nosmooth"
