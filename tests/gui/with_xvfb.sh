#!/usr/bin/env bash
# Runs a command in a display of its own: an Xvfb server on the first free
# display number, which the server itself picks, so that tests running side
# by side never share or fight over a display. The command runs in a
# process group of its own; whatever of that group is left when it ends (or
# when this script is stopped) is ended with the server.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/wait.sh"
fifo=$(mktemp -u)
mkfifo "$fifo"
# -noreset: the server does not reset when its last client leaves, so the
# next window of a test never meets a server in the middle of a reset.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset 3>"$fifo" >/dev/null 2>&1 &
xvfb=$!
child=
group_ended() { ! kill -0 -- -"$child" 2>/dev/null; }
cleanup() {
  if [[ -n "$child" ]] && kill -TERM -- -"$child" 2>/dev/null; then
    wait_until 10 group_ended || kill -KILL -- -"$child" 2>/dev/null || true
  fi
  kill "$xvfb" 2>/dev/null || true
  wait "$xvfb" 2>/dev/null || true
  rm -f "$fifo"
}
trap cleanup EXIT
trap 'exit 129' HUP
trap 'exit 130' INT
trap 'exit 143' TERM
number=
read -r -t 20 number <"$fifo" || true
if [[ -z "$number" ]]; then
  echo "with_xvfb: Xvfb did not start" >&2
  exit 1
fi
export DISPLAY=":$number"
unset WAYLAND_DISPLAY XAUTHORITY
# The server answers before the command's first window.
display_answers() { xdpyinfo >/dev/null 2>&1; }
if ! wait_until 10 display_answers; then
  echo "with_xvfb: the display $DISPLAY does not answer" >&2
  exit 1
fi
# A session of its own (setsid does not fork here: a background command of
# this script leads no process group), so that the group can be ended whole.
setsid "$@" &
child=$!
status=0
wait "$child" || status=$?
exit "$status"
