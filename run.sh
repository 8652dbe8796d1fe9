#!/usr/bin/env bash
# Installs what is missing, builds the console debugger and the workbench
# (build/bin/dorvik51-gui), and starts the console debugger on the simulator.
set -euo pipefail
cd "$(dirname "$0")"
scripts/deps.sh g++ cmake ninja-build ccache libgtest-dev libbenchmark-dev qt6-base-dev
TARGETS="dorvik51 dorvik51-gui diz52 qpfc cpu_database" scripts/build.sh build
exec build/bin/dorvik51 "$@"
