#!/usr/bin/env bash
# Stabilises generated clips and reports the high-frequency shake left, per
# variant: the input's pass-1 log against a pass-1 log of the output.
# Usage: tools/measure_stabilization.sh [BUILD_DIR] [SIZE] [FRAMES] [VARIANT...]
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${1:-$root/build}"
size="${2:-640x480}"
frames="${3:-120}"
shift $(($# < 3 ? $# : 3))
variants=("$@")
if ((${#variants[@]} == 0)); then variants=(static pan shaky patches rolling); fi
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

for variant in "${variants[@]}"; do
  clip="$work/$variant.y4m"
  "$build/tools/quiventa-clipgen" "$clip" --variant "$variant" --size "$size" \
    --frames "$frames" >/dev/null
  settings=()
  if [[ "$variant" == rolling ]]; then settings=(--set rollingShutter=1); fi
  "$build/quiventa" stabilize "$clip" "$work/$variant-out.y4m" -y --log "$work/$variant.log" \
    --quiet "${settings[@]}"
  "$build/quiventa" analyze "$work/$variant-out.y4m" --log "$work/$variant-out.log" --quiet
  echo "== $variant ($size, $frames frames)"
  "$build/tools/quiventa-jitter" "$work/$variant.log" "$work/$variant-out.log"
done
