#!/usr/bin/env bash
# A sealed medium in the window: a damaged file of the chosen folder is
# named in a message box and nothing is handed over; the progress box of a
# check that hangs on a slow drive (a FIFO without data) is cancelled back
# to the page; the user then chooses a language that is whole.
source "$(dirname "$0")/lib.sh"

medium=$(make_medium sealed medium)
"$BUILD_DIR/bin/setup-medium" seal "$medium" >/dev/null
printf 'X' >>"$medium/DEU/setup.sh"
# A listed file that never ends: its read waits as one of a hung drive does.
mkfifo "$medium/FRA/slow.cab"
exec {writer}<>"$medium/FRA/slow.cab"
echo "$(printf '%064d' 0)  FRA/slow.cab" >>"$medium/SHA256SUMS"

damaged="The medium is damaged: DEU/setup.sh cannot be read or is not as it was made. Use another copy of the medium."
checking="Checking the setup files on the medium"
box_closed() { windows_are 1; }

start_launcher "$medium"
settle

# Damage: the message names the file; nothing is handed over; the page
# stays.
click_on Deutsch
if page_text --box --wait-for "$damaged" --timeout 10 >/dev/null; then
  pass "a damaged file is named"
  press Return
  wait_until 10 box_closed && pass "the message goes, the page stays" || fail "the message box stays"
else
  fail "no message naming the damaged file"
fi
[[ ! -s "$WORK/stdout" ]] && kill -0 "$LAUNCHER_PID" && pass "nothing handed over after the damage" \
  || fail "after the damage: handed over [$(cat "$WORK/stdout")]"

# A check that hangs: the progress box shows, and its Cancel brings the
# page back with nothing handed over while the read still waits.
click_on Français
if where=$(page_text --box --wait-for "$checking" --where Cancel --timeout 10); then
  pass "the progress box shows while the drive hangs"
  box=$(other_window)
  # shellcheck disable=SC2086  # "X Y"
  xdotool mousemove --window "$box" $where click 1
  wait_until 10 box_closed && pass "Cancel brings the page back" || fail "the progress box stays after Cancel"
else
  fail "no progress box with Cancel"
fi
[[ ! -s "$WORK/stdout" ]] && kill -0 "$LAUNCHER_PID" && pass "nothing handed over after Cancel" \
  || fail "after Cancel: handed over [$(cat "$WORK/stdout")]"

# A folder that is whole is checked and handed over.
click_on English
wait_until 20 process_ended "$LAUNCHER_PID" || fail "the launcher did not end after a whole folder"
expect_output ENU "a whole folder, checked"
exec {writer}>&-

finish
