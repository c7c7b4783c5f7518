#!/usr/bin/env bash
# Reaction to a choice: from the Return key on a language link to the parent
# program seeing the end of the launcher's output and ending.
#
#   bench/reaction_bench.sh [--runs N] [--medium DIR] [--no-build] [--verbose]
#
# Builds what it needs (bench/build.sh, unless --no-build), then runs in a
# display of its own (Xvfb) N times (15 unless told) each of two parents:
#   setup-parent   build-bench/bin/setup-parent on the demo medium; the clock stops
#                  when its output ends and when it exits;
#   direct         the probe itself is the parent (the product's lock held
#                  shared, the launcher's output on a pipe it reads), which
#                  splits the time: the result handed over (first byte), the
#                  launcher's pipe ended, the launcher exited.
# Each time, once the launcher reports its page filled (the benchmark trace)
# and a short pause has let it be drawn, the window is focused and Tab moves
# to the first language (xdotool, untimed); the clock starts just before
# Return goes to the display (bench/reaction_probe.cpp). Prints the medians;
# figures only, it never fails on them.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
runs=15
medium=$root/build-bench/media/medium
build=1
verbose=0
while (($#)); do
  case $1 in
    --runs) runs=$2; shift ;;
    --medium) medium=$(cd "$2" && pwd); shift ;;
    --no-build) build=0 ;;
    --verbose) verbose=1 ;;
    *) echo "usage: $0 [--runs N] [--medium DIR] [--no-build] [--verbose]" >&2; exit 2 ;;
  esac
  shift
done

if [[ "${REACTION_BENCH_INSIDE:-}" != 1 ]]; then
  ((build)) && "$root/bench/build.sh" >&2
  export REACTION_BENCH_INSIDE=1
  args=(--no-build --runs "$runs" --medium "$medium")
  ((verbose)) && args+=(--verbose)
  exec "$root/tests/gui/with_xvfb.sh" bash "$0" "${args[@]}"
fi

bin=$root/build-bench/bin
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export XDG_RUNTIME_DIR=$work/run
mkdir -m 700 "$XDG_RUNTIME_DIR"
export LANG=C.UTF-8  # the home page in English
unset LC_ALL LC_MESSAGES
for _ in $(seq 1 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done

lock=$("$bin/setup-medium" lock "$medium")
parent() { "$bin/reaction_probe" --tabs 1 -- "$bin/setup-parent" "$medium"; }
direct() { "$bin/reaction_probe" --tabs 1 --lock "$lock" -- "$medium/setup-launcher"; }

parent >/dev/null && direct >/dev/null  # warm-up
: >"$work/parent" && : >"$work/direct"
for ((i = 1; i <= runs; i++)); do
  parent >>"$work/parent"
  direct >>"$work/direct"
  ((verbose)) && echo "run $i: setup-parent $(tail -n1 "$work/parent") | direct $(tail -n1 "$work/direct")" >&2
done

median() {
  awk -v c="$2" '{ print $c }' "$1" | sort -g |
    awk '{ v[NR] = $1 } END { if (NR % 2) print v[(NR + 1) / 2]; else printf "%.2f\n", (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}
range() { awk -v c="$2" '{ print $c }' "$1" | sort -g | awk '{ v[NR] = $1 } END { printf "%.1f .. %.1f", v[1], v[NR] }'; }
echo "reaction from Return on the first language, $runs runs each, medians (range)"
echo "  machine: $(nproc) cores, $(lscpu | sed -n 's/^Model name: *//p' | head -n1)," \
  "$(free -m | awk '/^Mem:/ { print $2 }') MB, WebKitGTK $(pkg-config --modversion webkit2gtk-4.1)"
echo "  setup-parent: its output ended     $(median "$work/parent" 2) ms ($(range "$work/parent" 2))"
echo "                it exited            $(median "$work/parent" 3) ms"
echo "  direct:       result handed over   $(median "$work/direct" 1) ms ($(range "$work/direct" 1))"
echo "                launcher's pipe end  $(median "$work/direct" 2) ms ($(range "$work/direct" 2))"
echo "                launcher exited      $(median "$work/direct" 3) ms"
for side in parent direct; do
  echo "  results ($side): $(awk '{ print $4 }' "$work/$side" | sort | uniq -c | awk '{ printf "%s x%s ", $2, $1 }')"
done
