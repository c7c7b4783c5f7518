#!/usr/bin/env bash
# Runs the window tests over and over in three conditions: on an idle
# machine, beside two busy loops, and pinned to one core. A test that waits
# for time instead of for what it needs passes in one of them and fails in
# another. Prints how often each test passed in each condition; the exit
# status is 1 when any run failed. Expects a build (scripts/build.sh, or
# scripts/test.sh once).
#
#   scripts/soak.sh [N] [REGEX]   N runs a condition (5 unless given) of the
#                                 window tests whose names match REGEX
#
# The output of each failed run is kept under build/soak/, named after the
# condition, the round and the test.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
rounds=${1:-5}
only=${2:-.}
[[ "$rounds" =~ ^[1-9][0-9]*$ ]] || { echo "soak: N must be a count of runs, not '$rounds'" >&2; exit 2; }
build="$root/build"
[[ -f "$build/CTestTestfile.cmake" ]] || { echo "soak: no build in $build; run scripts/build.sh first" >&2; exit 2; }
logs="$build/soak"
rm -rf "$logs"
mkdir -p "$logs"

busy=()
stop_busy() {
  local pid
  for pid in "${busy[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${busy[@]}"; do wait "$pid" 2>/dev/null || true; done
  busy=()
}
trap stop_busy EXIT

declare -A passed ran
tests=()
conditions=(idle loaded one-core)

# run CONDITION ROUND [PREFIX...]: one run of the window tests, each test's
# result counted under CONDITION.
run() {
  local condition=$1 round=$2 line name result out
  shift 2
  out="$logs/$condition-$round.log"
  (cd "$build" && "$@" ctest -L gui -R "$only" --output-on-failure -j1) >"$out" 2>&1 || true
  while read -r line; do
    [[ "$line" =~ Test\ +#[0-9]+:\ ([^ ]+)\ \.*\ *(\*\*\*)?([A-Za-z]+) ]] || continue
    name=${BASH_REMATCH[1]} result=${BASH_REMATCH[3]}
    [[ -n "${ran[$name]+x}" ]] || { tests+=("$name"); for c in "${conditions[@]}"; do ran[$name,$c]=0 passed[$name,$c]=0; done; ran[$name]=1; }
    ran[$name,$condition]=$((ran[$name,$condition] + 1))
    if [[ "$result" == Passed ]]; then
      passed[$name,$condition]=$((passed[$name,$condition] + 1))
    else
      echo "soak: $name failed ($condition, run $round): see $out" >&2
    fi
  done < <(grep -E 'Test +#[0-9]+:' "$out")
  grep -qE 'Test +#' "$out" || { echo "soak: no test ran ($condition, run $round): see $out" >&2; }
}

for condition in "${conditions[@]}"; do
  prefix=()
  case $condition in
    loaded)
      for _ in 1 2; do
        (while :; do :; done) &
        busy+=($!)
      done
      ;;
    one-core) prefix=(taskset -c 0) ;;
  esac
  for ((round = 1; round <= rounds; round++)); do
    echo "soak: $condition, run $round of $rounds" >&2
    run "$condition" "$round" "${prefix[@]}"
  done
  stop_busy
done

failed=0
printf '%-28s %10s %10s %10s\n' "test" "${conditions[@]}"
for name in "${tests[@]}"; do
  row=()
  for condition in "${conditions[@]}"; do
    row+=("${passed[$name,$condition]}/${ran[$name,$condition]}")
    ((passed[$name,$condition] == ran[$name,$condition])) || failed=1
  done
  printf '%-28s %10s %10s %10s\n' "$name" "${row[@]}"
done
exit "$failed"
