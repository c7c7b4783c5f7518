#!/usr/bin/env bash
# Builds the fuzz targets (clang, libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer) in build-fuzz/ and runs each for SECONDS
# (default 5) on a scratch copy of its seed corpus in fuzz/corpus/<target>/;
# the page library targets also start from the DLLs the build makes from
# tests/dlls/*.rc (build-fuzz/seeds/dlls/).
# Fails when a target finds a crash or a failed check; what it found is kept
# in build-fuzz/findings/<target>/. It installs nothing: scripts/test.sh sets
# up the machine before it runs this (scripts/setup-machine.sh).
#
#   scripts/fuzz.sh [SECONDS] [TARGET...]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-5}
shift || true
targets=("$@")
if ((${#targets[@]} == 0)); then
  targets=(ini_fuzzer page_filling_fuzzer link_fuzzer page_library_fuzzer pe_resources_fuzzer page_reading_fuzzer)
fi

if ! command -v clang++ >/dev/null || ! command -v cmake >/dev/null; then
  echo "fuzz.sh: clang++ or cmake is missing: run scripts/setup-machine.sh first" >&2
  exit 1
fi
build="$root/build-fuzz"
CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DSETUP_LAUNCHER_FUZZ=ON >/dev/null
cmake --build "$build" --target "${targets[@]}"

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
failed=()
for target in "${targets[@]}"; do
  scratch="$build/corpus/$target"
  findings="$build/findings/$target"
  rm -rf "$scratch"
  mkdir -p "$scratch" "$findings"
  if [[ -d "$root/fuzz/corpus/$target" ]]; then cp "$root/fuzz/corpus/$target/." "$scratch/" -R; fi
  # The page reader starts from the sample pages.
  if [[ $target == page_reading_fuzzer ]]; then cp "$root"/res/pages/*.html "$scratch/"; fi
  if [[ $target == page_library_fuzzer || $target == pe_resources_fuzzer ]]; then
    cp "$build"/seeds/dlls/*.dll "$scratch/"
  fi
  # The sample pages seed the page filling as they stand in res/pages.
  if [[ $target == page_filling_fuzzer ]]; then cp "$root"/res/pages/*.html "$scratch/"; fi
  dict=()
  if [[ -f "$root/fuzz/$target.dict" ]]; then dict=(-dict="$root/fuzz/$target.dict"); fi
  echo "== $target, $seconds s" >&2
  if ! "$build/bin/$target" "${dict[@]}" -max_total_time="$seconds" -print_final_stats=1 \
      -artifact_prefix="$findings/" "$scratch" >"$build/findings/$target.log" 2>&1; then
    tail -n 40 "$build/findings/$target.log" >&2
    failed+=("$target")
  else
    grep -E '^stat::number_of_executed_units|^Done' "$build/findings/$target.log" >&2 || true
  fi
done

if ((${#failed[@]} > 0)); then
  echo "fuzz targets that found a fault: ${failed[*]} (inputs in $build/findings/)" >&2
  exit 1
fi
