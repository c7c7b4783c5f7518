#!/usr/bin/env bash
# The benchmark build, in build-bench/: everything as scripts/build.sh builds
# it, and the launcher with its benchmark trace (SETUP_LAUNCHER_BENCH_TRACE),
# which the shipped launcher leaves out.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup-machine.sh"
cmake -S "$root" -B "$root/build-bench" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DSETUP_LAUNCHER_BENCH_TRACE=ON >/dev/null
cmake --build "$root/build-bench"
