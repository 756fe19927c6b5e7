#!/usr/bin/env bash
# Times `quiventa analyze` on generated 1280x720 and 1920x1080 clips and
# prints frames per second (decoding included), for 1 thread and all cores.
# Usage: bench/analyze_speed.sh [BUILD_DIR] [FRAMES]
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${1:-$root/build}"
frames="${2:-60}"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

for size in 1280x720 1920x1080; do
  clip="$work/shaky-$size.y4m"
  "$build/tools/quiventa-clipgen" "$clip" --variant shaky --size "$size" --frames "$frames" \
    --chroma 420 >/dev/null
  for threads in 1 "$(nproc)"; do
    start=$(date +%s.%N)
    "$build/quiventa" analyze "$clip" --log "$work/a.log" --threads "$threads" --quiet
    end=$(date +%s.%N)
    awk -v s="$start" -v e="$end" -v f="$frames" -v size="$size" -v t="$threads" \
      'BEGIN { printf "analyze %-9s threads %d: %6.1f frames/s (%d frames in %.2f s)\n", size, t, f / (e - s), f, e - s }'
  done
done
