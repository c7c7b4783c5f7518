# shellcheck shell=bash
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
source "$(dirname "${BASH_SOURCE[0]}")/wait.sh"
WORK=$(mktemp -d)
LAUNCHER_PID=
FAILURES=0
# Processes a test starts besides the launcher (see started), and those the
# launcher starts for it that write their ids into $WORK/started-pids (a
# viewer of its own): ended on every way out, as the launcher is.
STARTED_PIDS=()
# KEEP_WORK=DIR in the environment keeps a copy of the test's files (its
# pictures, media and logs) there, for a look afterwards.
cleanup() {
  stop_launcher
  local pid
  if [[ -s "$WORK/started-pids" ]]; then mapfile -t -O "${#STARTED_PIDS[@]}" STARTED_PIDS <"$WORK/started-pids"; fi
  for pid in "${STARTED_PIDS[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${STARTED_PIDS[@]}"; do
    wait_until 5 process_ended "$pid" || kill -KILL "$pid" 2>/dev/null || true
  done
  [[ -n "${KEEP_WORK:-}" ]] && cp -r "$WORK" "$KEEP_WORK"
  rm -rf "$WORK"
}
trap cleanup EXIT
# started PID...: processes of the test's own, ended with it.
started() { STARTED_PIDS+=("$@"); }
# Each test has its own named locks.
export XDG_RUNTIME_DIR="$WORK/run"
mkdir -m 700 "$XDG_RUNTIME_DIR"

fail() { echo "FAIL: $*" >&2; FAILURES=$((FAILURES + 1)); }

pass() { echo "ok: $*"; }

# The display must answer before the first window opens.
display_answers() { xdpyinfo >/dev/null 2>&1; }
if [[ -n "${DISPLAY:-}" ]] && ! wait_until 10 display_answers; then
  echo "FAIL: the display $DISPLAY does not answer" >&2
  exit 1
fi

# make_medium NAME SOURCE: a copy of a demo medium (or an empty one when
# SOURCE is "empty") with the launcher, its window and the sample page
# library.
make_medium() {
  local dir="$WORK/$1"
  mkdir -p "$dir"
  if [[ "$2" != empty ]]; then cp -r "$SOURCE_DIR/demo/$2/." "$dir/"; fi
  cp "$BUILD_DIR/bin/setup-launcher" "$BUILD_DIR/bin/setup-launcher-gtk.so" "$dir/"
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

# wait_for_window WHAT: waits (at most 20 s) for the window of the launcher
# started as (or by) $LAUNCHER_PID; sets WINDOW.
wait_for_window() {
  WINDOW=
  if ! wait_until 20 launcher_window_or_end; then
    fail "no window from the launcher of $1"
    cat "$WORK/stderr" >&2
    return 1
  fi
  if [[ -z "$WINDOW" ]]; then
    local status=0
    wait "$LAUNCHER_PID" || status=$?
    fail "the launcher of $1 ended with status $status before showing its window"
    cat "$WORK/stderr" >&2
    LAUNCHER_PID=
    return 1
  fi
}

# launcher_window_or_end: sets WINDOW once the launcher shows one; true then,
# and when the launcher has ended.
launcher_window_or_end() {
  local pid
  for pid in $LAUNCHER_PID $(pgrep -P "$LAUNCHER_PID" 2>/dev/null || true); do
    WINDOW=$(xdotool search --onlyvisible --pid "$pid" 2>/dev/null | head -n1 || true)
    [[ -n "$WINDOW" ]] && return 0
  done
  ! kill -0 "$LAUNCHER_PID" 2>/dev/null
}

stop_launcher() {
  if [[ -n "$LAUNCHER_PID" ]] && kill -0 "$LAUNCHER_PID" 2>/dev/null; then
    # The launcher under its parent first, and until it is gone: its locks
    # go with it.
    local children child
    children=$(pgrep -P "$LAUNCHER_PID" 2>/dev/null || true)
    if [[ -n "$children" ]]; then
      # shellcheck disable=SC2086  # one PID a word
      kill $children 2>/dev/null || true
      for child in $children; do wait_until 5 process_ended "$child" || kill -KILL "$child" 2>/dev/null || true; done
    fi
    kill "$LAUNCHER_PID" 2>/dev/null || true
    wait_until 5 process_ended "$LAUNCHER_PID" || kill -KILL "$LAUNCHER_PID" 2>/dev/null || true
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
  wait_for_picture "$WINDOW" "$1" || fail "the window did not settle on a drawn page"
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
  STATUS=124
  if wait_until 20 process_ended "$LAUNCHER_PID"; then
    STATUS=0
    wait "$LAUNCHER_PID" || STATUS=$?
    LAUNCHER_PID=
  else
    stop_launcher
  fi
}

# settle: waits until the page has been drawn and stopped changing.
settle() { screenshot "$WORK/settle.png"; }

# press KEY...: real key presses into the launcher's window. It does not
# wait for their effect: the caller waits for what it expects (a page's text,
# a window, the end of the parent).
press() {
  xdotool windowfocus --sync "$WINDOW" 2>/dev/null || true
  xdotool key --delay 200 "$@"
}

# click X Y [BUTTON]: a click (button 1 unless given) at X, Y of the
# launcher's window. The X server hands the window the motion before the
# press, in the order they were sent.
click() { xdotool mousemove --window "$WINDOW" "$1" "$2" click "${3:-1}"; }

# click_on NAME [BUTTON]: a click on the middle of the page's link or control
# named NAME, found where the page lays it out (page_text.py --where), as a
# user finds it by its words.
click_on() {
  local where
  if ! where=$(page_text --where "$1"); then
    fail "nothing named '$1' to click on"
    return 1
  fi
  # shellcheck disable=SC2086  # "X Y"
  click $where "${2:-1}"
}

# window_count: the launcher's visible top-level windows (message boxes and
# release-notes windows included).
window_count() {
  local pids pid n=0
  pids="$LAUNCHER_PID $(pgrep -P "$LAUNCHER_PID" 2>/dev/null || true)"
  for pid in $pids; do
    n=$((n + $(xdotool search --onlyvisible --pid "$pid" 2>/dev/null | wc -l || true)))
  done
  echo "$n"
}

# frame_centre WINDOW: twice the centre of the window's frame on the
# screen, the window manager's decorations included: "X Y".
frame_centre() {
  local x y width height left=0 right=0 top=0 bottom=0 extents
  read -r x y width height < <(xwininfo -id "$1" | awk '/Absolute upper-left X/ {x = $NF}
    /Absolute upper-left Y/ {y = $NF} /Width:/ {w = $NF} /Height:/ {h = $NF} END {print x, y, w, h}')
  extents=$(xprop -id "$1" _NET_FRAME_EXTENTS 2>/dev/null | sed -n 's/.*= //p' | tr -d ,)
  [[ -n "$extents" ]] && read -r left right top bottom <<<"$extents"
  echo "$((2 * (x - left) + left + width + right)) $((2 * (y - top) + top + height + bottom))"
}

# other_window: the id of the launcher's visible window besides WINDOW (a
# message box, a notes window); nothing when there is none.
other_window() {
  local pid other=""
  for pid in $LAUNCHER_PID $(pgrep -P "$LAUNCHER_PID" 2>/dev/null || true); do
    other=$(xdotool search --onlyvisible --pid "$pid" 2>/dev/null | grep -vx "$WINDOW" | head -n1 || true)
    [[ -n "$other" ]] && break
  done
  echo "$other"
}

# expect_box_centred WHAT: the launcher's other visible window (its message
# box) has its frame centred on the launcher's window frame, to a pixel.
expect_box_centred() {
  local box x1 y1 x2 y2
  box=$(other_window)
  if [[ -z "$box" ]]; then
    fail "$1: no message box"
    return
  fi
  read -r x1 y1 <<<"$(frame_centre "$WINDOW")"
  read -r x2 y2 <<<"$(frame_centre "$box")"
  if ((x1 - x2 <= 2 && x2 - x1 <= 2 && y1 - y2 <= 2 && y2 - y1 <= 2)); then
    pass "$1: the message box is centred on the window"
  else
    fail "$1: the message box's centre is at $((x2 / 2)),$((y2 / 2)), the window's at $((x1 / 2)),$((y1 / 2))"
  fi
}

# windows_are N: the launcher shows N visible windows.
windows_are() { [[ $(window_count) == "$1" ]]; }

# wait_windows N [SECONDS]: waits (at most SECONDS, 10 unless given) until
# the launcher shows N visible windows: a message box or a notes window has
# opened or closed.
wait_windows() { wait_until "${2:-10}" windows_are "$1"; }

# expect_output BYTES: the launcher handed over exactly BYTES.
expect_output() {
  local want=$1 what=$2
  if [[ "$(cat "$WORK/stdout"; printf x)" == "${want}x" ]]; then
    pass "$what: [$want]"
  else
    fail "$what: handed over [$(cat "$WORK/stdout")], wanted [$want]"
  fi
}

# fake_desktop: a desktop of the test's own, whose program for HTML records
# what it was given (in $WORK/viewer-args), which descriptors it holds
# ($WORK/viewer-fds) and its process id, and then lives on for a while (it
# ends with the test). Sets with_viewer and without_viewer: the environment
# of a launcher on that desktop, and on one without a program for HTML. Both
# keep the system's shared data but its programs: without it GTK cannot read
# the pictures of the title bar it draws under Wayland, nor WebKit draw there.
fake_desktop() {
  local xdg="$WORK/xdg" shared
  mkdir -p "$xdg/data/applications" "$xdg/config" "$xdg/none" "$xdg/share"
  for shared in /usr/share/*; do
    [[ "$shared" == */applications ]] || ln -s "$shared" "$xdg/share/"
  done
  cat >"$xdg/viewer.sh" <<VIEWER
#!/bin/sh
ls -l /proc/\$\$/fd >"$WORK/viewer-fds"
echo \$\$ >>"$WORK/started-pids"
printf '%s\n' "\$@" >"$WORK/viewer-args.new"
mv "$WORK/viewer-args.new" "$WORK/viewer-args"
exec sleep 30
VIEWER
  chmod +x "$xdg/viewer.sh"
  cat >"$xdg/data/applications/notes-viewer.desktop" <<DESKTOP
[Desktop Entry]
Type=Application
Name=Notes viewer
Exec=$xdg/viewer.sh %f
MimeType=text/html;
DESKTOP
  printf '[Default Applications]\ntext/html=notes-viewer.desktop\n' >"$xdg/config/mimeapps.list"
  # shellcheck disable=SC2034  # the tests' own
  with_viewer=(XDG_DATA_HOME="$xdg/data" XDG_DATA_DIRS="$xdg/share" XDG_CONFIG_HOME="$xdg/config"
    XDG_CONFIG_DIRS="$xdg/none")
  # shellcheck disable=SC2034
  without_viewer=(XDG_DATA_HOME="$xdg/none" XDG_DATA_DIRS="$xdg/share" XDG_CONFIG_HOME="$xdg/none"
    XDG_CONFIG_DIRS="$xdg/none")
}

has_file() { [[ -s "$1" ]]; }
wait_for_file() { wait_until 10 has_file "$1"; }

# stop_viewers: ends the viewers started so far, by the process ids they
# wrote.
stop_viewers() {
  local pid
  if [[ -s "$WORK/started-pids" ]]; then
    while read -r pid; do kill "$pid" 2>/dev/null || true; done <"$WORK/started-pids"
  fi
  rm -f "$WORK/started-pids" "$WORK/viewer-args"
}
