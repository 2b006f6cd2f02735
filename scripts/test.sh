#!/usr/bin/env bash
# Sets up a fresh Debian 12 machine and runs the whole test suite:
#   0. the sources' layout (clang-format),
#   1. a plain build (GCC) with every test and benchmark, and its Debian package checked,
#   2. the same suite under AddressSanitizer + UndefinedBehaviorSanitizer,
#   3. the concurrency tests, the window's included, under ThreadSanitizer,
#   4. each fuzz target for a short, bounded time (clang's libFuzzer).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
bash scripts/install-deps.sh

jobs=$(nproc)
export QT_QPA_PLATFORM=offscreen
export CTEST_OUTPUT_ON_FAILURE=1

configure_and_build() {  # dir, extra cmake args...
  local dir=$1; shift
  cmake -S "$root" -B "$root/$dir" -G Ninja "$@" >/dev/null
  cmake --build "$root/$dir" -j "$jobs"
}

echo "== source layout"
bash scripts/check-format.sh

echo "== plain build and tests"
configure_and_build build/release -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=ON -DQUILLET_BUILD_BENCH=ON \
  -DQUILLET_WERROR=ON
ctest --test-dir build/release -j "$jobs" --timeout 600

echo "== the Debian package, installed into a throw-away root"
bash scripts/package-check.sh build/release

echo "== AddressSanitizer + UndefinedBehaviorSanitizer"
configure_and_build build/asan -DCMAKE_BUILD_TYPE=Debug -DQUILLET_SANITIZE=address -DBUILD_TESTING=ON \
  -DQUILLET_BUILD_BENCH=OFF -DQUILLET_WERROR=ON
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  LSAN_OPTIONS=suppressions=$root/tests/lsan.supp \
  ctest --test-dir build/asan -j "$jobs" --timeout 900

echo "== ThreadSanitizer (concurrency tests)"
configure_and_build build/tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUILLET_SANITIZE=thread -DBUILD_TESTING=ON \
  -DQUILLET_BUILD_BENCH=OFF -DQUILLET_WERROR=ON
TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1:suppressions=$root/tests/tsan.supp \
  ctest --test-dir build/tsan -L concurrency -j "$jobs" --timeout 900

echo "== fuzz targets (short runs)"
configure_and_build build/fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
  -DQUILLET_FUZZ=ON -DQUILLET_BUILD_UI=OFF -DQUILLET_BUILD_SIM=OFF -DBUILD_TESTING=OFF -DQUILLET_BUILD_BENCH=OFF
bash scripts/run-fuzzers.sh build/fuzz "${QUILLET_FUZZ_SECONDS:-20}"

echo "== all tests passed"
