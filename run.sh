#!/usr/bin/env bash
# Installs what is missing, builds, and starts the console debugger on the simulator.
set -euo pipefail
cd "$(dirname "$0")"
scripts/deps.sh g++ cmake ninja-build ccache libgtest-dev libbenchmark-dev
scripts/build.sh build -DDORVIK_TESTS=OFF -DDORVIK_BENCH=OFF
exec build/bin/dorvik51 "$@"
