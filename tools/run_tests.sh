#!/usr/bin/env bash
# Builds Quiventa and runs every test: the plain build, the whole suite under
# AddressSanitizer + UndefinedBehaviorSanitizer, and the threaded code under
# ThreadSanitizer. Run from anywhere; build trees go to build-test*/ in the
# repository.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
jobs="$(nproc)"
bash "$root/tools/install_packages.sh"

configure_and_build() {
  local dir="$1"
  shift
  cmake -S "$root" -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQV_BUILD_TESTS=ON "$@" >/dev/null
  cmake --build "$dir" -j "$jobs"
}

echo "== plain build"
configure_and_build "$root/build-test"
(cd "$root/build-test" && ctest --output-on-failure -j "$jobs")

echo "== AddressSanitizer + UndefinedBehaviorSanitizer"
configure_and_build "$root/build-test-asan" -DQV_SANITIZE=address,undefined
(cd "$root/build-test-asan" &&
  ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
    ctest --output-on-failure -j "$jobs")

echo "== ThreadSanitizer (threaded code)"
configure_and_build "$root/build-test-tsan" -DQV_SANITIZE=thread -DQV_BUILD_HOST=OFF
# Suites that start worker threads carry "Thread" in their names.
(cd "$root/build-test-tsan" &&
  TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 \
    ./tests/quiventa_tests --gtest_filter='*Thread*')

echo "All test runs passed."
