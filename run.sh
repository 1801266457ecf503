#!/usr/bin/env bash
# Sets everything up, builds Wavelift and starts it. Builds in a folder of its
# own, so it never changes a folder the test run uses.
set -euo pipefail
cd "$(dirname "$0")"
scripts/deps.sh
cmake -S . -B build/run -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DWAVELIFT_SANITIZE= \
  -DWAVELIFT_BUILD_PROGRAM=ON -DWAVELIFT_BUILD_TESTS=OFF -DWAVELIFT_BUILD_BENCH=OFF >/dev/null
cmake --build build/run --target wavelift -j2
exec build/run/wavelift
