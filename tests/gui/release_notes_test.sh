#!/usr/bin/env bash
# The release-notes link: the notes of the current language open in the
# desktop's program for HTML, which gets none of the launcher's descriptors,
# or, without such a program, in a window of the launcher's own view. Which
# file (the language's, 1033's, a database's folder) is a unit test.
source "$(dirname "$0")/lib.sh"

plain=$(make_medium plain medium)

fake_desktop

# German: the notes in folder 1031 open in the viewer. Then a language is
# chosen: the parent reads the end of the pipe while the viewer lives on.
start_parent "$plain" LANG=de_DE.UTF-8 "${with_viewer[@]}" && {
  settle
  press Tab Tab Tab Tab Tab Tab Tab Return  # six languages, then the notes
  if wait_for_file "$WORK/viewer-args"; then
    [[ "$(cat "$WORK/viewer-args")" == "$plain/1031/readme.html" ]] && pass "the German notes open in the viewer" \
      || fail "the viewer was given: $(cat "$WORK/viewer-args")"
    if grep -q -e pipe -e '\.lock' "$WORK/viewer-fds"; then
      fail "the viewer holds the launcher's descriptors:"; cat "$WORK/viewer-fds" >&2
    else
      pass "the viewer holds no pipe and no lock of the launcher"
    fi
  else
    fail "the viewer did not start"
  fi
  click_on English
  wait_parent
  [[ $STATUS == 0 ]] || fail "setup-parent: status $STATUS while the viewer lives"
  expect_output "ENU" "a choice while the viewer lives"
}
stop_viewers

# No program for HTML: the notes open in a window of the launcher's own,
# which bears the notes' title and stays with the launcher's window.
start_parent "$plain" LANG=en_US.UTF-8 "${without_viewer[@]}" && {
  settle
  press Tab Tab Tab Tab Tab Tab Tab Return
  wait_windows 2 && pass "without a viewer the notes open in a new window" \
    || fail "without a viewer: $(window_count) window(s)"
  notes=$(other_window)
  notes_titled() { [[ "$(xdotool getwindowname "$notes" 2>/dev/null)" == "Aurora Ledger 7 – Release notes" ]]; }
  wait_until 10 notes_titled && pass "the notes window bears the notes' title" \
    || fail "the notes window is titled \"$(xdotool getwindowname "$notes" 2>/dev/null)\""
  transient_for=$(xprop -id "${notes:-0}" WM_TRANSIENT_FOR 2>/dev/null | sed -n 's/.*window id # //p')
  [[ -n "$transient_for" && $((transient_for)) == "$WINDOW" ]] && pass "the notes window stays with the launcher's" \
    || fail "the notes window is transient for \"$transient_for\", not the launcher's window $WINDOW"
  kill -0 "$LAUNCHER_PID" 2>/dev/null && pass "the launcher stays" || fail "the launcher ended"
  stop_launcher
  [[ -s "$WORK/stdout" ]] && fail "standard output written"
}

# Notes missing in both places: message 9082 with the 1033 path, and the
# launcher stays.
rm -r "$plain/1033" "$plain/1031"
start_parent "$plain" LANG=de_DE.UTF-8 "${with_viewer[@]}" && {
  settle
  press Tab Tab Tab Tab Tab Tab Tab Return
  wait_windows 2 && pass "missing notes show the message" || fail "no message for missing notes"
  [[ -s "$WORK/viewer-args" ]] && fail "the viewer started for missing notes"
  press Return
  wait_windows 1 && kill -0 "$LAUNCHER_PID" 2>/dev/null && pass "the message closes, the launcher stays" \
    || fail "after the message"
  stop_launcher
}
stop_viewers

finish
