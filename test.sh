#!/usr/bin/env bash
# Sets everything up, builds every configuration and runs every test:
# the suites under AddressSanitizer + UndefinedBehaviorSanitizer, the history and
# capture tests under ThreadSanitizer, a bounded fuzzing run of the settings
# reader, the Windows build under Wine, the unit, ui and Linux suites built in a
# fresh Debian 13 system, and last the main build with every suite.
# The last line is CTest's summary of the main run.
set -euo pipefail
cd "$(dirname "$0")"
scripts/deps.sh --tests --windows
jobs=2
fuzz_seconds=${WAVELIFT_FUZZ_SECONDS:-30}

configure() {  # build folder, CMake arguments...
  local dir=$1; shift
  cmake -S . -B "$dir" -G Ninja "$@" >/dev/null
}

echo "== AddressSanitizer + UndefinedBehaviorSanitizer"
configure build/asan -DCMAKE_BUILD_TYPE=Debug -DWAVELIFT_SANITIZE=address -DWAVELIFT_BUILD_BENCH=OFF
cmake --build build/asan -j"$jobs"
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir build/asan -L 'unit|ui|linux' --output-on-failure -j"$jobs"

echo "== ThreadSanitizer: history and capture"
configure build/tsan -DCMAKE_BUILD_TYPE=Debug -DWAVELIFT_SANITIZE=thread -DWAVELIFT_BUILD_BENCH=OFF -DWAVELIFT_BUILD_PROGRAM=OFF
cmake --build build/tsan -j"$jobs" --target wavelift_unit_tests wavelift_linux_tests
TSAN_OPTIONS=halt_on_error=1 ctest --test-dir build/tsan -R 'AudioHistory|Capture' --output-on-failure -j"$jobs"

echo "== Fuzzing the settings reader for ${fuzz_seconds} s"
CC=clang CXX=clang++ cmake -S tests/fuzz -B build/fuzz -G Ninja >/dev/null
cmake --build build/fuzz -j"$jobs"
# New inputs go to a scratch folder; the seed corpus in the tree is only read.
rm -rf build/fuzz/corpus-run && mkdir -p build/fuzz/corpus-run
build/fuzz/settings_fuzz -max_total_time="$fuzz_seconds" -timeout=10 build/fuzz/corpus-run tests/fuzz/corpus \
  > build/fuzz/last-run.log 2>&1 || { tail -n 40 build/fuzz/last-run.log; exit 1; }
tail -n 1 build/fuzz/last-run.log

echo "== Windows build under Wine"
scripts/test_windows.sh

echo "== Debian 13: dependencies, build and suites in a fresh system"
scripts/test_debian13.sh

echo "== Main build and every suite"
configure build/linux -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build/linux -j"$jobs"
ctest --test-dir build/linux --output-on-failure -j"$jobs"
