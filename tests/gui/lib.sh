# Helpers of the headless window tests: each test runs the real launcher on
# a medium of its own in Xvfb, as a parent would, and looks at what a person
# would see. Sourced by the test scripts; BUILD_DIR and SOURCE_DIR are set
# by CTest.
set -euo pipefail

: "${BUILD_DIR:?}" "${SOURCE_DIR:?}"
WORK=$(mktemp -d)
LAUNCHER_PID=
FAILURES=0
trap 'stop_launcher; rm -rf "$WORK"' EXIT

fail() { echo "FAIL: $*" >&2; FAILURES=$((FAILURES + 1)); }
pass() { echo "ok: $*"; }

# make_medium NAME SOURCE: a copy of a demo medium (or an empty one when
# SOURCE is "empty") with the launcher and the sample page library.
make_medium() {
  local dir="$WORK/$1"
  mkdir -p "$dir"
  if [[ "$2" != empty ]]; then cp -r "$SOURCE_DIR/demo/$2/." "$dir/"; fi
  cp "$BUILD_DIR/bin/setup-launcher" "$dir/"
  cp "$BUILD_DIR/pages/SetupHmRes.dll" "$dir/"
  echo "$dir"
}

# start_launcher MEDIUM_DIR [ENV=VALUE ...]: starts the launcher with its
# standard output and error in files and waits for its window.
start_launcher() {
  local dir=$1; shift
  env "$@" "$dir/setup-launcher" >"$WORK/stdout" 2>"$WORK/stderr" </dev/null &
  LAUNCHER_PID=$!
  WINDOW=
  local i
  for i in $(seq 1 100); do
    WINDOW=$(xdotool search --onlyvisible --pid "$LAUNCHER_PID" 2>/dev/null | head -n1 || true)
    [[ -n "$WINDOW" ]] && break
    if ! kill -0 "$LAUNCHER_PID" 2>/dev/null; then
      wait "$LAUNCHER_PID"
      fail "the launcher in $dir ended with status $? before showing its window"
      cat "$WORK/stderr" >&2
      LAUNCHER_PID=
      return 1
    fi
    sleep 0.2
  done
  if [[ -z "$WINDOW" ]]; then
    fail "no window from $dir/setup-launcher"
    cat "$WORK/stderr" >&2
    return 1
  fi
}

stop_launcher() {
  if [[ -n "$LAUNCHER_PID" ]] && kill -0 "$LAUNCHER_PID" 2>/dev/null; then
    kill "$LAUNCHER_PID" 2>/dev/null || true
    wait "$LAUNCHER_PID" 2>/dev/null || true
  fi
  LAUNCHER_PID=
}

caption() { xdotool getwindowname "$WINDOW"; }

# screenshot FILE: waits until the window shows a drawn page (more than a
# handful of colours) that has stopped changing, then keeps that picture.
screenshot() {
  local previous="" current colours i
  for i in $(seq 1 60); do
    sleep 0.5
    import -window "$WINDOW" "$1" 2>/dev/null || continue
    colours=$(convert "$1" -format %k info: 2>/dev/null || echo 0)
    ((colours > 16)) || continue
    current=$(md5sum <"$1" | cut -d' ' -f1)
    if [[ "$current" == "$previous" ]]; then return 0; fi
    previous=$current
  done
  fail "the window did not settle on a drawn page"
}

# has_colour FILE RRGGBB: the picture holds pixels of exactly that colour.
has_colour() {
  local histogram
  histogram=$(convert "$1" -format %c histogram:info:-)
  grep -qi "#$2" <<<"$histogram"
}

finish() {
  stop_launcher
  if ((FAILURES > 0)); then
    echo "$FAILURES check(s) failed" >&2
    exit 1
  fi
  echo "all checks passed"
}
