#!/usr/bin/env bash
# Configures and builds the launcher, its tools, the sample page library and
# the demo media in build/ (programs in build/bin/, media in build/media/).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup-machine.sh"
cmake -S "$root" -B "$root/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$root/build"
