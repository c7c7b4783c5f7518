#!/usr/bin/env bash
# The whole road, as a user and a parent see it: real key presses on the
# pages, and exactly the bytes the parent reads from the pipe.
source "$(dirname "$0")/lib.sh"

plain=$(make_medium plain medium)
db=$(make_medium database medium-db)

# The fifth demo language, picked with Tab and Return, hands over its
# directory (the others are picked below and in the other window tests;
# which slot's link names which language is a page text test).
start_parent "$plain" LANG=en_US.UTF-8 && {
  settle
  press Tab Tab Tab Tab Tab Return
  wait_parent
  [[ $STATUS == 0 ]] || fail "setup-parent exited $STATUS for JPN"
  expect_output "JPN" "the fifth language through setup-parent"
}

# Database mode with the mouse: SQL stays chosen, Next, the first language.
# (Oracle with the keyboard: the page text test.)
start_parent "$db" LANG=en_US.UTF-8 && {
  settle
  click_on Next
  page_text --wait-for "Choose the language of the setup" >/dev/null || fail "no home page after a click on Next"
  click_on English
  wait_parent
  expect_output "ENUS-db=mssql" "database mode with the mouse"
}

# The exit link asks; No leaves the launcher open, Yes hands over nothing.
start_parent "$plain" LANG=en_US.UTF-8 && {
  settle
  press Tab Tab Tab Tab Tab Tab Tab Tab Return  # six languages, release notes, exit
  wait_windows 2 && pass "the exit link asks" || fail "no close question after the exit link"
  expect_box_centred "without a window manager"
  press Escape  # No
  if wait_windows 1 && kill -0 "$LAUNCHER_PID" 2>/dev/null; then pass "No leaves the launcher open"; else fail "No did not leave the launcher open"; fi
  click_on Exit
  wait_windows 2 || fail "no close question after the exit button"
  press Return  # Yes is the default answer
  wait_parent
  [[ $STATUS == 1 ]] && pass "setup-parent exits 1 after a confirmed close" || fail "setup-parent exited $STATUS after a confirmed close"
  expect_output "" "confirmed close"
}

# Escape, a right click and other keys do nothing on a page: had one of them
# asked the close question, opened a menu or moved the focus, the Tab and
# Return after them would not pick the first language.
start_parent "$plain" LANG=en_US.UTF-8 && {
  settle
  press Escape BackSpace F5 Down
  click_on English 3
  press Tab Return
  wait_parent
  expect_output "ENU" "a choice after the ignored keys and the right click"
}

# A parent of our own, in shell: flock(1) and the pipe read to its end.
lock=$(LANG=de_DE.UTF-8 "$BUILD_DIR/bin/setup-medium" lock "$plain")
LANG=de_DE.UTF-8 flock --shared "$lock" "$plain/setup-launcher" >"$WORK/stdout" 2>"$WORK/stderr" </dev/null &
LAUNCHER_PID=$!
wait_for_window "$plain" && {
  settle
  press Tab Tab Tab Return
  wait_parent
  expect_output "ESN" "a parent holding its lock with flock"
}

# Without its parent, the launcher ends at once and writes nothing. (A
# second launcher beside a running one: twenty at once in the faults test.)
status=0
LANG=ja_JP.UTF-8 timeout 20 "$plain/setup-launcher" >"$WORK/stdout" 2>"$WORK/stderr" </dev/null || status=$?
[[ $status == 0 && ! -s "$WORK/stdout" ]] && pass "without a parent: ends, status 0, nothing written" \
  || fail "without a parent: status $status, wrote [$(cat "$WORK/stdout")]"

# A language whose folder went away shows message 9081, and stays.
start_parent "$plain" LANG=en_US.UTF-8 && {
  settle
  rm -r "$plain/DEU"
  press Tab Tab Return
  wait_windows 2 && pass "a missing folder shows the message" || fail "no message for a missing folder"
  press Return
  wait_windows 1 || fail "the message did not close"
  press Tab Return  # the focus stayed on Deutsch: Tab goes on to Español
  wait_parent
  expect_output "ESN" "a choice after the message"
}

finish
