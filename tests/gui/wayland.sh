# shellcheck shell=bash
# Window tests under Wayland: a weston compositor of the test's own runs
# nested in the test's X display (its X11 back end) and the launchers run in
# it with GDK_BACKEND=wayland. Keys and clicks go to weston's X window, which
# hands them to the window it has focused; windows are counted on the
# accessibility bus, as X11 knows nothing of them. Sourced after lib.sh:
# it replaces lib.sh's X11 ways to find and count the launcher's windows.

COMPOSITOR=
# start_weston: starts weston and waits (at most 20 s) until it takes
# clients and shows its window; sets COMPOSITOR (that X window) and points
# the launchers started after it at it.
start_weston() {
  # A black desktop: a window's shadow does not show on it, so what is not
  # black is the windows. No panel, clock, screen lock, animation or
  # on-screen keyboard: what weston shows changes only with its windows.
  cat >"$WORK/weston.ini" <<'INI'
[core]
idle-time=0
[shell]
background-color=0xff000000
panel-position=none
locking=false
animation=none
close-animation=none
startup-animation=none
focus-animation=none
[input-method]
path=
INI
  weston --backend=x11-backend.so --use-pixman --socket=wayland-test --width=800 --height=600 \
    --config="$WORK/weston.ini" --log="$WORK/weston.log" </dev/null >/dev/null 2>&1 &
  started $!
  if ! wait_until 20 weston_ready; then
    fail "weston did not start"
    cat "$WORK/weston.log" >&2
    return 1
  fi
  # weston's window holds the display's keyboard from the start, as a
  # desktop's would: weston gives the keyboard to the windows inside only
  # while it has it.
  xdotool windowfocus --sync "$COMPOSITOR" 2>/dev/null || true
  export GDK_BACKEND=wayland WAYLAND_DISPLAY=wayland-test WAYLAND_DEBUG=client
}

weston_ready() {
  [[ -S "$XDG_RUNTIME_DIR/wayland-test" ]] || return 1
  COMPOSITOR=$(xdotool search --onlyvisible --class weston 2>/dev/null | head -n1 || true)
  [[ -n "$COMPOSITOR" ]]
}

# launcher_window_or_end: true once the launcher shows a window (WINDOW is
# then weston's, which shows it and takes the keys), and when it has ended.
launcher_window_or_end() {
  if [[ $(window_count) -gt 0 ]]; then
    # shellcheck disable=SC2034  # lib.sh's
    WINDOW=$COMPOSITOR
    return 0
  fi
  ! kill -0 "$LAUNCHER_PID" 2>/dev/null
}

# shown_windows: the launcher's shown top-level windows as the accessibility
# bus has them, one a line: role, "modal" or "-", name.
shown_windows() { page_text --windows 2>/dev/null || true; }

window_count() { shown_windows | grep -c . || true; }

# find_client_area: the launcher's client area on weston's output, from a
# picture of it: the one window on the black desktop, its title bar above.
# Sets CLIENT_X and CLIENT_Y.
find_client_area() {
  # The pointer over the middle of the output, which a window of the
  # launcher's size always covers, so that weston draws it inside.
  xdotool mousemove --window "$COMPOSITOR" 400 300
  screenshot "$WORK/desktop.png"
  local box width height x y
  box=$(convert "$WORK/desktop.png" -format %@ info:)
  IFS='x+' read -r width height x y <<<"$box"
  CLIENT_X=$((x + (width - CLIENT_WIDTH) / 2))
  CLIENT_Y=$((y + height - CLIENT_HEIGHT))
}
CLIENT_WIDTH=474
CLIENT_HEIGHT=418

# click X Y [BUTTON]: a click at X, Y of the launcher's client area, once
# the window has seen the pointer there: weston hands a new window the
# pointer only when it moves over it, and a press sent before the window has
# seen it lands where the pointer was. The pointer comes from a pixel beside
# the spot, so that it moves even when it was there already.
click() {
  local target
  target=$(surface_point "$1" "$2") || { fail "no window geometry of the launcher's to click at $1,$2"; return 1; }
  xdotool mousemove --window "$COMPOSITOR" $((CLIENT_X + $1 - 1)) $((CLIENT_Y + $2)) \
    mousemove --window "$COMPOSITOR" $((CLIENT_X + $1)) $((CLIENT_Y + $2))
  wait_until 10 pointer_seen_at "$target" || fail "the window did not see the pointer at $1,$2"
  xdotool click "${3:-1}"
}

# surface_point X Y: where X, Y of the client area lies on the launcher's
# main surface, from the window geometry it last gave weston (its shadow's
# margins, and the title bar above the client area): "X Y".
surface_point() {
  local left top height
  read -r left top height < <(grep -oE "set_window_geometry\([0-9]+, [0-9]+, $CLIENT_WIDTH, [0-9]+\)" \
    "$WORK/stderr" | tail -n1 | tr -c '0-9\n' ' ' | awk '{print $1, $2, $4}')
  [[ -n "$height" ]] || return 1
  echo "$((left + $1)) $((top + height - CLIENT_HEIGHT + $2))"
}

# pointer_seen_at "X Y": the last pointer event the launcher took put the
# pointer at X, Y of a surface (the launcher runs with WAYLAND_DEBUG=client,
# which writes each event it takes to standard error).
pointer_seen_at() {
  local seen
  seen=$(grep -oE 'wl_pointer@[0-9]+\.(enter|motion)\(.*\)' "$WORK/stderr" | tail -n1 \
    | sed -E 's/.*, (-?[0-9]+)\.[0-9]+, (-?[0-9]+)\.[0-9]+\)$/\1 \2/')
  [[ "$seen" == "$1" ]]
}

caption() { shown_windows | awk -F '\t' 'NR == 1 {print $3}'; }

# desktop_empty: weston shows no window, only its pointer at most.
desktop_empty() {
  local box width height
  import -window "$COMPOSITOR" "$WORK/empty.png" 2>/dev/null || return 1
  box=$(convert "$WORK/empty.png" -format %@ info:)
  IFS='x+' read -r width height _ <<<"$box"
  ((width <= 64 && height <= 64))
}

# press KEY...: as lib.sh's, once a window of the launcher has the keyboard
# (at most 10 s): weston hands it to a new window, or one clicked, a moment
# later, and keys sent before then are lost.
press() {
  xdotool windowfocus --sync "$WINDOW" 2>/dev/null || true
  page_text --wait-active --timeout 10 >/dev/null || fail "no window of the launcher has the keyboard"
  xdotool key --delay 200 "$@"
}
