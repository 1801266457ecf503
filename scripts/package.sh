#!/usr/bin/env bash
# Builds the release configuration and the Debian package from it:
# build/release/wavelift_<version>_<arch>.deb. Install it with
#   sudo apt install ./build/release/wavelift_*.deb
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DWAVELIFT_SANITIZE= -DWAVELIFT_BUILD_PROGRAM=ON -DWAVELIFT_BUILD_TESTS=OFF -DWAVELIFT_BUILD_BENCH=OFF >/dev/null
cmake --build build/release -j2
# CPack names the file it made on its last line.
(cd build/release && cpack -G DEB) | sed -n 's/^CPack: - package: \(.*\) generated\.$/\1/p'
