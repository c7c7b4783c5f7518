#!/usr/bin/env bash
# Media and desktops nobody here controls: awkward paths, broken files and
# libraries, a parent that goes away, closed handles, a crashing web
# process, many launchers at once. The launcher never crashes, hangs, or
# writes anything but a whole result.
source "$(dirname "$0")/lib.sh"

# A medium in a folder whose path holds blanks, quotes, "%", a newline and
# non-ASCII letters works as any other.
odd="$WORK/a medium 'with' \"quotes\" 100% and
a newline ünd 日本"
mkdir -p "$odd"
cp -r "$(make_medium oddsource medium)/." "$odd/"
start_parent "$odd" LANG=en_US.UTF-8 && {
  settle
  press Tab Tab Return
  wait_parent
  expect_output "DEU" "a medium under an awkward path"
}

# Garbage for setupres.ini: the page shows NULL for its texts and runs on.
garbage=$(make_medium garbage medium)
head -c 65536 /dev/urandom >"$garbage/setupres.ini"
printf '[Setup]\nProductName=Garbage Product\n' >"$garbage/setup.inf"
start_launcher "$garbage" LANG=en_US.UTF-8 && {
  page_text --wait-for NULL >/dev/null && pass "garbage texts read as NULL" || fail "garbage: no NULL on the page"
  stop_launcher
}
# Garbage for setup.inf: no product, so no parent to wait for: it ends.
head -c 4096 /dev/urandom >"$garbage/setup.inf"
status=0
timeout 20 "$garbage/setup-launcher" >"$WORK/stdout" 2>/dev/null </dev/null || status=$?
[[ $status == 0 && ! -s "$WORK/stdout" ]] && pass "garbage setup.inf: ends at once, nothing written" \
  || fail "garbage setup.inf: status $status"

plain=$(make_medium plain medium)
lock_of() { "$BUILD_DIR/bin/setup-medium" lock "$1"; }

# The parent goes away before the result: no SIGPIPE death, no hang; the
# status tells the result was lost.
exec {hold}>"$(lock_of "$plain")"
flock --shared "$hold"
mkfifo "$WORK/pipe"
"$plain/setup-launcher" >"$WORK/pipe" 2>"$WORK/stderr" </dev/null &
LAUNCHER_PID=$!
exec {reader}<"$WORK/pipe"
exec {reader}<&-  # the parent is gone
wait_for_window "$plain" && {
  settle
  press Tab Return
  wait_parent
  [[ $STATUS == 3 ]] && pass "a parent gone before the result: the launcher ends with status 3" \
    || fail "a parent gone before the result: status $STATUS"
}

# Standard output closed, or standard input closed: nothing is written,
# and nothing the launcher opens takes the place of standard output.
for closed in stdout stdin; do
  if [[ $closed == stdout ]]; then
    "$plain/setup-launcher" >&- 2>"$WORK/stderr" </dev/null &
  else
    "$plain/setup-launcher" <&- >"$WORK/stdout" 2>"$WORK/stderr" &
  fi
  LAUNCHER_PID=$!
  wait_for_window "$plain" && {
    settle
    press Tab Return
    wait_parent
    [[ $STATUS == 0 ]] && pass "$closed closed: the launcher ends normally" || fail "$closed closed: status $STATUS"
    [[ $closed == stdin && -s "$WORK/stdout" ]] && fail "stdin closed: a result was written"
  }
done
exec {hold}>&-

# The web process crashes: the page comes back, filled, and works.
start_parent "$plain" LANG=en_US.UTF-8 && {
  settle
  launcher=$(pgrep -P "$LAUNCHER_PID" -x setup-launcher || true)
  web=$(pgrep -f WebKitWebProcess -P "${launcher:-0}" | head -n1 || true)
  if [[ -n "$web" ]]; then
    kill -SEGV "$web"
    page_text --wait-for Deutsch >/dev/null && pass "after a web process crash the page is back, filled" \
      || fail "after a web process crash the page did not come back"
    press Tab Tab Return
    wait_parent
    expect_output "DEU" "a choice after a web process crash"
  else
    fail "no web process found"
    stop_launcher
  fi
}

# Twenty launchers started at the same moment: exactly one stays.
exec {hold}>"$(lock_of "$plain")"
flock --shared "$hold"
pids=()
for i in $(seq 1 20); do
  "$plain/setup-launcher" >"$WORK/out.$i" 2>/dev/null </dev/null &
  pids+=($!)
  started $!
done
alive_count() {
  alive=0
  local pid
  for pid in "${pids[@]}"; do process_ended "$pid" || alive=$((alive + 1)); done
}
at_most_one_alive() { alive_count; ((alive <= 1)); }
wait_until 60 at_most_one_alive || true
[[ $alive == 1 ]] && pass "twenty launchers at once: one stays" || fail "twenty launchers at once: $alive stay"
written=$(cat "$WORK"/out.* | wc -c)
[[ $written == 0 ]] || fail "twenty launchers wrote $written bytes"

# A launcher killed with SIGKILL leaves no lock behind: the next one runs.
for pid in "${pids[@]}"; do kill -KILL "$pid" 2>/dev/null || true; done
for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
exec {hold}>&-
start_parent "$plain" LANG=en_US.UTF-8 && {
  pass "after SIGKILL the next launcher runs"
  stop_launcher
}

# A page library that is no bundle (the unit tests open empty and damaged
# ones; the page text test runs without one): the view's error page, no
# filling, no crash.
broken=$(make_medium broken medium)
echo "<html>no bundle</html>" >"$broken/SetupHmRes.dll"
start_parent "$broken" LANG=en_US.UTF-8 && {
  settle
  kill -0 "$LAUNCHER_PID" 2>/dev/null && pass "a library that is no bundle: the launcher runs on" || fail "a library that is no bundle: ended"
  stop_launcher
  grep -q "^setup-launcher: cannot load res://SetupHmRes.dll/HTML_HOMEPAGE: " "$WORK/stderr" \
    && pass "a library that is no bundle: the failing address on standard error" \
    || fail "a library that is no bundle: standard error was [$(cat "$WORK/stderr")]"
}

# Libraries of the test's own: a home page without a body, one whose
# script goes to the database page by itself while it is being filled, and
# a 10 MB home page.
make_library() {  # DIR HOME_FILE
  mkdir -p "$WORK/lib"
  cp "$2" "$WORK/lib/home"
  cp "$SOURCE_DIR/res/pages/database.html" "$WORK/lib/database"
  cat >"$WORK/lib/lib.xml" <<'XML'
<?xml version="1.0" encoding="UTF-8"?>
<gresources><gresource prefix="/">
<file alias="HTML_HOMEPAGE">home</file><file alias="HTML_SAP">database</file>
</gresource></gresources>
XML
  glib-compile-resources --sourcedir="$WORK/lib" --target="$1/SetupHmRes.dll" "$WORK/lib/lib.xml"
}

custom=$(make_medium custom medium)
printf '<svg xmlns="http://www.w3.org/2000/svg" width="10" height="10"><text>IDEXIT</text></svg>' >"$WORK/nobody.svg"
make_library "$custom" "$WORK/nobody.svg"
start_parent "$custom" LANG=en_US.UTF-8 && {
  # An image, nearly blank on screen: its text, read out, means it has loaded.
  page_text --wait-for IDEXIT >/dev/null || fail "a page without a body was not shown"
  kill -0 "$LAUNCHER_PID" 2>/dev/null && pass "a page without a body: the launcher runs on" || fail "a page without a body: ended"
  stop_launcher
}

cat >"$WORK/wander.html" <<'HTML'
<html><head><meta charset="utf-8"><script>
setTimeout(function () { location.href = 'res://SetupHmRes.dll/HTML_SAP'; }, 0);
</script></head><body><p>IDSELECTLANG</p><a href="res://SetupHmRes.dll/IDRLANGUAGE0">IDLANGUAGE0</a></body></html>
HTML
make_library "$custom" "$WORK/wander.html"
start_parent "$custom" LANG=en_US.UTF-8 && {
  page_text --wait-for "Choose the database for your installation" >/dev/null \
    && pass "a page that moves on by itself: the next page is filled" || fail "a page that moves on by itself"
  stop_launcher
}

{
  printf '<html><head><meta charset="utf-8"></head><body><h1>IDPRODUCTNAME</h1>'
  printf '<a href="res://SetupHmRes.dll/IDRLANGUAGE0">IDLANGUAGE0</a>'
  xs=$(printf 'x%.0s' $(seq 1 4000))
  for i in $(seq 1 2600); do printf '<p>%04d %s</p>\n' "$i" "$xs"; done
  printf '<p>IDEXIT</p></body></html>'
} >"$WORK/big.html"
make_library "$custom" "$WORK/big.html"
start_parent "$custom" LANG=en_US.UTF-8 && {
  page_text --wait-for "Aurora Ledger 7" --timeout 60 >/dev/null && pass "a 10 MB page is filled" || fail "a 10 MB page was not filled"
  press Tab Return
  wait_parent
  expect_output "ENU" "a choice on a 10 MB page"
}

finish
