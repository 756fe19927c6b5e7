#!/usr/bin/env bash
# The main job on a sample: installs what is needed, builds Quiventa, makes a
# shaky clip with known motion, stabilises it, measures the shake that is
# left, and writes a side-by-side video (input left, output right).
# Results go to demo/ in the repository.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$root/build-demo"
out="$root/demo"
bash "$root/tools/install_packages.sh"
# The side-by-side video is put together by FFmpeg's command-line tool.
if ! command -v ffmpeg >/dev/null; then
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends ffmpeg
fi

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DQV_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" -j "$(nproc)"
mkdir -p "$out"

echo "== the filter module"
nm -D --defined-only "$build/Quiventa.vdf" | awk '{print "  exports " $3}'
echo "  default settings:"
"$build/quiventa" config | sed 's/^/    /'

echo "== a shaky sample clip (640x360, 150 frames, known motion)"
"$build/tools/quiventa-clipgen" "$out/shaky.y4m" --variant shaky --size 640x360 \
  --frames 150 --chroma 420

echo "== stabilise"
"$build/quiventa" stabilize "$out/shaky.y4m" "$out/stabilized.mp4" -y --log "$out/shaky.log"

echo "== shake left (pass 1 on the stabilised video)"
"$build/quiventa" analyze "$out/stabilized.mp4" --log "$out/stabilized.log" --quiet
"$build/tools/quiventa-jitter" "$out/shaky.log" "$out/stabilized.log"

echo "== side by side: $out/side_by_side.mp4 (input left, output right)"
ffmpeg -loglevel error -y -i "$out/shaky.y4m" -i "$out/stabilized.mp4" \
  -filter_complex "[0:v][1:v]hstack=inputs=2,format=yuv420p[v]" -map "[v]" \
  -c:v libx264 -crf 20 "$out/side_by_side.mp4"
echo "Done: $out/side_by_side.mp4"
