#!/usr/bin/env bash
# Times the browser's picture database on a folder of 300 camera-sized JPEG photos (4000 x 3000, each
# different): the first scan, which makes every thumbnail and writes "picbrowser.pbf", beside
# vipsthumbnail making thumbnails of the same size (94 x 98 box, quality 80) from the same files with
# the same number of threads; then opening the folder again from its cache file.
#
# Prints both times in milliseconds and two ratios: first scan / vipsthumbnail (goal: at most 1.5) and
# re-open / first scan (goal: below 0.05).
#
# The folder is generated once with ImageMagick (a plasma picture rolled, recoloured and grained
# differently for each file) and kept in $PHOTOS (default /tmp/canvello-picdb-photos) for later runs.
# vipsthumbnail runs as THREADS processes side by side (xargs -P), each single-threaded; its start-up
# is taken out by the same run on THREADS small JPEGs (one per process), right before it in every
# round (it has no clock of its own). Canvello's time is measured inside the program, without its
# start-up. The two sides run interleaved, round by round.
#
# Usage: scripts/bench-picture-db.sh [ROUNDS]     (default 5; BUILD=folder measures that build as it is,
#                                                   THREADS the thread count, default: cores)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
repeat=${1:-5}
threads=${THREADS:-$(nproc)}
photos=${PHOTOS:-/tmp/canvello-picdb-photos}
count=300
# shellcheck source=bench-common.sh
. "$root/scripts/bench-common.sh"

need_tool vipsthumbnail libvips-tools
im=$(magick_tool convert)
build_bench picture_db

if [ "$(find "$photos" -maxdepth 1 -name 'photo*.jpg' 2>/dev/null | wc -l)" -ne "$count" ]; then
  echo "Making $count photos of 4000 x 3000 in $photos (once)..."
  rm -rf "$photos"
  mkdir -p "$photos"
  "$im" -seed 7 -size 4000x3000 plasma:fractal -depth 8 "$photos/.base.ppm"
  seq 0 $((count - 1)) | xargs -P "$(nproc)" -I{} sh -c '
    i={}; n=$(printf "%03d" "$i")
    "$0" "$1/.base.ppm" -roll +$((i * 373 % 4000))+$((i * 531 % 3000)) -modulate 100,$((70 + i % 60)),$((i * 7 % 200)) \
      -seed "$i" -attenuate 0.25 +noise Gaussian -quality 90 "$1/photo$n.jpg"' "$im" "$photos"
  rm -f "$photos/.base.ppm"
fi

make_work_dir
mkdir -p "$work/small" "$work/out"
for ((i = 0; i < threads; i++)); do "$im" -size 120x90 plasma: -quality 90 "$work/small/small$i.jpg"; done
# Wall time in microseconds of vipsthumbnail on every JPEG of FOLDER, N files to each of THREADS processes.
# One run of vipsthumbnail over the files in FOLDER (COUNT of them) by $threads processes, in ms.
vips_run_ms() {
  rm -f "$work/out"/*.jpg
  local n=$(((${2} + threads - 1) / threads))
  wall_ms sh -c 'find "$1" -maxdepth 1 -name "*.jpg" -print0 |
    VIPS_CONCURRENCY=1 xargs -0 -P "$2" -n "$3" vipsthumbnail --size 94x98 -o "$4/%s.jpg[Q=80]"' \
    sh "$1" "$threads" "$n" "$work/out"
}
interleave "$(q cv_ms scan "$photos" 1 "$threads")" "$(q wall_less_ms "$(q vips_run_ms "$work/small" "$threads")" "$(q vips_run_ms "$photos" "$count")")"
scan_cell=$(side_cell 0) vips_cell=$(side_cell 1) scan_vs_vips=$(ratio_cell 1)
[ "$(find "$work/out" -name '*.jpg' | wc -l)" -eq "$count" ] || { echo "vipsthumbnail did not make $count thumbnails" >&2; exit 1; }
scan_min=${side_min[0]} scan_med=${side_med[0]}
interleave "$(q cv_ms reopen "$photos" 1 "$threads")"
reopen_cell=$(side_cell 0)
reopen_vs_scan="$(ratio "${side_min[0]}" "$scan_min") / $(ratio "${side_med[0]}" "$scan_med")"
rm -f "$photos/picbrowser.pbf"

printf '%-44s %19s\n' "$count photos of 4000 x 3000, $threads threads" "min / median ms"
printf '%-44s %19s\n' "vipsthumbnail --size 94x98 (xargs -P $threads)" "$vips_cell"
printf '%-44s %19s\n' "Canvello first scan (thumbnails + cache)" "$scan_cell"
printf '%-44s %19s\n' "Canvello re-open from picbrowser.pbf" "$reopen_cell"
echo "first scan / vipsthumbnail: $scan_vs_vips   (min / median; goal <= 1.5)"
echo "re-open / first scan:       $reopen_vs_scan   (min / median; goal < 0.05)"
echo "$rounds interleaved rounds; vipsthumbnail: wall time less its run on $threads small JPEGs in the same round."
closing_notes
