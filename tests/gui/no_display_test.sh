#!/usr/bin/env bash
# Without a display and without a terminal (a session of its own) the
# launcher says so in one line on standard error, exits with a non-zero
# status, and writes nothing to standard output.
set -uo pipefail
: "${BUILD_DIR:?}"
out=$(mktemp); err=$(mktemp)
trap 'rm -f "$out" "$err"' EXIT
env -u DISPLAY -u WAYLAND_DISPLAY timeout 20 setsid -w "$BUILD_DIR/media/medium/setup-launcher" >"$out" 2>"$err" </dev/null
status=$?
fails=0
if ((status == 0)); then echo "FAIL: exit status 0 without a display"; fails=1; fi
if [[ -s "$out" ]]; then echo "FAIL: standard output written"; fails=1; fi
if [[ $(grep -c . "$err") -ne 1 ]] || ! grep -q "setup-launcher: cannot open the display" "$err"; then
  echo "FAIL: standard error was:"; cat "$err"; fails=1
fi
((fails == 0)) && echo "ok: no display gives status $status and one line on standard error"
exit $fails
