#!/usr/bin/env bash
# Builds the libFuzzer harnesses of tests/fuzz with clang-14 and runs each,
# at the lowest priority, for SECONDS (default 1800) or RUNS executions
# (default 10 million), whichever comes first:
#   tools/run_fuzzers.sh [SECONDS [RUNS]]
# They start from the committed seeds (tests/fuzz/corpus/NAME) and keep what
# they learn in build-fuzz/corpus/NAME; a finding (crash-*, leak-*,
# timeout-*) lands in build-fuzz/findings/ and makes the exit status 1:
# reproduce it with the harness and the file, fix it, and keep the input as
# a regression test of the suite it belongs to.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
seconds="${1:-1800}"
runs="${2:-10000000}"
build="$root/build-fuzz"

CC=clang-14 CXX=clang++-14 cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DQV_FUZZ=ON -DQV_BUILD_TESTS=OFF -DQV_BUILD_HOST=OFF >/dev/null
cmake --build "$build" -j "$(nproc)" \
  --target quiventa_fuzz_config quiventa_fuzz_log quiventa_fuzz_settings >/dev/null

status=0
mkdir -p "$build/findings"
for name in config log settings; do
  mkdir -p "$build/corpus/$name"
  report="$build/fuzz-$name.txt"
  if nice -n 19 "$build/tests/fuzz/quiventa_fuzz_$name" -max_total_time="$seconds" -runs="$runs" \
    -print_final_stats=1 -artifact_prefix="$build/findings/$name-" \
    "$build/corpus/$name" "$root/tests/fuzz/corpus/$name" >"$report" 2>&1; then
    result="no finding"
  else
    result="FINDING (see $report and $build/findings/)"
    status=1
  fi
  executions="$(sed -n 's/^stat::number_of_executed_units: *//p' "$report")"
  echo "fuzz $name: ${executions:-?} executions, $result"
done
exit "$status"
