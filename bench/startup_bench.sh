#!/usr/bin/env bash
# Start-up of the launcher against the engine floor: from exec to the first
# page filled, and the peak memory of both and of their WebKit processes.
#
#   bench/startup_bench.sh [--pairs N] [--medium DIR] [--no-build] [--verbose]
#
# Builds what it needs (bench/build.sh, unless --no-build), then runs in a
# display of its own (Xvfb): one warm-up pair, then N pairs (15 unless
# told) of launcher, floor, launcher, floor, ... so that both sides see the
# same machine. It prints the medians, the ratio launcher/floor and the
# peak memory (VmHWM) of each process; figures only, it never fails on them.
#
# CPU ms is the processor time the program and its WebKit processes had used
# by then: a busy machine disturbs it less than the elapsed time.
# "Done" on each side:
#   launcher  its first body write (the filled home page) has run in the
#             page: the benchmark trace line of CWebBrowser2::WriteBody;
#   floor     bench/engine_floor.cpp: load finished, the body read (one
#             JavaScript round trip) and written back unchanged (a second
#             one), the launcher's engine work without the launcher.
# The clock starts just before the fork of the program (bench/trace_run.cpp).
# The launcher runs as its parent runs it: from the demo medium, with the
# product's lock held by `flock --shared`, standard output on a pipe. Each
# program is killed once it has reported, and the next starts when it and
# its WebKit processes are gone.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
pairs=15
medium=$root/build-bench/media/medium
build=1
verbose=0
while (($#)); do
  case $1 in
    --pairs) pairs=$2; shift ;;
    --medium) medium=$(cd "$2" && pwd); shift ;;
    --no-build) build=0 ;;
    --verbose) verbose=1 ;;
    *) echo "usage: $0 [--pairs N] [--medium DIR] [--no-build] [--verbose]" >&2; exit 2 ;;
  esac
  shift
done

if [[ "${STARTUP_BENCH_INSIDE:-}" != 1 ]]; then
  ((build)) && "$root/bench/build.sh" >&2
  export STARTUP_BENCH_INSIDE=1
  args=(--no-build --pairs "$pairs" --medium "$medium")
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
# The display must answer before the first window opens.
for _ in $(seq 1 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done

lock=$("$bin/setup-medium" lock "$medium")
launcher() { flock --shared "$lock" "$bin/trace_run" -- "$medium/setup-launcher"; }
floor() { "$bin/trace_run" -- "$bin/engine_floor" "$medium/"; }

launcher >/dev/null && floor >/dev/null  # warm-up: caches, fonts
: >"$work/launcher" && : >"$work/floor"
for ((i = 1; i <= pairs; i++)); do
  launcher >>"$work/launcher"
  floor >>"$work/floor"
  if ((verbose)); then
    echo "pair $i: launcher $(tail -n1 "$work/launcher") | floor $(tail -n1 "$work/floor")" >&2
  fi
done

# median FILE COLUMN: the median of a column of numbers (fields like
# name=value count by their value).
median() {
  awk -v c="$2" '{ v = $c; sub(/^[a-z]+=/, "", v); print v }' "$1" | sort -g |
    awk '{ v[NR] = $1 } END { if (NR % 2) print v[(NR + 1) / 2]; else printf "%.2f\n", (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}
mb() { awk -v k="$1" 'BEGIN { printf "%.1f", k / 1024 }'; }

l_ms=$(median "$work/launcher" 1)
f_ms=$(median "$work/floor" 1)
f_loaded=$(median "$work/floor" 6)
f_read=$(median "$work/floor" 7)
echo "start-up to the first page filled, $pairs pairs, medians"
echo "  machine: $(nproc) cores, $(lscpu | sed -n 's/^Model name: *//p' | head -n1)," \
  "$(free -m | awk '/^Mem:/ { print $2 }') MB, WebKitGTK $(pkg-config --modversion webkit2gtk-4.1)"
printf '  %-10s %9s %9s %12s %12s %12s\n' "" "ms" "CPU ms" "VmHWM MB" "web process" "network"
for side in launcher floor; do
  printf '  %-10s %9.1f %9s %12s %12s %12s\n' "$side" "$(median "$work/$side" 1)" "$(median "$work/$side" 5)" \
    "$(mb "$(median "$work/$side" 2)")" "$(mb "$(median "$work/$side" 3)")" "$(mb "$(median "$work/$side" 4)")"
done
echo "  floor: load finished at $f_loaded ms, body read at $f_read ms"
l_cpu=$(median "$work/launcher" 5)
f_cpu=$(median "$work/floor" 5)
awk -v l="$l_ms" -v f="$f_ms" -v lc="$l_cpu" -v fc="$f_cpu" 'BEGIN {
  printf "  ratio launcher/floor: %.3f (goal 1.05 or less); of the CPU time: %.3f\n", l / f, lc / fc }'
# The spread, to judge the medians by.
for side in launcher floor; do
  sort -g "$work/$side" | awk -v s="$side" '{ v[NR] = $1 } END { printf "  %s range: %.1f .. %.1f ms\n", s, v[1], v[NR] }'
done
