# Helpers of the headless window tests: each test runs the real launcher on
# a medium of its own in Xvfb, as a parent would, and looks at what a person
# would see. Sourced by the test scripts; BUILD_DIR and SOURCE_DIR are set
# by CTest.
set -euo pipefail

: "${BUILD_DIR:?}" "${SOURCE_DIR:?}"
# The page's text is read through the accessibility bus, which a session bus
# provides: each test runs under a private session bus of its own, so that
# it sees its own launchers only and nothing of a desktop's session.
if [[ -z "${GUI_TEST_SESSION_BUS:-}" ]]; then
  export GUI_TEST_SESSION_BUS=$$
  exec dbus-run-session -- bash "$0" "$@"
fi
unset NO_AT_BRIDGE  # the launcher shows its widgets and page on that bus
WORK=$(mktemp -d)
LAUNCHER_PID=
FAILURES=0
trap 'stop_launcher; rm -rf "$WORK"' EXIT
# Each test has its own named locks.
export XDG_RUNTIME_DIR="$WORK/run"
mkdir -m 700 "$XDG_RUNTIME_DIR"

fail() { echo "FAIL: $*" >&2; FAILURES=$((FAILURES + 1)); }

# The display must answer before the first window opens.
if [[ -n "${DISPLAY:-}" ]]; then
  for _ in $(seq 1 50); do
    xdpyinfo >/dev/null 2>&1 && break
    sleep 0.2
  done
fi
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

# start_launcher MEDIUM_DIR [ENV=VALUE ...]: starts the launcher as its
# parent would, holding the product's lock (unless NO_PARENT=1), with its
# standard output and error in files, and waits for its window.
start_launcher() {
  local dir=$1; shift
  if [[ "${NO_PARENT:-0}" == 1 ]]; then
    env "$@" "$dir/setup-launcher" >"$WORK/stdout" 2>"$WORK/stderr" </dev/null &
  else
    local lock
    lock=$(env "$@" "$BUILD_DIR/bin/setup-medium" lock "$dir")
    env "$@" flock --shared "$lock" "$dir/setup-launcher" >"$WORK/stdout" 2>"$WORK/stderr" </dev/null &
  fi
  LAUNCHER_PID=$!
  wait_for_window "$dir"
}

# wait_for_window WHAT: waits for the window of the launcher started as (or
# by) $LAUNCHER_PID; sets WINDOW.
wait_for_window() {
  WINDOW=
  local i pids
  for i in $(seq 1 100); do
    pids="$LAUNCHER_PID $(pgrep -P "$LAUNCHER_PID" 2>/dev/null || true)"
    for pid in $pids; do
      WINDOW=$(xdotool search --onlyvisible --pid "$pid" 2>/dev/null | head -n1 || true)
      [[ -n "$WINDOW" ]] && break 2
    done
    if ! kill -0 "$LAUNCHER_PID" 2>/dev/null; then
      wait "$LAUNCHER_PID"
      fail "the launcher of $1 ended with status $? before showing its window"
      cat "$WORK/stderr" >&2
      LAUNCHER_PID=
      return 1
    fi
    sleep 0.2
  done
  if [[ -z "$WINDOW" ]]; then
    fail "no window from the launcher of $1"
    cat "$WORK/stderr" >&2
    return 1
  fi
}

stop_launcher() {
  if [[ -n "$LAUNCHER_PID" ]] && kill -0 "$LAUNCHER_PID" 2>/dev/null; then
    # The launcher under its parent first, and until it is gone: its locks
    # go with it.
    local children i
    children=$(pgrep -P "$LAUNCHER_PID" 2>/dev/null || true)
    if [[ -n "$children" ]]; then
      kill $children 2>/dev/null || true
      for i in $(seq 1 50); do
        kill -0 $children 2>/dev/null || break
        sleep 0.1
      done
    fi
    kill "$LAUNCHER_PID" 2>/dev/null || true
    wait "$LAUNCHER_PID" 2>/dev/null || true
  fi
  LAUNCHER_PID=
}

caption() { xdotool getwindowname "$WINDOW"; }

# page_text [--wait-for TEXT] [--links] [--timeout S]: the visible texts of
# the page the launcher shows, one a line, as a screen reader reads them from
# the accessibility tree (see page_text.py); status 1 when there is none.
page_text() {
  "$(dirname "${BASH_SOURCE[0]}")/page_text.py" --pid "$LAUNCHER_PID" "$@"
}

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

# start_parent MEDIUM_DIR [ENV=VALUE ...]: runs setup-parent on the medium,
# its standard output in $WORK/stdout, and waits for the launcher's window.
start_parent() {
  local dir=$1; shift
  env "$@" "$BUILD_DIR/bin/setup-parent" "$dir" >"$WORK/stdout" 2>"$WORK/stderr" </dev/null &
  LAUNCHER_PID=$!
  wait_for_window "$dir"
}

# wait_parent: waits (at most 20 s) for the parent started last; sets
# STATUS to its exit status, 124 when it did not end.
wait_parent() {
  local i
  STATUS=124
  for i in $(seq 1 100); do
    if ! kill -0 "$LAUNCHER_PID" 2>/dev/null; then
      STATUS=0
      wait "$LAUNCHER_PID" || STATUS=$?
      LAUNCHER_PID=
      return 0
    fi
    sleep 0.2
  done
  stop_launcher
}

# settle: waits until the page has been drawn and stopped changing.
settle() { screenshot "$WORK/settle.png"; }

# press KEY...: real key presses into the launcher's window.
press() {
  xdotool windowfocus --sync "$WINDOW" 2>/dev/null || true
  xdotool key --delay 200 "$@"
  sleep 0.5
}

# window_count: the launcher's visible top-level windows (message boxes and
# release-notes windows included).
window_count() {
  local pids pid n=0
  pids="$LAUNCHER_PID $(pgrep -P "$LAUNCHER_PID" 2>/dev/null || true)"
  for pid in $pids; do
    n=$((n + $(xdotool search --onlyvisible --pid "$pid" 2>/dev/null | wc -l)))
  done
  echo "$n"
}

# expect_output BYTES: the launcher handed over exactly BYTES.
expect_output() {
  local want=$1 what=$2
  if [[ "$(cat "$WORK/stdout"; printf x)" == "${want}x" ]]; then
    pass "$what: [$want]"
  else
    fail "$what: handed over [$(cat "$WORK/stdout")], wanted [$want]"
  fi
}
