#!/usr/bin/env bash
# Sets up the machine, builds, and runs the launcher on the demo medium.
# On a desktop the window opens; without a display the launcher runs in
# Xvfb and a screenshot of its first page is saved under build/demo/.
#   scripts/demo.sh            the demo medium
#   scripts/demo.sh --database the medium with the database choice
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
medium=medium
[[ "${1:-}" == "--database" ]] && medium=medium-db
"$root/scripts/build.sh" >/dev/null
launcher="$root/build/media/$medium/setup-launcher"

if [[ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]]; then
  echo "Starting $launcher"
  "$launcher"
  exit $?
fi

out="$root/build/demo"
mkdir -p "$out"
shot="$out/$medium.png"
echo "No display: running the launcher in Xvfb"
xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
  "$1" >"$3/stdout" 2>"$3/stderr" &
  pid=$!
  wid=$(xdotool search --sync --onlyvisible --pid "$pid" 2>/dev/null | head -n1)
  sleep 3   # let the page finish drawing
  import -window "$wid" "$2"
  echo "Window caption: $(xdotool getwindowname "$wid")"
  kill "$pid"; wait "$pid" 2>/dev/null || true
' _ "$launcher" "$shot" "$out"
echo "Screenshot of the first page: $shot"
