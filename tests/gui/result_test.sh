#!/usr/bin/env bash
# A result that cannot reach the parent: the launcher says so in one line on
# standard error and exits 3, and setup-parent tells it apart.
source "$(dirname "$0")/lib.sh"

plain=$(make_medium plain medium)
exec {hold}>"$("$BUILD_DIR/bin/setup-medium" lock "$plain")"
flock --shared "$hold"

# expect_lost WHAT: the launcher started as LAUNCHER_PID (or under it) is
# handed the first language; it must end with status 3 and say why once.
expect_lost() {
  wait_for_window "$plain" && {
    settle
    press Tab Return
    wait_parent
    [[ $STATUS == 3 ]] && pass "$1: status 3" || fail "$1: status $STATUS"
    local said
    said=$(grep -c "^setup-launcher: the result could not be handed to the parent: $2" "$WORK/stderr" || true)
    [[ $said == 1 ]] && pass "$1: one line on standard error" || fail "$1: said [$(cat "$WORK/stderr")]"
  }
}

"$plain/setup-launcher" >/dev/full 2>"$WORK/stderr" </dev/null &
LAUNCHER_PID=$!
expect_lost "standard output on a full disk" "No space left on device"

"$plain/setup-launcher" 1</dev/null 2>"$WORK/stderr" </dev/null &
LAUNCHER_PID=$!
expect_lost "standard output open only for reading" "Bad file descriptor"

# A pipe that does not wait, full, whose reader never reads: the launcher
# waits a few seconds for it, then gives up.
python3 - "$plain/setup-launcher" 2>"$WORK/stderr" <<'PY' &
import fcntl, os, sys
r, w = os.pipe()
fcntl.fcntl(w, fcntl.F_SETFL, fcntl.fcntl(w, fcntl.F_GETFL) | os.O_NONBLOCK)
try:
    while True:
        os.write(w, b"x")
except BlockingIOError:
    pass
pid = os.fork()
if pid == 0:
    os.dup2(w, 1)
    os.execv(sys.argv[1], [sys.argv[1]])
os.close(w)
sys.exit(os.waitstatus_to_exitcode(os.waitpid(pid, 0)[1]))
PY
LAUNCHER_PID=$!
expect_lost "a full pipe that does not wait" "its pipe stayed full"
exec {hold}>&-

# setup-parent: a launcher that lost its result, and a result setup-parent
# itself cannot write.
fake=$(make_medium fake medium)
printf '#!/bin/sh\nexit 3\n' >"$fake/setup-launcher"
status=0
"$BUILD_DIR/bin/setup-parent" "$fake" >"$WORK/stdout" 2>"$WORK/stderr" </dev/null || status=$?
[[ $status == 3 && ! -s "$WORK/stdout" ]] && grep -q "could not hand over its result" "$WORK/stderr" \
  && pass "setup-parent: a lost result gives status 3" || fail "setup-parent after a lost result: status $status"

"$BUILD_DIR/bin/setup-parent" "$plain" >/dev/full 2>"$WORK/stderr" </dev/null &
LAUNCHER_PID=$!
wait_for_window "$plain" && {
  settle
  press Tab Return
  wait_parent
  [[ $STATUS == 3 ]] && grep -q "^setup-parent: cannot write the result: No space left on device" "$WORK/stderr" \
    && pass "setup-parent on a full disk: status 3" || fail "setup-parent on a full disk: status $STATUS [$(cat "$WORK/stderr")]"
}

finish
