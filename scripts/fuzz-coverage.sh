#!/usr/bin/env bash
# Which lines of the control a fuzzer's corpus reaches: builds the target with
# source coverage (build-fuzz-cov/), runs every input of the corpus once (the
# committed seeds and what runs of scripts/fuzz.sh kept in build-fuzz/), and
# prints llvm-cov's report for the control's own sources.
#
#   scripts/fuzz-coverage.sh markup|bag|script|raster [SUBSYSTEM-FOLDER ...]
#
# The folders narrow the report (default: src/host src/control src/markup
# src/render src/input src/platform/bag src/platform/trace).
set -euo pipefail
target=${1:?usage: scripts/fuzz-coverage.sh markup|bag|script|raster [FOLDER ...]}
shift
case "$target" in
  markup|bag|script|raster) ;;
  *) echo "scripts/fuzz-coverage.sh: unknown target '$target'" >&2; exit 2 ;;
esac
root=$(cd "$(dirname "$0")/.." && pwd)
build=${FUZZ_COVERAGE_BUILD:-$root/build-fuzz-cov}
folders=("$@")
[ ${#folders[@]} -eq 0 ] && folders=(src/host src/control src/markup src/render src/input src/platform/bag src/platform/trace)

# clang, its runtimes and llvm-profdata/llvm-cov, from Debian's packages when missing.
if ! command -v llvm-cov >/dev/null || ! command -v "${FUZZ_CXX:-clang++}" >/dev/null; then
  "$root/scripts/apt-install-missing.sh" clang libclang-rt-dev llvm
fi

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_COMPILER="${FUZZ_CXX:-clang++}" \
  -DMARKLET_FUZZ=ON -DMARKLET_FUZZ_COVERAGE=ON -DMARKLET_BUILD_TESTS=OFF -DMARKLET_BUILD_BENCHMARKS=OFF >/dev/null
cmake --build "$build" --target "fuzz_$target" -j "${FUZZ_BUILD_JOBS:-2}" >/dev/null

profiles=$(mktemp -d)
trap 'rm -rf "$profiles"' EXIT
corpora=("$root/fuzz/corpus/$target")
[ -d "$root/build-fuzz/corpus/$target" ] && corpora+=("$root/build-fuzz/corpus/$target")
export ASAN_OPTIONS=detect_leaks=0
LLVM_PROFILE_FILE="$profiles/%p.profraw" "$build/fuzz/fuzz_$target" -runs=0 "${corpora[@]}" >/dev/null 2>&1
llvm-profdata merge -sparse "$profiles"/*.profraw -o "$profiles/merged.profdata"
paths=()
for f in "${folders[@]}"; do paths+=("$root/$f"); done
llvm-cov report "$build/fuzz/fuzz_$target" -instr-profile="$profiles/merged.profdata" "${paths[@]}" | tail -n +1
