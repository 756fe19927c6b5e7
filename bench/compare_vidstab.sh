#!/usr/bin/env bash
# Times quiventa against FFmpeg's vid.stab filters on the same generated
# clips (720p and 1080p) and prints milliseconds per frame, in one run:
#   - decoding alone (FFmpeg), and decoding with the conversion to the
#     filter's 32-bit RGB bitmap (the host's reader stage, same swscale flags);
#   - our passes in process (Google Benchmark, BUILD_DIR/bench/quiventa_bench,
#     built with -DQV_BUILD_BENCH=ON), pass 2 bicubic and bilinear;
#   - whole commands: FFmpeg's vidstabdetect / vidstabtransform against
#     `quiventa analyze` / `quiventa render`, decoding included, with the
#     ratio vid.stab / quiventa (above 1: quiventa is faster).
# Wall times are the best of RUNS runs. On a loaded machine the wall times
# say little, so each command's processor time (user + sys, best run) is
# printed beside it.
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
bench="$build/bench/quiventa_bench"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

# "WALL CPU": the best wall time and the best user + sys time of the
# command, both in milliseconds per frame.
per_frame() {
  local best_wall="" best_cpu=""
  for ((run = 0; run < runs; ++run)); do
    /usr/bin/time -f "%e %U %S" -o "$work/time" "$@" >/dev/null 2>&1 ||
      { echo "failed: $*" >&2; exit 1; }
    read -r wall user sys <"$work/time"
    best_wall=$(awk -v t="$wall" -v b="$best_wall" -v f="$frames" \
      'BEGIN { t = t * 1000 / f; print (b == "" || t < b) ? t : b }')
    best_cpu=$(awk -v u="$user" -v s="$sys" -v b="$best_cpu" -v f="$frames" \
      'BEGIN { t = (u + s) * 1000 / f; print (b == "" || t < b) ? t : b }')
  done
  echo "$best_wall $best_cpu"
}

# Wall and processor time per frame of one benchmark of quiventa_bench (its
# processor time counts every thread), "n/a" without the benchmarks.
in_process() {
  [[ -x "$bench" ]] || { echo "n/a"; return; }
  "$bench" --benchmark_filter="^$1\$" --benchmark_min_time=1 --benchmark_format=csv \
    2>/dev/null | awk -F, -v name="\"$1\"" '
      $1 == name { t = $3; c = $4; u = $5; gsub(/"/, "", u)
                   k = u == "ns" ? 1e-6 : u == "us" ? 1e-3 : u == "s" ? 1e3 : 1
                   printf "%.2f (cpu %.2f)", t * k, c * k; found = 1 }
      END { if (!found) printf "n/a" }'
}

row() {  # label, vid.stab "wall cpu", quiventa "wall cpu"
  local v=($2) q=($3)
  awk -v l="$1" -v vw="${v[0]}" -v vc="${v[1]}" -v qw="${q[0]}" -v qc="${q[1]}" \
    'BEGIN { printf "%-36s %9.2f %9.2f %9.2f %9.2f %7.2f\n", l, vw, vc, qw, qc, (qw > 0 ? vw / qw : 0) }'
}

echo "clips: $frames frames, $threads threads, best of $runs; load: $(cut -d' ' -f1-3 /proc/loadavg)"
for size in 1280x720 1920x1080; do
  w=${size%x*}
  h=${size#*x}
  clip="$work/shaky-$size.y4m"
  "$build/tools/quiventa-clipgen" "$clip" --variant shaky --size "$size" --frames "$frames" \
    --chroma 420 >/dev/null
  trf="$work/$size.trf"
  log="$work/$size.log"
  decode=$(per_frame ffmpeg -nostdin -v error -i "$clip" -f null -)
  convert=$(per_frame ffmpeg -nostdin -v error -i "$clip" -sws_flags \
    bicubic+accurate_rnd+full_chroma_int+full_chroma_inp -pix_fmt bgr0 -f null -)
  detect=$(per_frame ffmpeg -nostdin -v error -threads "$threads" -i "$clip" \
    -vf "vidstabdetect=result=$trf" -f null -)
  analyze=$(per_frame "$build/quiventa" analyze "$clip" --log "$log" --threads "$threads" --quiet)
  transform_linear=$(per_frame ffmpeg -nostdin -v error -threads "$threads" -i "$clip" \
    -vf "vidstabtransform=input=$trf:interpol=bilinear" -y "$work/vs.y4m")
  transform_cubic=$(per_frame ffmpeg -nostdin -v error -threads "$threads" -i "$clip" \
    -vf "vidstabtransform=input=$trf:interpol=bicubic" -y "$work/vs.y4m")
  render_linear=$(per_frame "$build/quiventa" render "$clip" "$work/q.y4m" -y --log "$log" \
    --threads "$threads" --quiet --set resampling=1)
  render_cubic=$(per_frame "$build/quiventa" render "$clip" "$work/q.y4m" -y --log "$log" \
    --threads "$threads" --quiet --set resampling=2)
  pass1=$(in_process "BM_Pass1Frame/w:$w/h:$h/threads:$threads/process_time/real_time")
  cubic=$(in_process \
    "BM_Pass2Frame/w:$w/h:$h/resampling:2/neighbours:0/threads:$threads/process_time/real_time")
  linear=$(in_process \
    "BM_Pass2Frame/w:$w/h:$h/resampling:1/neighbours:0/threads:$threads/process_time/real_time")

  echo
  echo "$size, ms per frame, our filter in process (benchmark): pass 1 $pass1," \
    "pass 2 bicubic $cubic, bilinear $linear"
  printf "%-36s %9s %9s %9s %9s %7s\n" "whole commands" "vs wall" "vs cpu" "q wall" "q cpu" \
    "ratio"
  row "decode alone (ffmpeg, both columns)" "$decode" "$decode"
  row "decode + RGB conversion (ffmpeg)" "$convert" "$convert"
  row "pass 1 (detect / analyze)" "$detect" "$analyze"
  row "pass 2 bilinear, to y4m" "$transform_linear" "$render_linear"
  row "pass 2 bicubic, to y4m" "$transform_cubic" "$render_cubic"
done
