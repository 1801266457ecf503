#!/usr/bin/env bash
# Sets everything up, builds every configuration and runs every test. The last
# line is CTest's summary of the main suite.
set -euo pipefail
cd "$(dirname "$0")"
scripts/deps.sh
jobs=2

configure() {  # folder, extra CMake arguments...
  local dir=$1; shift
  cmake -S . -B "$dir" -G Ninja "$@" >/dev/null
}

echo "== AddressSanitizer + UndefinedBehaviorSanitizer"
configure build/asan -DCMAKE_BUILD_TYPE=Debug -DWAVELIFT_SANITIZE=address -DWAVELIFT_BUILD_BENCH=OFF -DWAVELIFT_BUILD_PROGRAM=OFF
cmake --build build/asan -j"$jobs"
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir build/asan -L 'unit|ui|linux' --output-on-failure -j"$jobs"

echo "== ThreadSanitizer (history and capture)"
configure build/tsan -DCMAKE_BUILD_TYPE=Debug -DWAVELIFT_SANITIZE=thread -DWAVELIFT_BUILD_BENCH=OFF -DWAVELIFT_BUILD_PROGRAM=OFF
cmake --build build/tsan -j"$jobs"
TSAN_OPTIONS=halt_on_error=1 ctest --test-dir build/tsan -R 'AudioHistory|Capture' --output-on-failure -j"$jobs"

echo "== Main build, benchmarks smoke run and every suite"
configure build/linux -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build/linux -j"$jobs"
ctest --test-dir build/linux --output-on-failure -j"$jobs"
