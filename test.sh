#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: once in a Release
# build and once more under AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")"
scripts/deps.sh g++ cmake ninja-build ccache libgtest-dev libbenchmark-dev sdcc-ucsim as31
jobs=$(nproc)
scripts/check_layers.sh
scripts/build.sh build -DDORVIK_TESTS=ON -DDORVIK_BENCH=ON -DDORVIK_SANITIZE=OFF
(cd build && ctest --output-on-failure -j "$jobs" </dev/null)
scripts/build.sh build-asan -DDORVIK_TESTS=ON -DDORVIK_SANITIZE=ON -DDORVIK_BENCH=OFF
(cd build-asan && ctest --output-on-failure -j "$jobs" </dev/null)
