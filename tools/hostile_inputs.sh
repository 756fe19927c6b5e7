#!/usr/bin/env bash
# What a careless user or an attacker gives the host, run against a build made
# with AddressSanitizer + UndefinedBehaviorSanitizer:
#   cmake -S . -B build-asan -DQV_SANITIZE=address,undefined
#   cmake --build build-asan -j2 --target quiventa QuiventaModule quiventa-clipgen
#   tools/hostile_inputs.sh [BUILD_DIR]        (default build-asan)
# Each case expects an exit status and, where the command fails, a part of its
# message. At the end every file that existed before a case and was not its
# intended output must be byte-identical (sha256), no hidden temporary may be
# left, and no sanitizer may have reported anything. Exit status 1 on any
# deviation. Needs Debian's ffmpeg program to make the media cases' inputs.
set -uo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$(cd "${1:-$root/build-asan}" && pwd)"
quiventa="$build/quiventa"
clipgen="$build/tools/quiventa-clipgen"
for program in "$quiventa" "$clipgen"; do
  [ -x "$program" ] || { echo "hostile_inputs: $program is missing; build it first" >&2; exit 2; }
done
command -v ffmpeg >/dev/null || { echo "hostile_inputs: needs ffmpeg (apt-get install ffmpeg)" >&2; exit 2; }

work="$(mktemp -d "${TMPDIR:-/tmp}/qv-hostile-XXXXXX")"
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/san" "$work/err"
cd "$work" || exit 2
# Reports go to files or standard error, depending on which runtime makes
# them; both are looked at, and a status of its own keeps a report from
# passing for an expected failure.
export ASAN_OPTIONS="detect_leaks=1:exitcode=99:log_path=$work/san/asan"
export UBSAN_OPTIONS="print_stacktrace=1:exitcode=99:log_path=$work/san/ubsan"
export NUMBER_OF_PROCESSORS=2
failures=0
cases=0
# The harshest user: one who lets every existing output be replaced.
qy="$work/quiventa-y"
printf '#!/bin/sh\nexec "%s" "$@" -y\n' "$quiventa" >"$qy"
chmod +x "$qy"

fail() {
  echo "FAIL $*"
  failures=$((failures + 1))
}

sanitizerSpoke() { grep -qE "runtime error:|Sanitizer" "err/$1"; }

# check NAME STATUS TEXT COMMAND...: the command, with no terminal and a
# two-minute limit (a hang is a failure), exits with STATUS and its standard
# error contains TEXT.
check() {
  local name="$1" status="$2" text="$3"
  shift 3
  cases=$((cases + 1))
  timeout -k 5 120 "$@" </dev/null >/dev/null 2>"err/$name"
  local actual=$?
  if sanitizerSpoke "$name"; then
    fail "$name: sanitizer report: $(grep -m3 -E "runtime error:|Sanitizer" "err/$name")"
  elif [ "$actual" != "$status" ]; then
    fail "$name: exit $actual, expected $status: $(head -c 300 "err/$name")"
  elif [ -n "$text" ] && ! grep -qF -- "$text" "err/$name"; then
    fail "$name: message lacks '$text': $(head -c 300 "err/$name")"
  else
    echo "ok   $name ($actual): $(grep -m1 -F -- "$text" "err/$name" | head -c 150)"
  fi
}

# signal NAME SIGNAL SECONDS STATUS COMMAND...: sends SIGNAL after SECONDS
# (twice, 0.3 s apart, for a signal written SIG+SIG) and expects STATUS.
signal() {
  local name="$1" sig="$2" delay="$3" status="$4"
  shift 4
  cases=$((cases + 1))
  "$@" </dev/null >/dev/null 2>"err/$name" &
  local pid=$!
  sleep "$delay"
  kill -s "${sig%%+*}" "$pid"
  if [ "$sig" != "${sig%%+*}" ]; then sleep 0.3 && kill -s "${sig%%+*}" "$pid"; fi
  local waited=0
  while kill -0 "$pid" 2>/dev/null && [ "$waited" -lt 600 ]; do sleep 0.1 && waited=$((waited + 1)); done
  if kill -0 "$pid" 2>/dev/null; then
    kill -KILL "$pid"
    fail "$name: still running a minute after the signal"
  fi
  wait "$pid"
  local actual=$?
  if sanitizerSpoke "$name"; then
    fail "$name: sanitizer report: $(grep -m3 -E "runtime error:|Sanitizer" "err/$name")"
  elif [ "$actual" != "$status" ]; then
    fail "$name: exit $actual, expected $status: $(head -c 300 "err/$name")"
  else
    echo "ok   $name ($actual): $(tail -n 1 "err/$name" | head -c 150)"
  fi
}

log_lines() {  # log_lines FIRST LAST [PAN]: one plain pass-1 line per label
  awk -v a="$1" -v b="$2" -v pan="${3:-0.50}" 'BEGIN {
    step = a <= b ? 1 : -1
    for (i = a; i != b + step; i += step) printf "%7d\t%7s\t  -0.25\t  0.010\t1.00000\r\n", i, pan }'
}

echo "== inputs"
ff() { ffmpeg -nostdin -loglevel error -y "$@" || { echo "hostile_inputs: ffmpeg $* failed" >&2; exit 2; }; }
"$clipgen" shaky.y4m --variant shaky --size 320x240 --frames 60 --seed 7 >/dev/null || exit 2
"$clipgen" long.y4m --variant shaky --size 320x240 --frames 400 --seed 8 >/dev/null || exit 2
ff -i shaky.y4m -f lavfi -i "sine=frequency=440:duration=2.4" -shortest -c:v libx264 -c:a aac clip.mp4
ff -i shaky.y4m -frames:v 30 -c:v libx264 other.mp4
ff -i long.y4m -c:v libx264 -preset ultrafast long.mp4
ff -f lavfi -i "testsrc2=size=320x240:rate=25" -f lavfi -i sine -t 0.4 -c:v libx264 -c:a flac flac.mkv
ff -f lavfi -i "testsrc2=size=320x240:rate=25" -f lavfi -i sine -t 0.4 -c:v libx264 -c:a libopus \
  opus.mkv
ff -f lavfi -i "testsrc2=size=320x240:rate=25" -f lavfi -i "testsrc=size=160x120:rate=25" \
  -frames:v 10 -map 0 -map 1 -c:v libx264 two.mkv
ff -f lavfi -i "testsrc2=size=320x240:rate=25" -frames:v 6 -c:v mjpeg big.mkv
ff -f lavfi -i "testsrc2=size=160x120:rate=25" -frames:v 6 -c:v mjpeg small.mkv
printf "file '%s'\nfile '%s'\n" "$work/big.mkv" "$work/small.mkv" >parts.txt
ff -f concat -safe 0 -i parts.txt -c copy sizes.mkv
ff -f lavfi -i "testsrc2=size=320x240" -frames:v 1 still.png
ff -f lavfi -i "testsrc2=size=32x24:rate=25" -frames:v 5 -c:v libx264 tiny.mp4
ff -f lavfi -i "testsrc2=size=1920x1080:rate=25" -frames:v 3 -c:v libx264 -preset ultrafast hd.mp4
mkdir -p frames seq
ff -i shaky.y4m -frames:v 12 frames/f%04d.png
ln -s frames link
touch notafolder
mkfifo fifo.log fifo.mp4
log_lines 1 59 >clip.mp4.log
cp clip.mp4.log earlier.log
log_lines 1 59 "1e300" >huge.log
log_lines 1 1000 "1e300" >huge1000.log
log_lines 100000 1 >descending.log
log_lines 1 59999 >planning.log
log_lines 1 59 >out.mp4.log
printf '      1\t0\t0\t0\t1\r      2\t0\t0\t0\t1\r' >cr.log
: >empty.log
echo precious >out.mp4
echo precious >out.mov
rm -f parts.txt big.mkv small.mkv

# Every file now present must stay as it is, except the named outputs below.
find . -path ./san -prune -o -path ./err -prune -o -type f -print0 | sort -z |
  xargs -0 sha256sum >err/before.sha256

echo "== 1 a log that cannot be written"
check log-dev-full 2 "/dev/full is a device" "$qy" stabilize clip.mp4 out.mp4 --log /dev/full
check log-dev-full-analyze 2 "/dev/full is a device" "$qy" analyze clip.mp4 --log /dev/full
check log-no-folder 1 "cannot write the log file" "$qy" stabilize clip.mp4 out.mp4 \
  --log notafolder/a.log
check log-no-folder-analyze 1 "cannot write the log file" "$qy" analyze clip.mp4 \
  --log notafolder/a.log
check log-full-disk 1 "of the 59 lines of the log" \
  bash -c "trap '' XFSZ; ulimit -f 1; exec '$qy' analyze clip.mp4 --log earlier.log"

echo "== 2 a wrong or broken log"
check render-no-own-log 1 "other.mp4.log does not exist" "$qy" render other.mp4 o.mp4
check render-shorter-log 1 "no motion for frame 60" "$qy" render long.mp4 o.mp4 \
  --log clip.mp4.log
check render-empty-log 1 "holds no plan" "$qy" render clip.mp4 o.mp4 --log empty.log
check render-cr-log 1 "holds no plan" "$qy" render clip.mp4 o.mp4 --log cr.log
check plan-empty-log 1 "holds no plan" "$qy" plan empty.log --size 320x240

echo "== 3 an interrupted stabilize keeps the earlier log"
signal stabilize-interrupted INT 2 130 "$qy" stabilize long.mp4 out.mp4 --log out.mp4.log

echo "== 4 implausible values, descending labels"
check plan-1e300 1 "pan x 1e+300" "$qy" plan huge.log --size 320x240
check plan-1e300-1000 1 "pan x 1e+300" "$qy" plan huge1000.log --size 320x240
check render-1e300 1 "pan x 1e+300" "$qy" render clip.mp4 o.mp4 --log huge.log
started=$SECONDS
check plan-descending 0 "" "$qy" plan descending.log --size 320x240
echo "     (100000 descending labels planned in $((SECONDS - started)) s)"

echo "== 5 signals without a terminal"
planning=("$qy" render clip.mp4 out.mp4 --log planning.log --force-log --set
  smoothHorizontalPanning=100000)
signal planning-sigint INT 3 130 "${planning[@]}"
signal planning-sigterm TERM 3 143 "${planning[@]}"
signal planning-sighup HUP 3 129 "${planning[@]}"
signal blocked-twice INT+INT 1 130 "$qy" analyze fifo.mp4 --preview seq/p%04d.png \
  --log blocked.log

echo "== 6 paths"
check sequence-spelled-differently 2 "same file" "$qy" render frames/f%04d.png \
  frames/f%004d.png --log clip.mp4.log --force-log
check sequence-through-symlink 2 "same file" "$qy" render frames/f%04d.png \
  link/f%04d.png --log clip.mp4.log --force-log
check sequence-frame-1000 2 "same file" "$qy" analyze link/f%d.png --preview \
  frames/f%04d.png --log a.log
check plan-fifo 2 "is a FIFO" "$qy" plan fifo.log --size 320x240
check analyze-fifo 2 "is a FIFO" "$qy" analyze clip.mp4 --log fifo.log
check plan-dev-zero 2 "is a device" "$qy" plan /dev/zero --size 320x240
check log-bar 2 "|" "$qy" analyze clip.mp4 --log "a|b.log"
check log-quote 2 "cannot contain" "$qy" analyze clip.mp4 --log 'a"b.log'
check output-bar 2 "give --log" "$qy" stabilize clip.mp4 "o|x.mp4"
check plot-into-fifo 2 "the plot fifo.log is a FIFO" "$qy" plan clip.mp4.log --size 320x240 \
  --plot fifo.log
check output-fifo 2 "OUTPUT fifo.mp4 is a FIFO" "$qy" render clip.mp4 fifo.mp4
check output-exists-no-terminal 2 "already exists" "$quiventa" render clip.mp4 out.mp4
check plot-over-log 2 "same file" "$qy" plan clip.mp4.log --size 320x240 --plot clip.mp4.log
check stabilize-fifo-input 2 "read once per pass" "$qy" stabilize fifo.mp4 o.mp4
check log-is-input 2 "same file" "$qy" analyze clip.mp4 --log clip.mp4
check rerun-sequence-long 0 "" "$qy" stabilize clip.mp4 seq/o%04d.png --log seq.log
check rerun-sequence-short 0 "" "$qy" stabilize other.mp4 seq/o%04d.png --log seq.log
count="$(find seq -name 'o*.png' | wc -l)"
[ "$count" = 30 ] || fail "rerun-sequence: $count frames, expected the second run's 30"

echo "== 7 resource limits"
check processors 0 "NUMBER_OF_PROCESSORS=100000 is more than" env NUMBER_OF_PROCESSORS=100000 \
  "$quiventa" config
check threads 2 "--threads" "$qy" render clip.mp4 o.mp4 --threads 100000
check edge-width 2 "edgeTransitionWidth" "$qy" render clip.mp4 o.mp4 \
  --set edgeTransitionWidth=2147483647
check destination-size 2 "this machine has" "$qy" render clip.mp4 o.mp4 \
  --set sameDestAsSource=0 --set destWidth=32768 --set destHeight=32768
check destination-too-large 2 "destWidth" "$qy" render clip.mp4 o.mp4 \
  --set sameDestAsSource=0 --set destWidth=32769 --set destHeight=100
check start-far-past-end 2 "--start 1e300: give seconds" "$qy" render clip.mp4 o.mp4 --start 1e300
check held-frames 2 "this machine has" "$qy" render hd.mp4 o.mp4 --force-log \
  --log clip.mp4.log --set useFutureFrames=1 --set futureFrames=10000 --set previousFrames=10000

echo "== 8 media"
check flac-into-mp4 0 "(flac) is re-encoded as aac" "$qy" stabilize flac.mkv flac.mp4
check flac-into-mov 0 "(flac) is re-encoded as aac" "$qy" stabilize flac.mkv flac.mov
check opus-into-mov 0 "(opus) is re-encoded as aac" "$qy" stabilize opus.mkv opus.mov
check two-video-streams 0 "has 2 video streams" "$qy" stabilize two.mkv two.mp4
check size-changes 1 "changes its picture size" "$qy" stabilize sizes.mkv sizes.mp4
check still-image 1 "single picture" "$qy" stabilize still.png still.mp4
for output in flac.mp4 flac.mov opus.mov; do
  codec="$(ffprobe -v error -select_streams a -show_entries stream=codec_name -of csv=p=0 "$output")"
  [ "$codec" = aac ] || fail "$output: audio is '$codec', expected aac"
done

echo "== 9 the module"
check tiny-clip 2 "at least" "$qy" stabilize tiny.mp4 tiny-out.mp4

echo "== a normal clip"
check stabilize-normal 0 "" "$qy" stabilize clip.mp4 stable.mp4
frames="$(ffprobe -v error -count_frames -select_streams v -show_entries stream=nb_read_frames \
  -of csv=p=0 stable.mp4)"
[ "$frames" = 60 ] || fail "stabilize-normal: $frames frames, expected 60"

echo "== files"
if ! sha256sum --quiet -c err/before.sha256; then fail "an existing file changed"; fi
hidden="$(find . -name '.*' ! -name . | head)"
[ -z "$hidden" ] || fail "temporaries left behind: $hidden"
if compgen -G "$work/san/*" >/dev/null; then
  fail "sanitizer reports:"
  head -n 40 "$work"/san/*
fi
echo "$cases cases, $failures failures"
[ "$failures" = 0 ]
