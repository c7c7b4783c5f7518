#!/usr/bin/env bash
# Configures and builds the launcher, its tools, the sample page library and
# the demo media in build/ (programs in build/bin/, media in build/media/).
# It installs nothing: scripts/demo.sh and scripts/test.sh set up the machine
# (scripts/setup-machine.sh) before they build.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
for tool in cmake ninja pkg-config g++; do
  if ! command -v "$tool" >/dev/null; then
    echo "build.sh: $tool is missing: run scripts/setup-machine.sh first" >&2
    exit 1
  fi
done
cmake -S "$root" -B "$root/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$root/build"
