#!/usr/bin/env bash
# Pages that never let go: a script that loops before the page has loaded or
# right after, and one that floods the view with navigations. The launcher
# never hangs: a web process that does not answer is ended like a crashed
# one, a close the user confirms ends it at once, and a command the page
# sends while the close question shows never overrides the user's answer.
source "$(dirname "$0")/lib.sh"

openbox --sm-disable >/dev/null 2>&1 &
started $!
wm_running() { xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; }
wait_until 10 wm_running || fail "openbox did not start"

# medium_with_page NAME BODY: the plain demo medium whose home page is BODY.
medium_with_page() {
  local dir pages
  dir=$(make_medium "$1" medium)
  pages="$WORK/$1-pages"
  mkdir -p "$pages"
  printf '<!DOCTYPE html><html><head><meta charset="utf-8"></head><body>%s</body></html>' "$2" \
    >"$pages/HTML_HOMEPAGE"
  "$BUILD_DIR/bin/setup-medium" pack "$pages" "$dir/SetupHmRes.dll" >/dev/null
  echo "$dir"
}

# close_and_confirm WHAT: Alt+F4, then Yes to the close question; the parent
# then hands over nothing, and soon.
close_and_confirm() {
  press alt+F4
  # A user whose first Alt+F4 went nowhere (the window manager was busy)
  # presses it again; a second one while the question shows does nothing.
  wait_windows 2 10 || press alt+F4
  if ! wait_windows 2 20; then
    fail "$1: no close question"
    stop_launcher
    return
  fi
  local start=$SECONDS
  press Return  # Yes
  wait_parent
  [[ $STATUS == 1 ]] && pass "$1: the close ends the launcher ($((SECONDS - start)) s after Yes)" \
    || fail "$1: setup-parent exited $STATUS"
  expect_output "" "$1"
}

links='<a href="res://SetupHmRes.dll/IDRLANGUAGE0">IDLANGUAGE0</a> <a href="res://SetupHmRes.dll/IDREXIT">IDEXIT</a>'

# Pages that keep the web process from answering: a script that loops
# before the page has loaded, one that loops once the document is parsed,
# and one that loops as soon as the launcher reads the page. Each time the
# launcher waits 3 s at most, ends that web process and reloads the page,
# three times; then it ends with status 1 (setup-parent: 2), hands over
# nothing, and its last line says why. Each page: its name, its script, what
# the line says.
while IFS='|' read -r name script why; do
  page=$(medium_with_page "$name" "$links$script")
  start_parent "$page" LANG=en_US.UTF-8 && {
    wait_until 90 process_ended "$LAUNCHER_PID" || fail "$name: the launcher did not give up"
    wait_parent
    given_up=$(grep "^setup-launcher: " "$WORK/stderr" | tail -n1 || true)
    [[ $STATUS == 2 && $given_up == *"keeps failing"*"$why"* ]] \
      && pass "$name: the launcher gives up: $given_up" \
      || fail "$name: status $STATUS, standard error: $(cat "$WORK/stderr")"
    expect_output "" "$name"
  }
done <<'PAGES'
a page whose script never ends before it has loaded|<script>for (;;) {}</script>|did not finish loading
a page that loops once its document is parsed|<script>addEventListener('DOMContentLoaded', () => { for (;;) {} });</script>|did not finish loading
a page that loops after loading|<script>Object.defineProperty(Element.prototype, 'outerHTML', { get() { for (;;) {} } });</script>|did not answer
PAGES
looping="$WORK/a page that loops after loading"

# The same page, and the user leaves while the launcher waits for it: the
# question comes once the wait is over, and Yes ends the launcher.
start_parent "$looping" LANG=en_US.UTF-8 && close_and_confirm "leaving a page that loops"

# A page that reloads itself and changes its address as fast as it can.
flood="$links<script>let n = 0; setInterval(() => { location.hash = 'n' + n++; }, 0);
addEventListener('load', () => setTimeout(() => location.replace('res://SetupHmRes.dll/HTML_HOMEPAGE?' + Date.now()), 0));</script>"
flooding=$(medium_with_page flooding "$flood")
start_parent "$flooding" LANG=en_US.UTF-8 && close_and_confirm "a page that floods the view"

# A page that picks a language as soon as the close question takes the
# focus, and then says so: the pick waits behind the question, and the Yes
# drops it.
sneaky=$(medium_with_page sneaky "$links<script>addEventListener('blur', () =>
  setTimeout(() => { location.href = 'res://SetupHmRes.dll/IDRLANGUAGE0';
    document.body.append(document.createElement('p'));
    document.body.lastChild.textContent = 'Picked'; }, 300));</script>")
start_parent "$sneaky" LANG=en_US.UTF-8 && {
  page_text --wait-for English >/dev/null || fail "the sneaky page was not filled"
  press alt+F4
  if wait_windows 2; then
    page_text --wait-for Picked >/dev/null || fail "the sneaky page did not pick"
    [[ $(window_count) == 2 ]] && pass "the page's pick waits behind the close question" \
      || fail "the page's pick did not wait for the close question"
    press Return  # Yes
    wait_parent
    expect_output "" "a pick the page sent while the close question showed"
  else
    fail "the sneaky page: no close question"
  fi
}

finish
