#!/usr/bin/env bash
# Times quiventa against FFmpeg's vid.stab filters on the same generated
# clips (720p and 1080p) and prints milliseconds per frame with the ratio
# (vid.stab time / quiventa time, above 1 means quiventa is faster).
# Wall times of whole commands, decoding included, best of RUNS runs.
# Usage: bench/compare_vidstab.sh [BUILD_DIR] [FRAMES] [THREADS] [RUNS]
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${1:-$root/build}"
frames="${2:-60}"
threads="${3:-2}"
runs="${4:-3}"
for tool in ffmpeg "$build/quiventa" "$build/tools/quiventa-clipgen"; do
  command -v "$tool" >/dev/null || { echo "missing: $tool" >&2; exit 1; }
done
filters="$(ffmpeg -hide_banner -filters 2>/dev/null)"
[[ "$filters" == *vidstabdetect* ]] || { echo "this ffmpeg has no vidstabdetect" >&2; exit 1; }
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

# Best wall time of the command in milliseconds per frame.
per_frame() {
  local best=""
  for ((run = 0; run < runs; ++run)); do
    local start end
    start=$(date +%s.%N)
    "$@" >/dev/null 2>&1 || { echo "failed: $*" >&2; exit 1; }
    end=$(date +%s.%N)
    best=$(awk -v s="$start" -v e="$end" -v b="$best" -v f="$frames" \
      'BEGIN { t = (e - s) * 1000 / f; if (b == "" || t < b) print t; else print b }')
  done
  echo "$best"
}

row() {  # label, vid.stab ms, quiventa ms
  awk -v l="$1" -v v="$2" -v q="$3" \
    'BEGIN { printf "%-34s %10.2f %10.2f %8.2f\n", l, v, q, (q > 0 ? v / q : 0) }'
}

echo "clips: $frames frames, quiventa --threads $threads, best of $runs; load: $(cut -d' ' -f1-3 /proc/loadavg)"
printf "%-34s %10s %10s %8s\n" "ms per frame" "vid.stab" "quiventa" "ratio"
for size in 1280x720 1920x1080; do
  clip="$work/shaky-$size.y4m"
  "$build/tools/quiventa-clipgen" "$clip" --variant shaky --size "$size" --frames "$frames" \
    --chroma 420 >/dev/null
  trf="$work/$size.trf"
  log="$work/$size.log"
  decode=$(per_frame ffmpeg -nostdin -v error -i "$clip" -f null -)
  detect=$(per_frame ffmpeg -nostdin -v error -threads "$threads" -i "$clip" \
    -vf "vidstabdetect=result=$trf" -f null -)
  analyze=$(per_frame "$build/quiventa" analyze "$clip" --log "$log" --threads "$threads" --quiet)
  transform_linear=$(per_frame ffmpeg -nostdin -v error -threads "$threads" -i "$clip" \
    -vf "vidstabtransform=input=$trf:interpol=bilinear" -y "$work/vs.y4m")
  transform_cubic=$(per_frame ffmpeg -nostdin -v error -threads "$threads" -i "$clip" \
    -vf "vidstabtransform=input=$trf:interpol=bicubic" -y "$work/vs.y4m")
  render_linear=$(per_frame "$build/quiventa" render "$clip" "$work/q.y4m" --log "$log" \
    --threads "$threads" --quiet --set resampling=1)
  render_cubic=$(per_frame "$build/quiventa" render "$clip" "$work/q.y4m" --log "$log" \
    --threads "$threads" --quiet --set resampling=2)
  row "$size decode alone (ffmpeg)" "$decode" "$decode"
  row "$size pass 1 (detect / analyze)" "$detect" "$analyze"
  row "$size pass 2 bilinear, to y4m" "$transform_linear" "$render_linear"
  row "$size pass 2 bicubic, to y4m" "$transform_cubic" "$render_cubic"
done
