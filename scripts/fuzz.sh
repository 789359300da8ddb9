#!/usr/bin/env bash
# Builds one libFuzzer target with clang, AddressSanitizer and
# UndefinedBehaviorSanitizer, and runs it for a bounded time.
#
#   scripts/fuzz.sh TARGET SECONDS [LIBFUZZER-OPTION ...]
#
# TARGET is markup, bag, script or raster. The run starts from the committed seeds in
# fuzz/corpus/TARGET and keeps what it finds in $FUZZ_BUILD/corpus/TARGET
# (default build-fuzz/). A crashing input is written to
# $FUZZ_BUILD/artifacts/TARGET/; copy it to fuzz/regressions/TARGET/ so the
# normal test build replays it for good. Exits non-zero when the target crashed,
# leaked or hung.
set -euo pipefail

if [ $# -lt 2 ]; then
  echo "usage: scripts/fuzz.sh markup|bag|script|raster SECONDS [LIBFUZZER-OPTION ...]" >&2
  exit 2
fi
target=$1
seconds=$2
shift 2
case "$target" in
  markup|bag|script|raster) ;;
  *) echo "scripts/fuzz.sh: unknown target '$target' (markup, bag, script or raster)" >&2; exit 2 ;;
esac
# The raster target decodes real pictures and draws on real surfaces: a
# blown picture or surface budget shows as a memory failure, a decode that
# runs away as a timeout.
limits=(-timeout=${FUZZ_TIMEOUT:-60} -rss_limit_mb=3072)
if [ "$target" = raster ]; then limits=(-timeout=${FUZZ_TIMEOUT:-10} -rss_limit_mb=2048 -malloc_limit_mb=1024); fi

root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"
# clang and its libFuzzer runtime, from Debian's packages when missing.
if ! command -v "${FUZZ_CXX:-clang++}" >/dev/null || ! compgen -G "/usr/lib/llvm-*/lib/clang/*/lib/linux/libclang_rt.fuzzer-x86_64.a" >/dev/null; then
  "$root/scripts/apt-install-missing.sh" clang libclang-rt-dev
fi
build=${FUZZ_BUILD:-$root/build-fuzz}
cxx=${FUZZ_CXX:-clang++}

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_COMPILER="$cxx" \
  -DMARKLET_FUZZ=ON -DMARKLET_BUILD_TESTS=OFF -DMARKLET_BUILD_BENCHMARKS=OFF >/dev/null
cmake --build "$build" --target "fuzz_$target" -j "${FUZZ_BUILD_JOBS:-2}"

corpus="$build/corpus/$target"
artifacts="$build/artifacts/$target"
mkdir -p "$corpus" "$artifacts"
dict=()
if [ -f "$root/fuzz/$target.dict" ]; then dict=("-dict=$root/fuzz/$target.dict"); fi

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
# Font caches fontconfig and Pango keep for the life of the process (the raster target draws text).
export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$root/tests/lsan.supp}
set +e
"$build/fuzz/fuzz_$target" -max_total_time="$seconds" "${limits[@]}" -max_len=${FUZZ_MAX_LEN:-2048} \
  -print_final_stats=1 -artifact_prefix="$artifacts/" "${dict[@]}" "$@" \
  "$corpus" "$root/fuzz/corpus/$target"
status=$?
set -e
if [ $status -ne 0 ]; then
  echo "scripts/fuzz.sh: fuzz_$target failed (exit $status); inputs in $artifacts/" >&2
fi
exit $status
