#!/usr/bin/env bash
# Sets everything up, builds Wavelift and starts it.
set -euo pipefail
cd "$(dirname "$0")"
scripts/deps.sh
cmake -S . -B build/linux -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DWAVELIFT_BUILD_TESTS=OFF -DWAVELIFT_BUILD_BENCH=OFF >/dev/null
cmake --build build/linux --target wavelift -j2
exec build/linux/wavelift
