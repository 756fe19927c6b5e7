#!/usr/bin/env bash
# Renders the border settings of pass 2 side by side for a person to look at:
# a generated shaky clip (and one with a scene cut) is stabilised once per
# variant, each into its own folder of PNG frames.
#
#   tools/render_border_variants.sh OUT_DIR [BUILD_DIR]
#
# BUILD_DIR (default: build) must hold the command-line host `quiventa`, the
# module beside it and tools/quiventa-clipgen; QUIVENTA and QUIVENTA_CLIPGEN
# override the two programs. FRAMES (default 30) and SIZE (default 320x240)
# choose the clips.
#
# Variants (folder names):
#   a_adaptive       defaults: adaptive zoom, some borders
#   b_none           edge compensation "None": black borders
#   c_filled         b + previous and future frames (10 each) fill the border
#   d_soft           c + soft borders
#   e_extrapolated   b + colours extrapolated into the border
#   f_fixed_zoom     edge compensation "Fixed zoom": no border at all
#   cut_none, cut_filled   the same as b and c on a clip with a scene cut in
#                    the middle: the fill never crosses the cut
set -euo pipefail

if [[ $# -lt 1 || $# -gt 2 || $1 == -h || $1 == --help ]]; then
  sed -n '2,21p' "$0" | sed 's/^# \{0,1\}//'
  exit 2
fi

out=$1
build=${2:-build}
quiventa=${QUIVENTA:-$build/quiventa}
clipgen=${QUIVENTA_CLIPGEN:-$build/tools/quiventa-clipgen}
frames=${FRAMES:-30}
size=${SIZE:-320x240}

for program in "$quiventa" "$clipgen"; do
  if [[ ! -x $program ]]; then
    echo "render_border_variants: $program is missing or not executable (build it first)" >&2
    exit 1
  fi
done

mkdir -p "$out"

# One clip per scene layout; clipgen writes NAME.motion.txt beside each.
"$clipgen" "$out/shaky.y4m" --variant shaky --size "$size" --frames "$frames"
"$clipgen" "$out/cut.y4m" --variant cut --size "$size" --frames "$frames"

fill=(--set edgeCompensation=0 --set usePreviousFrames=1 --set previousFrames=10
  --set useFutureFrames=1 --set futureFrames=10)

# render NAME CLIP [--set ...]: stabilises CLIP into OUT/NAME/frame0001.png ...
render() {
  local name=$1 clip=$2
  shift 2
  rm -rf "${out:?}/$name"
  mkdir -p "$out/$name"
  echo "== $name" >&2
  "$quiventa" stabilize "$out/$clip.y4m" "$out/$name/frame%04d.png" -y \
    --log "$out/$name.log" --quiet "$@"
}

render a_adaptive shaky
render b_none shaky --set edgeCompensation=0
render c_filled shaky "${fill[@]}"
render d_soft shaky "${fill[@]}" --set softBorders=1
render e_extrapolated shaky --set edgeCompensation=0 --set extrapolateColors=1
render f_fixed_zoom shaky --set edgeCompensation=3
render cut_none cut --set edgeCompensation=0
render cut_filled cut "${fill[@]}"

echo "frames written to $out/<variant>/frame%04d.png" >&2
