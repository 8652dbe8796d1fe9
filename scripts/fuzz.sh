#!/usr/bin/env bash
# Builds the libFuzzer harnesses (fuzz/) with clang in build-fuzz and runs each
# for a fixed time on a copy of its seeds, so the checkout gains no files.
#   scripts/fuzz.sh [SECONDS per harness, default 20] [HARNESS...]
# Findings are kept in build-fuzz/findings/; the script then exits non-zero.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-20}
shift || true
harnesses=("$@")
[ ${#harnesses[@]} -gt 0 ] || harnesses=(asm_file asm_lines scanner lineparser cpudef simulator command listing omf hex loader gui_input link project)

targets=""
for h in "${harnesses[@]}"; do targets+=" ${h}_fuzzer"; done
CC=clang CXX=clang++ TARGETS="$targets" scripts/build.sh build-fuzz \
  -DDORVIK_FUZZ=ON -DDORVIK_TESTS=OFF -DDORVIK_BENCH=OFF

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
root=$PWD
findings=$root/build-fuzz/findings
mkdir -p "$findings"

# Seeds: the harness's own folder and the sources the project already has.
seed() {
  local h=$1 dir=$work/$1
  mkdir -p "$dir"
  local extra=()
  case $h in
    asm_file) extra=(tests/assembler/data/*.a51 examples/*.a51) ;;
    cpudef) extra=(data/cpu/*.def) ;;
    hex) extra=(tests/assembler/data/*.hex) ;;
    loader) extra=(tests/assembler/data/*.hex tests/assembler/data/*.obj) ;;
  esac
  for f in fuzz/corpus/"$h"/* "${extra[@]}"; do cp "$f" "$dir/$(basename "$(dirname "$f")")-$(basename "$f")"; done
}

# One harness in the work folder; its exit code goes to HARNESS.rc.
run() {
  local h=$1 rc=0
  (cd "$work" && "$root"/build-fuzz/bin/"${h}"_fuzzer -max_total_time="$seconds" -timeout=10 \
    -rss_limit_mb=2048 -artifact_prefix="$findings/$h-" "$work/$h") >"$work/$h.log" 2>&1 || rc=$?
  echo "$rc" >"$work/$h.rc"
}

# As many side by side as there are cores.
cores=$(nproc)
for h in "${harnesses[@]}"; do
  seed "$h"
  while [ "$(jobs -rp | wc -l)" -ge "$cores" ]; do wait -n || true; done
  run "$h" &
done
wait

failed=0
for h in "${harnesses[@]}"; do
  if [ "$(cat "$work/$h.rc")" = 0 ]; then
    echo "fuzz $h: $(grep -o 'Done [0-9]* runs' "$work/$h.log" || echo 'ran') in ${seconds}s"
  else
    failed=1
    echo "fuzz $h: FAILED"
    grep -v '^#\|^INFO\|^MERGE' "$work/$h.log" | tail -40
  fi
done
[ "$failed" -eq 0 ] || { echo "Findings in $findings"; exit 1; }
