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
# This run's tests get a temporary folder of 40 characters and a home of their
# own, and must leave both empty.
tmp=$(mktemp -d /tmp/dorvik51-tests-long-temp-dir-XXXXXX) home=$(mktemp -d /tmp/dorvik51-tests-home-XXXXXX)
trap 'rm -rf "$tmp" "$home"' EXIT
(cd build-asan && env -u XDG_CONFIG_HOME -u XDG_CACHE_HOME -u XDG_DATA_HOME -u XDG_STATE_HOME TMPDIR="$tmp" \
  HOME="$home" ctest --output-on-failure -j "$jobs" </dev/null)
left=$(find "$tmp" "$home" -mindepth 1 -maxdepth 3)
if [ -n "$left" ]; then printf 'The tests left these in their temporary folder or home:\n%s\n' "$left"; exit 1; fi
if command -v clang++ >/dev/null; then scripts/fuzz.sh 20; fi
# Tests write only in their own folders (the build folders are ignored).
stray=$(comm -13 <(echo "$before") <(tree_state))
if [ -n "$stray" ]; then
  echo "The tests changed or left these files in the work tree:"
  echo "$stray"
  exit 1
fi
