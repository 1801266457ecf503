#!/usr/bin/env bash
# Sets everything up, builds every configuration once and runs every test:
# the suites under AddressSanitizer + UndefinedBehaviorSanitizer, the history and
# capture tests under ThreadSanitizer, a bounded fuzzing run of the settings
# reader, the Windows build under Wine, the unit, ui and Linux suites built in a
# fresh Debian 13 system, and last the optimised build with every suite. Each
# stage prints its wall time; the last lines list them all.
# Each configure states every option the stage relies on, so a folder
# configured earlier by hand or by another script is set back.
set -euo pipefail
cd "$(dirname "$0")"
scripts/deps.sh --tests --windows
jobs=2
fuzz_seconds=${WAVELIFT_FUZZ_SECONDS:-30}
stage_times=()

# A compiler cache outside the clone: a second run, or a fresh clone in any
# folder, compiles only what changed.
export CCACHE_BASEDIR=$PWD
# Debug information would otherwise tie every result to the folder it was made in.
export CCACHE_NOHASHDIR=1
launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)

configure() {  # build folder, CMake arguments...
  local dir=$1; shift
  cmake -S . -B "$dir" -G Ninja "${launcher[@]}" "$@" >/dev/null
}

# A stage finding no tests fails instead of passing.
run_ctest() {
  ctest --no-tests=error --output-on-failure -j"$jobs" "$@"
}

run_stage() {  # title, command...
  local title=$1; shift
  echo "== $title"
  local began=$SECONDS
  "$@"
  local took=$((SECONDS - began))
  stage_times+=("$(printf '%4d:%02d  %s' $((took / 60)) $((took % 60)) "$title")")
  printf -- '-- %s: %d:%02d\n' "$title" $((took / 60)) $((took % 60))
}

asan_stage() {
  # The heavy differential and randomised cases run at a reduced size here and
  # at full size in the optimised build.
  configure build/asan -DCMAKE_BUILD_TYPE=Debug -DWAVELIFT_SANITIZE=address \
    -DWAVELIFT_BUILD_PROGRAM=ON -DWAVELIFT_BUILD_TESTS=ON -DWAVELIFT_BUILD_BENCH=OFF
  cmake --build build/asan -j"$jobs"
  ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
    run_ctest --test-dir build/asan -L 'unit|ui|linux'
}

tsan_stage() {
  configure build/tsan -DCMAKE_BUILD_TYPE=Debug -DWAVELIFT_SANITIZE=thread \
    -DWAVELIFT_BUILD_PROGRAM=OFF -DWAVELIFT_BUILD_TESTS=ON -DWAVELIFT_BUILD_BENCH=OFF
  cmake --build build/tsan -j"$jobs" --target wavelift_unit_tests wavelift_linux_tests
  TSAN_OPTIONS=halt_on_error=1 run_ctest --test-dir build/tsan -R 'AudioHistory|Capture'
}

fuzz_stage() {
  CC=clang CXX=clang++ cmake -S tests/fuzz -B build/fuzz -G Ninja "${launcher[@]}" -DWAVELIFT_BUILD_FUZZ=ON >/dev/null
  cmake --build build/fuzz -j"$jobs"
  # New inputs go to a scratch folder; the seed corpus in the tree is only read.
  rm -rf build/fuzz/corpus-run && mkdir -p build/fuzz/corpus-run
  build/fuzz/settings_fuzz -max_total_time="$fuzz_seconds" -timeout=10 build/fuzz/corpus-run tests/fuzz/corpus \
    > build/fuzz/last-run.log 2>&1 || { tail -n 40 build/fuzz/last-run.log; return 1; }
  tail -n 1 build/fuzz/last-run.log
}

main_stage() {
  configure build/linux -DCMAKE_BUILD_TYPE=RelWithDebInfo -DWAVELIFT_SANITIZE= \
    -DWAVELIFT_BUILD_PROGRAM=ON -DWAVELIFT_BUILD_TESTS=ON -DWAVELIFT_BUILD_BENCH=ON
  cmake --build build/linux -j"$jobs"
  run_ctest --test-dir build/linux
}

run_stage "AddressSanitizer + UndefinedBehaviorSanitizer" asan_stage
run_stage "ThreadSanitizer: history and capture" tsan_stage
run_stage "Fuzzing the settings reader for ${fuzz_seconds} s" fuzz_stage
run_stage "Windows build under Wine" scripts/test_windows.sh
run_stage "Debian 13: dependencies, build and suites in a fresh system" scripts/test_debian13.sh
run_stage "Main build and every suite" main_stage

echo "== Stage times (wall)"
printf '%s\n' "${stage_times[@]}"
