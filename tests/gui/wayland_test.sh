#!/usr/bin/env bash
# The window under Wayland, the default session of the major desktops: the
# launcher in a weston compositor, driven by real keys and clicks. Its
# first page, a language by keys and by mouse, the close question (modal,
# both answers), the release notes, and the database page.
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/wayland.sh"

start_weston || finish
plain=$(make_medium plain medium)
db=$(make_medium database medium-db)
fake_desktop

# The first page with its caption; the last language by keys.
start_parent "$plain" LANG=en_US.UTF-8 && {
  page_text --wait-for "Choose the language of the setup" --wait-for English >/dev/null \
    && pass "the home page shows" || fail "no home page"
  [[ "$(caption)" == "Aurora Ledger 7 Setup" ]] || fail "the caption is [$(caption)]"
  screenshot "$WORK/home.png"
  # The footer's colour fills the footer: the page is drawn, not only read.
  footer=$(convert "$WORK/home.png" -format %c histogram:info:- | awk 'tolower($0) ~ /#f3f6f9/ {print $1+0}')
  ((${footer:-0} > 20000)) && pass "the page is drawn" || fail "the page is not drawn (${footer:-0} footer pixels)"
  # weston may not have handed the new window the keyboard yet: a click on
  # its title bar does, as a user's would.
  find_client_area
  click $((CLIENT_WIDTH / 2)) -18
  press Tab Tab Tab Tab Tab Return
  wait_parent
  [[ $STATUS == 0 ]] || fail "setup-parent exited $STATUS for JPN"
  expect_output "JPN" "the fifth language by keys"
}

# The exit link asks, modal to the window: a click on the page under it
# does nothing, No keeps the launcher; the title bar's close button asks
# again, and Yes hands over nothing.
start_parent "$plain" LANG=en_US.UTF-8 && {
  settle
  find_client_area
  english=$(page_text --where English)
  press Tab Tab Tab Tab Tab Tab Tab Tab Return
  if wait_windows 2; then
    [[ $(shown_windows | cut -f2 | tail -n1) == modal ]] && pass "the exit link asks, modal" \
      || fail "the question is not modal: $(shown_windows)"
  else
    fail "no close question after the exit link"
  fi
  # A click on the first language, beside the question: had it gone past
  # the question, the launcher would hand English over and end before the
  # close below could ask.
  # shellcheck disable=SC2086  # "X Y"
  click $english
  press Escape  # No
  wait_windows 1 && kill -0 "$LAUNCHER_PID" 2>/dev/null && pass "No keeps the launcher" \
    || fail "No did not keep the launcher"
  click $((CLIENT_WIDTH - 18)) -18  # the title bar's close button
  wait_windows 2 && pass "the close button asks" || fail "the close button did not ask"
  press Return  # Yes
  wait_parent
  [[ $STATUS == 1 ]] && pass "setup-parent exits 1 after Yes" || fail "setup-parent exited $STATUS after Yes"
  expect_output "" "a confirmed close, the click beside the question taking no effect"
}

# The database page first; Next and the first language with the mouse.
start_parent "$db" LANG=en_US.UTF-8 && {
  page_text --wait-for "Choose the database for your installation" >/dev/null \
    && pass "the database page shows" || fail "no database page"
  settle
  find_client_area
  click_on Next
  page_text --wait-for "Choose the language of the setup" >/dev/null || fail "no home page after Next"
  click_on English
  wait_parent
  expect_output "ENUS-db=mssql" "database mode with the mouse"
}

# The German notes open in the desktop's viewer, and the window, which
# cannot be put beneath the viewer's, is minimised.
start_parent "$plain" LANG=de_DE.UTF-8 "${with_viewer[@]}" && {
  settle
  press Tab Tab Tab Tab Tab Tab Tab Return
  if wait_for_file "$WORK/viewer-args"; then
    [[ "$(cat "$WORK/viewer-args")" == "$plain/1031/readme.html" ]] && pass "the German notes open in the viewer" \
      || fail "the viewer was given: $(cat "$WORK/viewer-args")"
  else
    fail "the viewer did not start"
  fi
  wait_until 10 desktop_empty && pass "the window is minimised" || fail "the window stays on the desktop"
  stop_launcher
}
stop_viewers

# Without a viewer the notes open in a window of the launcher's own.
start_parent "$plain" LANG=en_US.UTF-8 "${without_viewer[@]}" && {
  settle
  press Tab Tab Tab Tab Tab Tab Tab Return
  wait_windows 2 && pass "without a viewer the notes open in a new window" \
    || fail "without a viewer: $(shown_windows)"
  stop_launcher
}

finish
