#!/usr/bin/env bash
# The launcher that cannot find its own folder (/proc/self/exe unreadable)
# ends at start: one line on standard error, status 1, nothing on standard
# output, even in a working folder that holds a medium. No display needed:
# it ends before opening one.
set -uo pipefail
: "${BUILD_DIR:?}"
medium="$BUILD_DIR/media/medium"
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
if ! unshare -rm sh -c 'mount -t tmpfs none /proc' 2>/dev/null; then
  echo "skipped: no mount namespace to hide /proc in"
  exit 0
fi
cp "$medium/setup-launcher" "$dir/"
# The working folder is the medium; /proc is empty.
(cd "$medium" && unshare -rm sh -c 'mount -t tmpfs none /proc && exec "$0"' "$dir/setup-launcher") \
  >"$dir/out" 2>"$dir/err" </dev/null
status=$?
fails=0
((status == 1)) || { echo "FAIL: status $status"; fails=1; }
[[ -s "$dir/out" ]] && { echo "FAIL: standard output written"; fails=1; }
if [[ $(grep -c . "$dir/err") -ne 1 ]] || ! grep -q "^setup-launcher: cannot find the launcher's own folder" "$dir/err"; then
  echo "FAIL: standard error was:"; cat "$dir/err"; fails=1
fi
((fails == 0)) && echo "ok: without its own folder the launcher ends with status 1 and one line"
exit $fails
