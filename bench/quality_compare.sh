#!/usr/bin/env bash
# Quality comparison: quiventa (the filter's defaults and each profile) and
# FFmpeg's vidstab (its defaults and smoothing=30) stabilise generated clips
# of several kinds of footage, and quiventa-quality measures every output the
# same way, against the clip's true camera path (tools/quality/shake_measure.h):
# the shake left (output / input, the worse of x and y; lower is better), its
# fast part alone ("jitter", periods up to about 10 frames), the crop (mean
# linear zoom-in, percent) and the black border (percent of the output's
# pixels).
# "new" counts the new scenes in quiventa's pass-1 log (a kind without a cut
# should have none; the cut clip one).
#
# Usage: bench/quality_compare.sh [options]
#   --build DIR        build folder with quiventa, Quiventa.vdf and the tools (default build)
#   --work DIR         keep clips, logs and results there and reuse clips found there
#   --size WxH         clip size (default 640x360)
#   --frames N         clip length (default 150)
#   --kinds "A B ..."  footage kinds (default: all, see KINDS below)
#   --runs "A B ..."   stabiliser runs (default: all, see RUNS below)
#   --kind NAME=ARGS   an extra kind of footage from these clip generator options
#   --run NAME=ARGS    an extra quiventa run with these options, e.g.
#                      --run 'mem0=--set rememberDiscardedAreas=0' (repeatable)
#   --jobs N           runs in parallel (default 2)
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$root/build"
work=""
size="640x360"
frames=150
jobs=2

# Footage kinds: name and clip generator options.
declare -A KINDS=(
  # a still camera with 3 px of shake (and 0.15 degrees, 0.2 % zoom)
  [shake]="--variant shaky"
  # a still camera with 12 px, 0.6 degrees and 0.6 % zoom of shake
  [wild]="--variant shaky --jitter 12 --jitter-rotation 0.6 --jitter-zoom 0.006"
  # a slow pan with shake
  [pan]="--variant shaky --pan 0.8,0.3"
  # a slow roll and zoom with shake in pan, rotation and zoom
  [rotzoom]="--variant rotzoom --jitter 2 --jitter-rotation 0.3 --jitter-zoom 0.004"
  # nine objects moving on their own over about 15 % of the picture
  [objects]="--variant patches --patches 9"
  # a cut to another scene in the middle
  [cut]="--variant cut"
  # a fifth of full brightness
  [dark]="--variant dark"
  # just bright enough for the default brightness limit in parts of the picture
  [dim]="--variant dark --brightness 0.23"
  # a rolling shutter read over a whole frame period, accelerating pan and shake
  [rolling]="--variant rolling --readout 1 --jitter 3"
)
kindOrder="shake wild pan rotzoom objects cut dark dim rolling"

# Stabiliser runs: quiventa runs take quiventa options; vidstab runs take
# vidstabtransform options.
declare -A RUNS=(
  [defaults]="quiventa:"
  [robust]="quiventa:--profile robust"
  [strong]="quiventa:--profile strong"
  [rolling]="quiventa:--profile rolling"
  [tripod]="quiventa:--profile tripod"
  [vidstab]="vidstab:"
  [vidstab30]="vidstab:smoothing=30"
)
runOrder="defaults robust strong rolling tripod vidstab vidstab30"

while (($#)); do
  case "$1" in
    --build) build="$2"; shift 2 ;;
    --work) work="$2"; shift 2 ;;
    --size) size="$2"; shift 2 ;;
    --frames) frames="$2"; shift 2 ;;
    --kinds) kindOrder="$2"; shift 2 ;;
    --runs) runOrder="$2"; shift 2 ;;
    --kind)
      name="${2%%=*}"
      KINDS[$name]="${2#*=}"
      kindOrder="$kindOrder $name"
      shift 2 ;;
    --run)
      name="${2%%=*}"
      RUNS[$name]="quiventa:${2#*=}"
      runOrder="$runOrder $name"
      shift 2 ;;
    --jobs) jobs="$2"; shift 2 ;;
    *) echo "quality_compare.sh: unknown option $1 (see the script's header)" >&2; exit 2 ;;
  esac
done
for tool in quiventa tools/quiventa-clipgen tools/quiventa-quality; do
  if [[ ! -x "$build/$tool" ]]; then
    echo "quality_compare.sh: $build/$tool is missing: build first" >&2
    exit 1
  fi
done
if [[ "$(ffmpeg -hide_banner -filters 2>/dev/null || true)" != *vidstabdetect* ]]; then
  echo "quality_compare.sh: ffmpeg with vidstab is needed (Debian's ffmpeg has it)" >&2
  exit 1
fi
for kind in $kindOrder; do
  [[ -n "${KINDS[$kind]:-}" ]] || { echo "quality_compare.sh: unknown kind $kind" >&2; exit 2; }
done
for run in $runOrder; do
  [[ -n "${RUNS[$run]:-}" ]] || { echo "quality_compare.sh: unknown run $run" >&2; exit 2; }
done
if [[ -z "$work" ]]; then
  work="$(mktemp -d)"
  trap 'rm -rf "$work"' EXIT
fi
mkdir -p "$work"
work="$(cd "$work" && pwd)"

clipOptions() { echo "${KINDS[$1]} --size $size --frames $frames"; }

# At most $jobs background jobs at a time.
running=0
throttle() {
  if ((++running >= jobs)); then
    wait -n || true
    ((running--))
  fi
}

# One clip per kind; the generator's options are part of the name, so a kept
# clip is only reused for the same footage.
declare -A CLIP
for kind in $kindOrder; do
  CLIP[$kind]="$work/$kind-$(clipOptions "$kind" | md5sum | cut -c1-8).y4m"
  if [[ ! -f "${CLIP[$kind]}" ]]; then
    # shellcheck disable=SC2046
    nice -n 10 "$build/tools/quiventa-clipgen" "${CLIP[$kind]}" $(clipOptions "$kind") \
      --threads 1 >/dev/null &
    throttle
  fi
done
wait

# One job: stabilise, measure, keep the measurement and the log, drop the video.
runOne() {
  local kind="$1" run="$2"
  local clip="${CLIP[$kind]}" runArgs="${RUNS[$run]}" base="$work/$kind.$run"
  local args="${runArgs#*:}" out="$work/$kind.$run.y4m"
  rm -f "$base.result"
  if [[ "${runArgs%%:*}" == quiventa ]]; then
    # shellcheck disable=SC2086
    nice -n 10 "$build/quiventa" stabilize "$clip" "$out" -y --log "$base.log" --quiet \
      --threads 1 $args
  else
    nice -n 10 ffmpeg -v error -y -threads 1 -i "$clip" -vf "vidstabdetect=result=$base.trf" \
      -f null -
    nice -n 10 ffmpeg -v error -y -threads 1 -i "$clip" \
      -vf "vidstabtransform=input=$base.trf${args:+:$args}" "$out"
  fi
  # shellcheck disable=SC2046
  nice -n 10 "$build/tools/quiventa-quality" "$clip" "$out" $(clipOptions "$kind") >"$base.result"
  rm -f "$out"
}

for kind in $kindOrder; do
  for run in $runOrder; do
    runOne "$kind" "$run" 2>"$work/$kind.$run.err" &
    throttle
  done
done
wait

value() { awk -v key="$2" '{ for (i = 1; i < NF; ++i) if ($i == key) print $(i + 1) }' "$1"; }

printf '%-8s %-10s %7s %7s %7s %7s %5s\n' footage run shake jitter crop% black% new
for kind in $kindOrder; do
  for run in $runOrder; do
    result="$work/$kind.$run.result"
    newScenes="-"
    if [[ -f "$work/$kind.$run.log" ]]; then
      newScenes=$(grep -c new_scene "$work/$kind.$run.log" || true)
    fi
    if [[ -s "$result" ]]; then
      printf '%-8s %-10s %7.3f %7.3f %7.2f %7.2f %5s\n' "$kind" "$run" \
        "$(value "$result" ratio)" "$(value "$result" jitter_ratio)" "$(value "$result" crop)" \
        "$(value "$result" black)" "$newScenes"
    else
      printf '%-8s %-10s %7s %7s %7s %7s %5s   %s\n' "$kind" "$run" failed - - - "$newScenes" \
        "$(head -c 200 "$work/$kind.$run.err" | tr '\n' ' ')"
    fi
  done
done
