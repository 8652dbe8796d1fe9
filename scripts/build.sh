#!/usr/bin/env bash
# Configures and builds one build tree: build.sh DIR [CMAKE OPTIONS...]
# With TARGETS set (blank-separated), builds only those targets.
set -euo pipefail
dir=$1; shift
gen=()
command -v ninja >/dev/null && gen=(-G Ninja)
if [ ! -f "$dir/CMakeCache.txt" ]; then
  cmake -S . -B "$dir" "${gen[@]}" -DCMAKE_BUILD_TYPE=Release "$@"
else
  cmake -S . -B "$dir" "$@" >/dev/null
fi
targets=()
for t in ${TARGETS:-}; do targets+=(--target "$t"); done
cmake --build "$dir" -j "$(nproc)" "${targets[@]}"
