#!/usr/bin/env bash
# The disc as its user meets it: a medium made by init, written to an image
# by setup-medium image, read back from the image (mounted read-only where
# the test may mount, else extracted by xorriso), and its entry point run as
# a user runs it: unattended, on a terminal, through sh, and from a copy
# that lost its execute bits. Each time the chosen language's own setup
# runs, with the database chosen, and the entry point's status says what
# happened.
set -uo pipefail
: "${BUILD_DIR:?}" "${SOURCE_DIR:?}"
work=$(mktemp -d)
disc=
noexec=
cleanup() {
  [[ -n $disc ]] && mountpoint -q "$disc" && umount "$disc"
  [[ -n $noexec ]] && umount "$noexec"
  chmod -R u+w "$work" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
export XDG_RUNTIME_DIR=$work/run LANG=C.UTF-8
mkdir -m 700 "$XDG_RUNTIME_DIR"
unset LC_ALL LC_MESSAGES SETUP_LAUNCHER_LANGUAGE SETUP_LAUNCHER_DATABASE DISPLAY WAYLAND_DISPLAY
fails=0
fail() { echo "FAIL: $*"; fails=$((fails + 1)); }
tool=$BUILD_DIR/bin/setup-medium
terminal_session=$SOURCE_DIR/tests/support/terminal_session.py

medium=$work/borealis
"$tool" init "$medium" --database --languages 1033,1031,1046 >/dev/null 2>"$work/err" ||
  { echo "FAIL: init: $(cat "$work/err")"; exit 1; }
# The Brazilian setup fails as a real one may: the entry point says so.
printf '#!/bin/sh\necho "PTB setup failed"\nexit 7\n' >"$medium/PTB/setup.sh"
"$tool" check "$medium" >"$work/check" 2>&1 || fail "check: $(cat "$work/check")"

"$tool" image "$medium" "$work/borealis.iso" >"$work/out" 2>"$work/err" ||
  { echo "FAIL: image: $(cat "$work/err")"; exit 1; }
grep -q "wrote $work/borealis.iso (volume MY_PRODUCT" "$work/out" || fail "image: said $(cat "$work/out")"
[[ ! -e "$work/borealis.iso.part" ]] || fail "image: the part file stayed"

disc=$work/disc
mkdir "$disc"
if mount -o loop,ro "$work/borealis.iso" "$disc" 2>/dev/null; then
  echo "ok: the image mounts read-only"
else
  disc_copy=$disc disc=
  xorriso -osirrox on -indev "$work/borealis.iso" -extract / "$disc_copy" >/dev/null 2>&1 ||
    { echo "FAIL: the image cannot be read back"; exit 1; }
  chmod -R a-w "$disc_copy"
  disc_root=$disc_copy
fi
disc_root=${disc_root:-$disc}
[[ -x $disc_root/setup && -x $disc_root/setup-parent && -x $disc_root/ENU/setup.sh ]] ||
  fail "the image lost the execute bits: $(ls -l "$disc_root" "$disc_root/ENU")"

# A copy without execute bits, as an image written without Rock Ridge
# gives: its programs run from a folder of their own.
plain=$work/plain-copy
cp -r "$disc_root" "$plain"
chmod -R u+w,a-x "$plain"
chmod a+x "$plain" "$plain"/*/

# A copy whose launcher was lost on its way (an empty file).
broken=$work/broken-copy
cp -r "$disc_root" "$broken"
chmod -R u+w "$broken"
: >"$broken/setup-launcher"

# The disc mounted noexec, where it may be mounted so.
noexec_row=
if mkdir "$work/noexec" && mount -t tmpfs -o noexec,size=256m tmpfs "$work/noexec" 2>/dev/null; then
  noexec=$work/noexec
  cp -a "$disc_root/." "$noexec/"
  noexec_row="a disc mounted noexec, through sh|noexec|--language=ENU --database=oracle|0|"
else
  echo "skip: no noexec mount here: the copy without execute bits stands for one"
fi

english="The setup for English (ENU) would run here"
german="The setup for Deutsch (DEU) would run here"
# Each row: how the entry point runs, its answers, the status and the line
# its setup writes ("" when no setup runs).
while IFS='|' read -r name how answers want_status want_out; do
  [[ -n $name ]] || continue
  read -ra args <<<"$answers"
  case $how in
    disc) run=("$disc_root/setup") ;;
    sh) run=(sh "$disc_root/setup") ;;
    copy) run=(sh "$plain/setup") ;;
    noexec) run=(sh "$noexec/setup") ;;
    broken) run=("$broken/setup") ;;
    # Another launcher runs: it holds the lock every launcher takes.
    busy) run=(flock -o -x "$XDG_RUNTIME_DIR/PreventSecondInstance.lock" "$disc_root/setup") ;;
  esac
  status=0
  (cd "$work" && "${run[@]}" "${args[@]}") >"$work/out" 2>"$work/err" </dev/null || status=$?
  out=$(cat "$work/out")
  if [[ $status == "$want_status" && $out == "$want_out" ]]; then
    echo "ok: $name"
  else
    fail "$name: status $status, wrote [$out], wanted $want_status [$want_out]; stderr: $(cat "$work/err")"
  fi
done <<ROWS
from the disc, English with SQL|disc|--language=ENU --database=SQL|0|$english, for the database SQL (option -db=mssql).
through sh, German with Oracle|sh|--language=Deutsch --database=oracle|0|$german, for the database Oracle (option -db=oracle).
a copy without execute bits|copy|--language=2 --database=SQL|0|$german, for the database SQL (option -db=mssql).
the setup's own status|disc|--language=PTB --database=SQL|7|PTB setup failed
an answer naming no language|disc|--language=Klingon|82|
another launcher running|busy|--language=ENU|81|
a damaged launcher|broken|--language=ENU|83|
${noexec_row:+$noexec_row$english, for the database Oracle (option -db=oracle).}
a mistake on the command line|disc|--languages=ENU|2|
ROWS
grep -q "setup-parent: unknown option" "$work/err" || fail "the mistake is not named: $(cat "$work/err")"
[[ -z $(find "${XDG_RUNTIME_DIR}" -maxdepth 1 -name 'setup.*') ]] || fail "a copy of the programs stayed behind"

# On a terminal: the database page, then the languages; the setup's line
# comes after the launcher has put the terminal back.
status=0
"$terminal_session" --screen "$work/screen" --expect "> " --type $'\n' --expect "> " --type $'2\n' -- \
  "$disc_root/setup" --text >"$work/out" 2>"$work/err" || status=$?
[[ $status == 0 && $(cat "$work/out") == "$german, for the database SQL (option -db=mssql)." ]] &&
  echo "ok: on a terminal" || fail "terminal: status $status, wrote [$(cat "$work/out")]: $(cat "$work/err")"
status=0
"$terminal_session" --screen "$work/screen" --expect "> " --type $'\n' --expect "> " --type $'q\n' \
  --expect "[y/n]" --type $'y\n' -- "$disc_root/setup" --text >"$work/out" 2>"$work/err" || status=$?
[[ $status == 80 && ! -s $work/out ]] && echo "ok: leaving on a terminal" ||
  fail "leaving: status $status, wrote [$(cat "$work/out")]: $(cat "$work/err")"

# The demo media carry their entry point too.
for demo in medium medium-db; do
  [[ -x $BUILD_DIR/media/$demo/setup && -x $BUILD_DIR/media/$demo/setup-parent ]] ||
    fail "the demo $demo has no entry point"
done

((fails == 0)) || exit 1
echo "all checks passed"
