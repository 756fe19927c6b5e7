#!/usr/bin/env bash
# Builds the Windows module with Debian's mingw-w64: the shipped 32-bit
# Quiventa.vdf (build-windows/i686) and the same sources for 64-bit Windows
# (build-windows/x86_64), whose module and test programs run under wine64.
# Usage: bash tools/build_windows.sh [i686|x86_64 ...]   (default: both)
# Extra CMake options can be passed in QV_WINDOWS_CMAKE_OPTIONS.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
targets=("$@")
if ((${#targets[@]} == 0)); then targets=(i686 x86_64); fi
launcher=()
if command -v ccache >/dev/null; then
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi
for target in "${targets[@]}"; do
  case "$target" in
    i686 | x86_64) ;;
    *) echo "build_windows.sh: unknown target '$target' (i686 or x86_64)" >&2; exit 2 ;;
  esac
  toolchain="$root/cmake/toolchains/mingw-w64-$target.cmake"
  compiler="$target-w64-mingw32-g++-posix"
  if ! command -v "$compiler" >/dev/null; then
    echo "build_windows.sh: $compiler not found; install g++-mingw-w64-${target//_/-}-posix" >&2
    exit 1
  fi
  build="$root/build-windows/$target"
  echo "== $target: $build"
  # shellcheck disable=SC2086
  cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DCMAKE_BUILD_TYPE=Release "${launcher[@]}" ${QV_WINDOWS_CMAKE_OPTIONS:-} >/dev/null
  cmake --build "$build" -j"${QV_JOBS:-2}"
done
