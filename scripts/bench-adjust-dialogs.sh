#!/usr/bin/env bash
# Times the adjustment dialogs on a 6000 x 4000 picture: the small preview copy each one makes when it
# opens (area averaging) beside the same box-averaged reduction in ImageMagick (-scale) and libvips
# (shrink), then opening each dialog and one change of its setting up to the repainted preview.
#
# The copy is timed as scripts/bench-common.sh describes, the sides interleaved round by round:
# Canvello inside bench_adjust_dialogs (--time, the picture loaded outside the time); ImageMagick from
# .mpc less a base in the same round that negates every pixel; libvips inside ref_vips from the
# resident picture to the result in memory.
# One thread on every side (the copy is single-threaded in Canvello). libvips's shrink averages boxes of
# the factor's integer part and reduces the fraction that is left with its lanczos3 kernel: close to,
# not quite, the same work.
#
# Usage: scripts/bench-adjust-dialogs.sh [ROUNDS]      (default 5; BUILD=folder measures that build as it is)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
repeat=${1:-5}
# shellcheck source=scripts/bench-common.sh
source "$root/scripts/bench-common.sh"

bench_setup adjust_dialogs vips:libvips-tools
bench_threads 1
export QT_QPA_PLATFORM=offscreen

echo "Making the 6000 x 4000 picture..."
"$bench" --inputs "$work"
mapped_copies "$work/photo.bmp"
read -r pw ph < <("$bench" --time previewsize)

interleave "$(printf '%q ' cv_ms scaledcopy "$work/photo.bmp" "$pw" "$ph" 1)" \
  "$(printf '%q ' magick_op_ms "$work/photo.mpc" -scale "${pw}x${ph}!")" \
  "$(printf '%q ' vips_ms shrink "$work/photo.v" "$(awk -v a=6000 -v b="$pw" 'BEGIN { print a / b }')" \
    "$(awk -v a=4000 -v b="$ph" 'BEGIN { print a / b }')")"
format='%-22s %19s %19s %13s %19s %13s\n'
printf "$format" "operation" "Canvello min / med" "IM min / med" "Cv/IM" "vips min / med" "Cv/vips"
table_row "$format" "preview copy ${pw}x${ph}" 0 1 2
echo "Each cell: minimum / median over $rounds interleaved rounds, in ms; ratios Canvello / the other."
thread_note
echo
echo "Opening each dialog (its preview copy included) and one change of its setting (no reference tool"
echo "has these dialogs; the goals are <= 80 ms for the copy and <= 10 ms for a change):"
XDG_CONFIG_HOME=$work "$bench" --benchmark_filter='BM_(Open|Change)/' 2>/dev/null |
  awk '/^BM_/ { printf "  %-24s %9.3f ms\n", $1, $2 }'
closing_notes
