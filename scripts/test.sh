#!/usr/bin/env bash
# Sets up the machine, builds, and runs every test: the unit tests, the
# tool tests and the headless window tests (under Xvfb), then the unit
# tests once more in a build with AddressSanitizer and
# UndefinedBehaviorSanitizer, and a short run of each fuzz target.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup-machine.sh"
"$root/scripts/build.sh"
(cd "$root/build" && ctest --output-on-failure -j2)

echo "== unit tests under AddressSanitizer and UndefinedBehaviorSanitizer"
cmake -S "$root" -B "$root/build-asan" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
  -DSETUP_LAUNCHER_SANITIZE=ON >/dev/null
cmake --build "$root/build-asan" --target unit_tests
(cd "$root/build-asan" && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
  ctest --output-on-failure -j2 -L unit)

echo "== fuzz targets, a short run each"
"$root/scripts/fuzz.sh" 5
