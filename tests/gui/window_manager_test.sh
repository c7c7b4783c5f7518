#!/usr/bin/env bash
# The launcher under a window manager: the title bar's close and Alt+F4 ask
# before closing, the window keeps its size, and a confirmed close hands
# over nothing.
source "$(dirname "$0")/lib.sh"

openbox --sm-disable >/dev/null 2>&1 &
started $!
# The window manager manages the screen once it names itself on the root
# window.
wm_running() { xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; }
wait_until 10 wm_running || fail "openbox did not start"

plain=$(make_medium plain medium)

start_parent "$plain" LANG=en_US.UTF-8 && {
  settle
  geometry=$(xdotool getwindowgeometry "$WINDOW" | awk '/Geometry/ {print $2}') || geometry="(none)"
  [[ "$geometry" == 474x418 ]] && pass "the client area is 474x418" || fail "the client area is $geometry"
  press alt+F4
  wait_windows 2 && pass "Alt+F4 asks" || fail "Alt+F4 did not ask"
  expect_box_centred "under a window manager"
  press Escape  # No
  wait_windows 1 && kill -0 "$LAUNCHER_PID" 2>/dev/null && pass "No keeps the launcher" \
    || fail "No did not keep the launcher"
  press alt+F4
  wait_windows 2 || fail "Alt+F4 did not ask again"
  press Return  # Yes
  wait_parent
  [[ $STATUS == 1 ]] && pass "setup-parent exits 1 after Alt+F4 and Yes" || fail "setup-parent exited $STATUS"
  expect_output "" "Alt+F4 and Yes"
}

finish
