#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: once in a Release
# build and once more under AddressSanitizer and UndefinedBehaviorSanitizer;
# then the fuzzers for a short time. Fails when the run left the work tree
# changed or with new files.
set -euo pipefail
cd "$(dirname "$0")"
scripts/deps.sh g++ cmake ninja-build ccache libgtest-dev libbenchmark-dev sdcc-ucsim as31 clang libclang-rt-14-dev \
  qt6-base-dev xvfb xauth twm x11-utils xdotool
tree_state() { git status --porcelain --untracked-files=all 2>/dev/null | sort || true; }
before=$(tree_state)
jobs=$(nproc)
scripts/check_layers.sh
scripts/build.sh build -DDORVIK_TESTS=ON -DDORVIK_BENCH=ON -DDORVIK_SANITIZE=OFF
(cd build && ctest --output-on-failure -j "$jobs" </dev/null)
# Pictures of the workbench under a virtual display, kept in build/screenshots/.
if command -v xvfb-run >/dev/null; then scripts/screenshots.sh build; fi
# The sanitizer build uses clang where it is installed, so that the whole tree
# is also built warning-free by the second compiler.
if command -v clang++ >/dev/null && [ ! -f build-asan/CMakeCache.txt ]; then export CC=clang CXX=clang++; fi
scripts/build.sh build-asan -DDORVIK_TESTS=ON -DDORVIK_SANITIZE=ON -DDORVIK_BENCH=OFF
unset CC CXX
(cd build-asan && ctest --output-on-failure -j "$jobs" </dev/null)
if command -v clang++ >/dev/null; then scripts/fuzz.sh 20; fi
# Tests write only in their own folders (the build folders are ignored).
stray=$(comm -13 <(echo "$before") <(tree_state))
if [ -n "$stray" ]; then
  echo "The tests changed or left these files in the work tree:"
  echo "$stray"
  exit 1
fi
