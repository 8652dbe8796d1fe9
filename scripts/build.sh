#!/usr/bin/env bash
# Configures and builds one build tree: build.sh DIR [CMAKE OPTIONS...]
set -euo pipefail
dir=$1; shift
gen=()
command -v ninja >/dev/null && gen=(-G Ninja)
if [ ! -f "$dir/CMakeCache.txt" ]; then
  cmake -S . -B "$dir" "${gen[@]}" -DCMAKE_BUILD_TYPE=Release "$@"
else
  cmake -S . -B "$dir" "$@" >/dev/null
fi
cmake --build "$dir" -j "$(nproc)"
