#!/usr/bin/env bash
# Installs what is missing, builds, and starts the console debugger on the simulator.
set -euo pipefail
cd "$(dirname "$0")"
scripts/deps.sh g++ cmake ninja-build ccache libgtest-dev libbenchmark-dev
TARGETS="dorvik51 diz52 qpfc cpu_database" scripts/build.sh build
exec build/bin/dorvik51 "$@"
