#!/usr/bin/env bash
# Installs what the tests need, then builds Quiventa and runs every test:
#   1. the README's "Building by hand" as written (Release, then the suite),
#   2. the whole suite under AddressSanitizer + UndefinedBehaviorSanitizer,
#      with warnings as errors and the benchmarks built,
#   3. the suites labelled "threaded" under ThreadSanitizer, warnings as errors,
#   4. each libFuzzer harness (tests/fuzz) briefly,
#   5. the Windows module, cross-built with mingw-w64 and checked under wine64
#      against the Release build of step 1.
# Run from anywhere; build trees go to build-test*/ in the repository, so a
# developer's own build/ stays as it is.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
jobs="$(nproc)"
bash "$root/tools/install_packages.sh"
cd "$root"
started=$SECONDS
phase=$SECONDS
# Prints how long the phase took, so CI logs show where the time goes.
phaseDone() {
  echo "-- $1 took $(((SECONDS - phase) / 60)) min $(((SECONDS - phase) % 60)) s"
  phase=$SECONDS
}

echo "== Release build as the README's \"Building by hand\" says"
cmake -S . -B build-test -DCMAKE_BUILD_TYPE=Release
cmake --build build-test -j"$jobs"
ctest --test-dir build-test --output-on-failure -j"$jobs"
phaseDone "the Release build and its suite"

echo "== AddressSanitizer + UndefinedBehaviorSanitizer, warnings as errors, benchmarks"
cmake -S . -B build-test-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQV_WERROR=ON \
  -DQV_SANITIZE=address,undefined -DQV_BUILD_BENCH=ON >/dev/null
cmake --build build-test-asan -j"$jobs"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir build-test-asan --output-on-failure -j"$jobs"
phaseDone "the sanitized build and its suite"

echo "== ThreadSanitizer over the threaded suites, warnings as errors"
cmake -S . -B build-test-tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQV_WERROR=ON \
  -DQV_SANITIZE=thread -DQV_BUILD_HOST=OFF >/dev/null
cmake --build build-test-tsan -j"$jobs" --target quiventa_threaded_tests
TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 \
  ctest --test-dir build-test-tsan --output-on-failure -j"$jobs" -L threaded
phaseDone "the ThreadSanitizer build and the threaded suites"

echo "== libFuzzer harnesses, 25 s each"
bash "$root/tools/run_fuzzers.sh" 25
phaseDone "the fuzzing harnesses"

echo "== the Windows module: mingw-w64 builds with warnings as errors, checked under wine64"
QV_WINDOWS_CMAKE_OPTIONS=-DQV_WERROR=ON bash "$root/tools/build_windows.sh"
bash "$root/tools/run_wine_checks.sh" build-test
phaseDone "the Windows builds and the Wine checks"

echo "All test runs passed in $(((SECONDS - started) / 60)) min $(((SECONDS - started) % 60)) s."

# The test budget: non-blank lines of the sources under tests/ against those
# of everything else (build trees aside). Reported, not enforced: a suite
# that grows past about 40 % should be trimmed by hand.
lines() { find "$@" -type f \( -name '*.cpp' -o -name '*.h' -o -name '*.txt' -o -name '*.cmake' \
  -o -name '*.sh' -o -name '*.py' \) -print0 | xargs -0 grep -ahv '^[[:space:]]*$' | wc -l; }
testLines=$(lines tests)
otherLines=$(lines . -path ./tests -prune -o -path './build*' -prune -o -path ./.git -prune -o)
echo "Test lines: $testLines of $otherLines other lines ($((100 * testLines / otherLines))%)"
