#!/usr/bin/env bash
# The Debian package as a user gets it: built with cpack from the build
# directory, installed with apt-get (so that its dependencies resolve), its
# files where the shell, man and the tools look for them, the installed demo
# run in Xvfb as a person would; removed again at the end. Needs root for
# apt-get: skipped (77) otherwise. BUILD_DIR and SOURCE_DIR are set by CTest.
set -euo pipefail
: "${BUILD_DIR:?}" "${SOURCE_DIR:?}"

FAILURES=0
fail() { echo "FAIL: $*" >&2; FAILURES=$((FAILURES + 1)); }
pass() { echo "ok: $*"; }

# run_demo WORK ARGS EXPECTED KEYS...: runs the installed setup-launcher-demo
# (in the display this script was started in), finds the launcher's window,
# presses KEYS (a group of keys, or "pause" for a second's wait) and checks
# what the demo printed.
run_demo() {
  local work=$1 args=$2 expected=$3
  shift 3
  local out="$work/demo.out" err="$work/demo.err"
  # A session of its own, so that a demo that hangs can be ended whole.
  # shellcheck disable=SC2086
  setsid setup-launcher-demo $args >"$out" 2>"$err" </dev/null &
  local pid=$! wid=
  for _ in $(seq 1 100); do
    wid=$(xdotool search --onlyvisible --name Aurora 2>/dev/null | head -n1 || true)
    [[ -n "$wid" ]] && break
    sleep 0.2
  done
  if [[ -z "$wid" ]]; then
    fail "setup-launcher-demo $args: no launcher window; it printed: $(cat "$out" "$err")"
    kill -- -"$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
    return
  fi
  xdotool windowfocus --sync "$wid"
  sleep 3  # let the page finish drawing
  local keys
  for keys in "$@"; do
    # shellcheck disable=SC2086  # a group of keys, one word each
    if [[ $keys == pause ]]; then sleep 2; else xdotool key --delay 300 $keys; fi
  done
  local status=0 ended=0
  for _ in $(seq 1 150); do
    if ! kill -0 "$pid" 2>/dev/null; then ended=1; break; fi
    sleep 0.2
  done
  if ((ended == 0)); then
    fail "setup-launcher-demo $args did not end after the keys $*"
    kill -- -"$pid" 2>/dev/null || true
  fi
  wait "$pid" || status=$?
  if [[ $status -eq 0 ]] && grep -qx "The launcher handed over: $expected" "$out"; then
    pass "setup-launcher-demo ${args:-(the plain medium)}: $(tail -n1 "$out")"
  else
    fail "setup-launcher-demo $args: status $status, expected the result $expected; it printed: $(cat "$out" "$err")"
  fi
}

# The part that needs a display: this script again, under with_xvfb.sh.
if [[ "${1:-}" == --in-display ]]; then
  work=$2
  run_demo "$work" "" ENU "Tab Return"
  # The database page comes first: Next with the first database (SQL),
  # then the first language.
  run_demo "$work" --database ENUS-db=mssql "Tab Tab Tab Return" pause "Tab Return"
  exit $((FAILURES > 0))
fi

if [[ $(id -u) -ne 0 ]]; then
  echo "skipped: installing a package needs root"
  exit 77
fi
if dpkg-query -W -f='${Status}' setup-launcher 2>/dev/null | grep -q " installed$"; then
  echo "FAIL: setup-launcher is installed already; this test installs and removes it" >&2
  exit 1
fi

work=$(mktemp -d)
chmod 755 "$work"  # apt reads the package as its own user
installed=0
cleanup() {
  if ((installed)); then apt-get remove -y -qq setup-launcher >/dev/null 2>&1 || true; fi
  rm -rf "$work"
}
trap cleanup EXIT
export XDG_RUNTIME_DIR="$work/run"  # locks of this test's own
mkdir -m 700 "$XDG_RUNTIME_DIR"
export LC_ALL=C.UTF-8 NO_AT_BRIDGE=1

# Build the package, outside the build directory.
if ! (cd "$BUILD_DIR" && cpack -G DEB -B "$work/pkg") >"$work/cpack.log" 2>&1; then
  cat "$work/cpack.log" >&2
  echo "FAIL: cpack could not build the package" >&2
  exit 1
fi
debs=("$work"/pkg/setup-launcher_*.deb)
if [[ ${#debs[@]} -ne 1 || ! -f "${debs[0]}" ]]; then
  echo "FAIL: cpack made no single setup-launcher_*.deb: $(ls "$work/pkg")" >&2
  exit 1
fi
deb=${debs[0]}

# What the package declares: the libraries found by dpkg-shlibdeps and the
# package that really ships glib-compile-resources here (setup-medium pack).
depends=$(dpkg-deb -f "$deb" Depends)
resource_compiler_package=$(dpkg -S "$(command -v glib-compile-resources)" | cut -d: -f1)
missing=()
for p in libwebkit2gtk-4.1-0 libgtk-3-0 libicu72 libstdc++6 "$resource_compiler_package"; do
  [[ ", $depends," == *", $p "* || ", $depends," == *", $p,"* ]] || missing+=("$p")
done
if [[ $(dpkg-deb -f "$deb" Package) == setup-launcher && ${#missing[@]} -eq 0 ]]; then
  pass "the package setup-launcher depends on: $depends"
else
  fail "the package's Depends lacks ${missing[*]}: $depends"
fi

# Install it as a user would, dependencies and all.
if ! DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "$deb" >"$work/apt.log" 2>&1; then
  cat "$work/apt.log" >&2
  echo "FAIL: apt-get could not install $deb" >&2
  exit 1
fi
installed=1

# The programs on PATH, and each one's manual page where man finds it,
# rendering without a warning.
before=$FAILURES
for p in setup-launcher setup-parent setup-medium setup-launcher-demo; do
  [[ "$(command -v "$p")" == "/usr/bin/$p" ]] || fail "$p is not /usr/bin/$p on PATH: $(command -v "$p" || echo none)"
done
for p in setup-launcher setup-parent setup-medium; do
  page=$(man -w "$p" 2>&1) || { fail "man -w $p: $page"; continue; }
  warnings=$(zcat -f "$page" | groff -man -Tutf8 -ww -z 2>&1)
  [[ -z "$warnings" ]] || fail "the manual page $page renders with warnings: $warnings"
done
[[ -f /usr/share/doc/setup-launcher/README.md ]] || fail "no README in /usr/share/doc/setup-launcher"
((FAILURES == before)) && pass "the programs are on PATH, their manual pages found by man"

# The sample page library and its sources: the installed library holds the
# four pages, and the installed setup-medium packs them again (which needs
# glib-compile-resources, from a dependency).
share=/usr/share/setup-launcher
names=$(setup-medium unpack "$share/SetupHmRes.dll" "$work/unpacked" 2>&1 | sort | tr '\n' ' ') || true
if [[ "$names" == "GIF/GIF_NOSELECTED GIF/GIF_SELECTED HTML_HOMEPAGE HTML_SAP " &&
      -f "$share/pages/home.html" && -f "$share/pages/database.html" ]] &&
   setup-medium pack "$work/unpacked" "$work/repacked.dll" >"$work/pack.log" 2>&1; then
  pass "the installed page library, its sources, and setup-medium pack"
else
  fail "the page library: unpack gave '$names'; pack said: $(cat "$work/pack.log" 2>/dev/null)"
fi

# The demo media: whole as the launcher reads them, setups executable.
for medium in medium medium-db; do
  dir="$share/demo/$medium"
  if report=$(setup-medium check "$dir" 2>&1); then
    pass "setup-medium check $dir is clean"
  else
    fail "setup-medium check $dir: $report"
  fi
  for lang in ENU DEU ESN FRA JPN; do
    [[ -x "$dir/$lang/setup.sh" ]] || fail "$dir/$lang/setup.sh is missing or not executable"
  done
done

# Without a display the demo says so and ends with 1.
status=0
err=$(env -u DISPLAY -u WAYLAND_DISPLAY setup-launcher-demo 2>&1 >/dev/null) || status=$?
if [[ $status -eq 1 && "$err" == *"no display"* ]]; then
  pass "setup-launcher-demo without a display: $err"
else
  fail "setup-launcher-demo without a display: status $status, said: $err"
fi

# The installed demo in a display, both media.
"$SOURCE_DIR/tests/gui/with_xvfb.sh" "$0" --in-display "$work" || FAILURES=$((FAILURES + 1))

# Leave the machine as it was.
if apt-get remove -y -qq setup-launcher >"$work/remove.log" 2>&1 && [[ ! -e /usr/bin/setup-launcher ]]; then
  installed=0
  pass "apt-get remove setup-launcher"
else
  fail "apt-get remove setup-launcher: $(cat "$work/remove.log")"
fi

((FAILURES == 0)) || { echo "$FAILURES check(s) failed" >&2; exit 1; }
