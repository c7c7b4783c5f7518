#!/usr/bin/env bash
# The Debian package as a user gets it, without touching the system: built
# with cpack from the build directory, its control fields read with
# dpkg-deb, and its files unpacked with dpkg-deb -x into a folder of the
# test's own, where the programs, manual pages, README, page library and
# demo media are checked and the demo runs in Xvfb as a person would run it.
# The dependencies must name the package of every library the programs
# load; the package has no maintainer scripts; the programs are stripped,
# their debug information in the -dbgsym package beside; cmake --install
# puts the same files in the same places.
#
# With SETUP_LAUNCHER_APT_TEST=1 (as root, with the package not installed)
# the package is also installed with apt-get, so that its dependencies
# resolve, checked where the shell and man find it, its demo run, and
# removed again. BUILD_DIR and SOURCE_DIR are set by CTest.
set -euo pipefail
: "${BUILD_DIR:?}" "${SOURCE_DIR:?}"
source "$SOURCE_DIR/tests/gui/wait.sh"
source "$SOURCE_DIR/tests/support/build_tree.sh"

FAILURES=0
fail() { echo "FAIL: $*" >&2; FAILURES=$((FAILURES + 1)); }
pass() { echo "ok: $*"; }

# run_demo WORK BIN ARGS EXPECTED KEYS...: runs BIN/setup-launcher-demo (in
# the display this script was started in), waits for the launcher's page,
# presses KEYS (a group of keys, or "next-page": wait until the window
# shows another page) and checks what the demo printed.
run_demo() {
  local work=$1 bin=$2 args=$3 expected=$4
  shift 4
  local out="$work/demo.out" err="$work/demo.err"
  # A session of its own, so that a demo that hangs can be ended whole.
  # shellcheck disable=SC2086
  setsid "$bin/setup-launcher-demo" $args >"$out" 2>"$err" </dev/null &
  DEMO_PID=$!
  WID=
  if ! wait_until 20 demo_window_or_end || [[ -z "$WID" ]]; then
    fail "setup-launcher-demo $args: no launcher window; it printed: $(cat "$out" "$err")"
    stop_demo
    return
  fi
  xdotool windowfocus --sync "$WID"
  wait_for_picture "$WID" "$work/page.png" || fail "setup-launcher-demo $args: the first page was not drawn"
  local keys
  for keys in "$@"; do
    if [[ $keys == next-page ]]; then
      wait_for_picture "$WID" "$work/next.png" "$work/page.png" || fail "setup-launcher-demo $args: no next page"
      mv "$work/next.png" "$work/page.png"
    else
      # shellcheck disable=SC2086  # a group of keys, one word each
      xdotool key --delay 200 $keys
    fi
  done
  local status=0
  if ! wait_until 30 process_ended "$DEMO_PID"; then
    fail "setup-launcher-demo $args did not end after the keys $*"
    stop_demo
    return
  fi
  wait "$DEMO_PID" || status=$?
  DEMO_PID=
  if [[ $status -eq 0 ]] && grep -qx "The launcher handed over: $expected" "$out"; then
    pass "$bin/setup-launcher-demo ${args:-(the plain medium)}: $(tail -n1 "$out")"
  else
    fail "setup-launcher-demo $args: status $status, expected the result $expected; it printed: $(cat "$out" "$err")"
  fi
}
demo_window_or_end() {
  WID=$(xdotool search --onlyvisible --name Aurora 2>/dev/null | head -n1 || true)
  [[ -n "$WID" ]] || process_ended "$DEMO_PID"
}
stop_demo() {
  if [[ -n "${DEMO_PID:-}" ]]; then
    kill -- -"$DEMO_PID" 2>/dev/null || true
    wait "$DEMO_PID" 2>/dev/null || true
  fi
  DEMO_PID=
}

# The part that needs a display: this script again, under with_xvfb.sh.
if [[ "${1:-}" == --in-display ]]; then
  work=$2 bin=$3
  DEMO_PID=
  trap stop_demo EXIT
  run_demo "$work" "$bin" "" ENU "Tab Return"
  # The database page comes first: Next with the first database (SQL),
  # then the first language.
  run_demo "$work" "$bin" --database ENUS-db=mssql "Tab Tab Tab Return" next-page "Tab Return"
  exit $((FAILURES > 0))
fi

work=$(mktemp -d)
installed=0
cleanup() {
  if ((installed)); then apt-get remove -y -qq setup-launcher >/dev/null 2>&1 || true; fi
  rm -rf "$work"
}
trap cleanup EXIT
export XDG_RUNTIME_DIR="$work/run"  # locks of this test's own
mkdir -m 700 "$XDG_RUNTIME_DIR"
export LC_ALL=C.UTF-8 NO_AT_BRIDGE=1 TMPDIR="$work"

# Build the package, outside the build directory.
if ! (cd "$BUILD_DIR" && keeping_build_tree cpack -G DEB -B "$work/pkg") >"$work/cpack.log" 2>&1; then
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
root="$work/root"
if ! dpkg-deb -I "$deb" >"$work/info" 2>&1 || ! dpkg-deb -x "$deb" "$root" 2>>"$work/info"; then
  cat "$work/info" >&2
  echo "FAIL: dpkg-deb cannot read $deb" >&2
  exit 1
fi

# What the package declares: a package for this machine, depending on the
# package of each library its programs load (their own entries, resolved
# as the loader resolves them here), and recommending, not depending on,
# the package that ships glib-compile-resources here (a development tool
# that only setup-medium pack runs).
package_of() {  # FILE: the installed package that ships it
  local real candidate
  real=$(readlink -f "$1")
  for candidate in "$1" "/usr$1" "${1#/usr}" "$real" "/usr$real" "${real#/usr}"; do
    if dpkg -S "$candidate" >"$work/owner" 2>/dev/null; then
      head -n1 "$work/owner" | cut -d: -f1
      return 0
    fi
  done
  echo "(no package for $1)"
}
wanted=()
for program in "$root"/usr/bin/* "$root"/usr/lib/setup-launcher/*; do
  [[ "$(head -c 4 "$program")" == $'\x7fELF' ]] || continue
  while read -r library; do
    path=$(ldd "$program" | awk -v l="$library" '$1 == l { print $3 }')
    wanted+=("$(package_of "${path:-$library}")")
  done < <(readelf -d "$program" | sed -n 's/.*(NEEDED).*\[\(.*\)\]$/\1/p')
done
package_names() { tr ',|' '\n\n' | sed 's/(.*//; s/:.*//; s/[[:space:]]//g' | sort -u; }
depends=$(dpkg-deb -f "$deb" Depends)
declared=$(package_names <<<"$depends")
missing=$(printf '%s\n' "${wanted[@]}" | sort -u | grep -vxF -f <(echo "$declared") || true)
if [[ $(dpkg-deb -f "$deb" Package) == setup-launcher &&
      $(dpkg-deb -f "$deb" Architecture) == "$(dpkg --print-architecture)" && -z "$missing" ]]; then
  pass "the package setup-launcher depends on: $depends"
else
  fail "the package's control fields: $(cat "$work/info"); its Depends lacks: ${missing//$'\n'/ }"
fi
compiler=$(package_of "$(command -v glib-compile-resources)")
recommends=$(dpkg-deb -f "$deb" Recommends)
if package_names <<<"$recommends" | grep -qxF "$compiler" && ! grep -qxF "$compiler" <<<"$declared"; then
  pass "the package recommends $recommends"
else
  fail "the package does not recommend (only) $compiler: Depends: $depends; Recommends: $recommends"
fi

# No maintainer scripts: the package puts no library where the linker
# looks, so it has no ldconfig to run.
mkdir "$work/control"
dpkg-deb -e "$deb" "$work/control"
scripts=$(find "$work/control" -type f ! -name control ! -name md5sums -printf '%f\n')
if [[ -z $scripts ]]; then
  pass "the package has no maintainer scripts"
else
  fail "the package has maintainer scripts: $(for f in $scripts; do echo "$f:"; cat "$work/control/$f"; done)"
fi

# cmake --install with DESTDIR puts the package's files and folders where
# the package has them, with the same modes (no symbolic links).
listing() { awk '{ sub(/^[.]/, "", $6); sub(/[/]$/, "", $6); if ($6 != "") print $1, $6 }' | sort -k2; }
if ! DESTDIR="$work/staging" keeping_build_tree cmake --install "$BUILD_DIR" --prefix /usr >"$work/install.log" 2>&1; then
  fail "cmake --install: $(tail -3 "$work/install.log")"
elif diff <(dpkg-deb -c "$deb" | listing) <(cd "$work/staging" && find . -mindepth 1 -printf '%M /%P\n' | sort -k2) \
    >"$work/layout.diff"; then
  pass "cmake --install puts the package's $(dpkg-deb -c "$deb" | wc -l) entries where the package has them"
else
  fail "cmake --install and the package differ (< package, > cmake --install): $(cat "$work/layout.diff")"
fi

# The debug information: each ELF file of the package is stripped and
# names its debug file, which the -dbgsym package holds under its build id.
ddebs=("$work"/pkg/setup-launcher-dbgsym_*.ddeb)
before=$FAILURES
if [[ ${#ddebs[@]} -ne 1 || ! -f "${ddebs[0]}" ]] || ! dpkg-deb -x "${ddebs[0]}" "$work/dbgsym" 2>"$work/info"; then
  fail "cpack made no readable setup-launcher-dbgsym_*.ddeb: $(ls "$work/pkg") $(cat "$work/info")"
fi
elves=0
while IFS= read -r -d '' file; do
  cmp -s -n 4 "$file" <(printf '\177ELF') || continue
  elves=$((elves + 1))
  sections=$(readelf -S "$file")
  id=$(readelf -n "$file" | sed -n 's/.*Build ID: \([0-9a-f]*\).*/\1/p')
  [[ $sections != *.debug_info* ]] || fail "${file#"$root"} holds its debug information"
  [[ $sections == *.gnu_debuglink* && -n "$id" &&
     -f "$work/dbgsym/usr/lib/debug/.build-id/${id:0:2}/${id:2}.debug" ]] ||
    fail "${file#"$root"}: no debug file for its build id '$id' in the -dbgsym package"
done < <(find "$root/usr" -type f -print0)
((elves >= 8)) || fail "the package holds $elves ELF files, not the launcher, its window, the tools and the demo media's copies"
((FAILURES == before)) && pass "$elves ELF files, stripped; their debug information is in ${ddebs[0]##*/}"

# check_files ROOT: the tools in ROOT/usr/bin, the launcher and its window
# in ROOT/usr/lib/setup-launcher, each program's manual page where man finds
# it, rendering without a warning, the README, the page library and the demo
# media, as the package put them under ROOT ("" for the system).
check_files() {
  local root=$1 before=$FAILURES p page warnings
  local bin="$root/usr/bin" share="$root/usr/share/setup-launcher" lib="$root/usr/lib/setup-launcher"
  local man=(man -M "$root/usr/share/man")
  [[ -n "$root" ]] || man=(man)
  for p in setup-parent setup-medium setup-launcher-demo; do
    [[ -x "$bin/$p" ]] || fail "$bin/$p is missing or not executable"
  done
  # The launcher is copied onto media, not run from PATH.
  [[ -x "$lib/setup-launcher" && -f "$lib/setup-launcher-gtk.so" && ! -e "$bin/setup-launcher" ]] ||
    fail "the launcher and its window are not (only) in $lib: $(ls "$lib" "$bin" 2>&1 | tr '\n' ' ')"
  for p in setup-launcher setup-parent setup-medium; do
    page=$("${man[@]}" -w "$p" 2>&1) || { fail "man -w $p: $page"; continue; }
    warnings=$(zcat -f "$page" | groff -man -Tutf8 -ww -z 2>&1)
    [[ -z "$warnings" ]] || fail "the manual page $page renders with warnings: $warnings"
  done
  ((FAILURES == before)) && pass "$bin holds the tools, $lib the launcher, man finds their manual pages"

  # The README names the installed files, each of which is there.
  local readme="$root/usr/share/doc/setup-launcher/README.md" path
  before=$FAILURES
  if [[ ! -f "$readme" ]]; then
    fail "no README in $root/usr/share/doc/setup-launcher"
  else
    ! grep -n 'build/\(bin\|media\|pages\)/' "$readme" >"$work/readme.log" ||
      fail "the installed README names build paths: $(cat "$work/readme.log")"
    while read -r path; do
      [[ -e "$root$path" ]] || fail "the installed README names $path, which the package lacks"
    done < <(grep -o '/usr/[A-Za-z0-9_./-]*setup-launcher[A-Za-z0-9_./-]*' "$readme" | sed 's/[.]*$//' | sort -u)
    grep -q "/usr/lib/setup-launcher/setup-launcher" "$readme" || fail "the installed README does not say where the launcher is"
    # It opens with commands that run from the installed files: the demo
    # and init, and manual pages that man finds.
    local opening word arg
    opening=$(awk '/^```/ { n++; next } n == 1' "$readme")
    [[ $opening == *setup-launcher-demo* && $opening == *"setup-medium init"* ]] ||
      fail "the installed README does not open with setup-launcher-demo and setup-medium init: $opening"
    while read -r word arg _; do
      if [[ $word == man ]]; then
        "${man[@]}" -w "$arg" >/dev/null 2>&1 || fail "the installed README opens with man $arg, which finds no page"
      else
        [[ -x "$bin/$word" ]] || fail "the installed README opens with $word, which is not in $bin"
      fi
    done <<<"$opening"
  fi
  ((FAILURES == before)) && pass "the installed README names installed paths only"

  # The sample page library and its sources: the library holds the four
  # pages, and setup-medium packs them again (with glib-compile-resources,
  # from a recommended package that this machine has).
  local names unpacked="$work/unpacked$$" status=0
  rm -rf "$unpacked"
  names=$("$bin/setup-medium" unpack "$share/SetupHmRes.dll" "$unpacked" 2>&1 | sort | tr '\n' ' ') || status=$?
  if [[ $status == 0 && "$names" == "GIF/GIF_NOSELECTED GIF/GIF_SELECTED HTML_HOMEPAGE.html HTML_SAP.html " &&
        -f "$share/pages/home.html" && -f "$share/pages/database.html" ]] &&
     "$bin/setup-medium" pack "$unpacked" "$work/repacked.dll" >"$work/pack.log" 2>&1; then
    pass "the page library of $share, its sources, and setup-medium pack"
  else
    fail "the page library of $share: unpack gave '$names'; pack said: $(cat "$work/pack.log" 2>/dev/null)"
  fi

  # The demo media: whole as the launcher reads them, setups executable,
  # real files only (a link breaks when the medium is copied; the demo runs
  # a copy).
  local medium dir report lang links
  links=$(find "$share/demo" -type l)
  [[ -z "$links" ]] || fail "the demo media hold symbolic links: $links"
  for medium in medium medium-db; do
    dir="$share/demo/$medium"
    for p in setup-launcher setup-launcher-gtk.so SetupHmRes.dll; do
      [[ -f "$dir/$p" ]] || fail "$dir/$p is missing"
    done
    if report=$("$bin/setup-medium" check "$dir" 2>&1); then
      pass "setup-medium check $dir is clean"
    else
      fail "setup-medium check $dir: $report"
    fi
    for lang in ENU DEU ESN FRA JPN; do
      [[ -x "$dir/$lang/setup.sh" ]] || fail "$dir/$lang/setup.sh is missing or not executable"
    done
  done

  # Without a display the demo says so and ends with 1.
  local err
  status=0
  err=$(env -u DISPLAY -u WAYLAND_DISPLAY timeout 20 "$bin/setup-launcher-demo" 2>&1 >/dev/null) || status=$?
  if [[ $status -eq 1 && "$err" == *"no display"* ]]; then
    pass "setup-launcher-demo without a display: $err"
  else
    fail "setup-launcher-demo without a display: status $status, said: $err"
  fi

  # The demo in a display, both media.
  "$SOURCE_DIR/tests/gui/with_xvfb.sh" "$0" --in-display "$work" "$bin" || FAILURES=$((FAILURES + 1))
}

check_files "$root"

# The install with apt-get, on request only: it changes the system.
if [[ "${SETUP_LAUNCHER_APT_TEST:-0}" != 1 ]]; then
  echo "skipped: the install with apt-get (SETUP_LAUNCHER_APT_TEST=1 runs it, as root)"
elif [[ $(id -u) -ne 0 ]]; then
  fail "SETUP_LAUNCHER_APT_TEST=1: installing a package needs root"
elif dpkg-query -W -f='${Status}' setup-launcher 2>/dev/null | grep -q " installed$"; then
  fail "SETUP_LAUNCHER_APT_TEST=1: setup-launcher is installed already; the install test would remove it"
else
  chmod 755 "$work"  # apt reads the package as its own user
  # Install it as a user would, dependencies and all.
  if DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "$deb" >"$work/apt.log" 2>&1; then
    installed=1
    pass "apt-get install $deb"
    for p in setup-parent setup-medium setup-launcher-demo; do
      [[ "$(command -v "$p")" == "/usr/bin/$p" ]] || fail "$p is not /usr/bin/$p on PATH: $(command -v "$p" || echo none)"
    done
    check_files ""
    # Leave the machine as it was.
    if apt-get remove -y -qq setup-launcher >"$work/remove.log" 2>&1 && [[ ! -e /usr/lib/setup-launcher/setup-launcher ]]; then
      installed=0
      pass "apt-get remove setup-launcher"
    else
      fail "apt-get remove setup-launcher: $(cat "$work/remove.log")"
    fi
  else
    fail "apt-get could not install $deb: $(cat "$work/apt.log")"
  fi
fi

((FAILURES == 0)) || { echo "$FAILURES check(s) failed" >&2; exit 1; }
