#!/usr/bin/env bash
# setup-medium init writes a medium that check passes and the launcher runs
# unattended, of real files only, in the languages asked for (English under
# a comment where the demo has no texts of a language), from the build tree
# and from an installed tree (a temporary prefix); it refuses a folder that
# is not empty and an unknown language id in one line, writing nothing.
set -uo pipefail
: "${BUILD_DIR:?}" "${SOURCE_DIR:?}"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export XDG_RUNTIME_DIR=$work/run LANG=C.UTF-8
mkdir -m 700 "$XDG_RUNTIME_DIR"
unset LC_ALL LC_MESSAGES SETUP_LAUNCHER_LANGUAGE SETUP_LAUNCHER_DATABASE
fails=0
fail() { echo "FAIL: $*"; fails=$((fails + 1)); }

# A medium made by init: check passes, the launcher hands over WANT for
# the unattended answer, and no file is a link.
expect_medium() {  # NAME TOOL DIR WANT ANSWER... -- INIT_ARGS...
  local name=$1 tool=$2 dir=$3 want=$4
  shift 4
  local answer=()
  while [[ $1 != -- ]]; do answer+=("$1"); shift; done
  shift
  if ! "$tool" init "$dir" "$@" >"$work/out" 2>"$work/err"; then
    fail "$name: init failed: $(cat "$work/err")"; return
  fi
  "$tool" check "$dir" >"$work/check" 2>&1 || fail "$name: check: $(cat "$work/check")"
  [[ -z $(find "$dir" -type l) ]] || fail "$name: links in the medium: $(find "$dir" -type l)"
  local got
  got=$("$BUILD_DIR/bin/setup-parent" "${answer[@]}" "$dir" </dev/null 2>"$work/err")
  [[ $got == "$want" ]] || fail "$name: the launcher handed over \"$got\", not \"$want\": $(cat "$work/err")"
  echo "ok: $name"
}

tool=$BUILD_DIR/bin/setup-medium
expect_medium "one language, the default" "$tool" "$work/one" ENU --language=1 -- 
expect_medium "eight languages, some without demo texts" "$tool" "$work/three" ITA --language=3 -- \
  --languages 1031,1036,1040,3076,1025,1037,1041,1046
expect_medium "a database choice" "$tool" "$work/db" DEUO-db=oracle --language=deutsch --database=oracle -- \
  --database --languages=1033,1031
# The texts: own words where the demo has them, the section every other
# system reads, English under the marker elsewhere, which never shows.
res=$work/three/setupres.ini
[[ $("$tool" get "$res" 1031 EXIT) == Beenden ]] || fail "German texts are not the demo's"
[[ $("$tool" get "$res" 1033 32001) == English ]] || fail "no section 1033 for other systems"
[[ $("$tool" get "$res" 1040 EXIT) == Exit ]] || fail "Italian stands in English"
[[ $("$tool" get "$res" LANGUAGE LANGUAGENUMBER) == 8 ]] || fail "LANGUAGENUMBER is not 8"
# Each language is listed under its own name, in the folder Windows names.
for entry in 2=Italiano,ITA 4=العربية,ARA 5=עברית,HEB 6=日本語,JPN "7=Português (Brasil),PTB"; do
  got=$("$tool" get "$res" 1036 "LANGUAGE${entry%%=*}")
  [[ $got == "${entry#*=}" ]] || fail "LANGUAGE${entry%%=*} is \"$got\", not \"${entry#*=}\""
done
sed -n '/^\[1040\]/,/^\[/p' "$res" | grep -q '^; TODO translate' || fail "no translation marker in [1040]"
grep -v '^;' "$res" | grep -q TODO && fail "the marker is in a value"
[[ -f $work/db/SQL/1031/readme.html && -f $work/db/Oracle/1033/readme.html ]] || fail "database release notes"
[[ -x $work/one/setup-launcher && -f $work/one/setup-launcher-gtk.so && -f $work/one/SetupHmRes.dll ]] ||
  fail "the launcher, its window or the library is missing"

# Refusals: one line, status 1 (2 for a wrong command line), nothing written.
refuse() {  # NAME STATUS PATTERN INIT_ARGS...
  local name=$1 want=$2 pattern=$3
  shift 3
  "$tool" init "$@" >"$work/out" 2>"$work/err"
  local status=$?
  if [[ $status != "$want" || -s "$work/out" || $(wc -l <"$work/err") != 1 ]] || ! grep -q "$pattern" "$work/err"; then
    fail "$name: status $status, output \"$(cat "$work/out")\", error: $(cat "$work/err")"
  else
    echo "ok: $name"
  fi
}
refuse "a folder that is not empty" 1 "is not empty" "$work/one"
refuse "an unknown language id" 1 "unknown language id 99$" "$work/new" --languages 1033,99
refuse "a language id that is no number" 2 "not a language id" "$work/new" --languages 1033,de
[[ -e $work/new ]] && fail "a refused init left $work/new"
# add-language: a language added to a medium reads as one init wrote:
# check passes, the parent hands over its folder, and setupres.ini loses no
# line (comments, order and Windows line ends stay; only LANGUAGENUMBER
# changes). Each case: init's arguments, a change made to setupres.ini
# first (sed), the id, the answer, what the parent hands over.
while IFS='|' read -r name init_args change id answer want; do
  dir=$work/add-$id
  read -ra words <<<"$init_args"
  "$tool" init "$dir" "${words[@]}" >/dev/null || { fail "add-language $name: init"; continue; }
  res=$dir/setupres.ini
  [[ -n $change ]] && sed -i "$change" "$res"
  cp "$res" "$work/before.ini"
  lines=$(wc -l <"$res")
  if ! "$tool" add-language "$dir" "$id" >"$work/out" 2>"$work/err"; then
    fail "add-language $name: $(cat "$work/err")"; continue
  fi
  "$tool" check "$dir" >"$work/check" 2>&1 || fail "add-language $name: check: $(cat "$work/check")"
  got=$("$BUILD_DIR/bin/setup-parent" $answer "$dir" </dev/null 2>"$work/err")
  [[ $got == "$want" ]] || fail "add-language $name: the launcher handed over \"$got\", not \"$want\": $(cat "$work/err")"
  lost=$(diff "$work/before.ini" "$res" | grep '^<' | grep -v "^< LANGUAGENUMBER=")
  [[ -z $lost ]] || fail "add-language $name: lines lost: $lost"
  [[ $change != *'\r'* || $(grep -c $'\r$' "$res") == $(wc -l <"$res") ]] || fail "add-language $name: line ends mixed"
  [[ $("$tool" get "$res" LANGUAGE LANGUAGENUMBER) == $(($("$tool" get --int "$work/before.ini" LANGUAGE LANGUAGENUMBER 1) + 1)) ]] ||
    fail "add-language $name: LANGUAGENUMBER is $("$tool" get "$res" LANGUAGE LANGUAGENUMBER)"
  echo "ok: add-language $name"
done <<'CASES'
a language without demo texts|--languages 1033,1031|s/^; Written by.*/&\n; the author's own comment/|1040|--language=ITA|ITA
Windows line ends, a database choice|--database --languages 1033|s/$/\r/|1036|--language=FRA --database=oracle|FRAO-db=oracle
no LANGUAGENUMBER yet|--languages 1033|/^LANGUAGENUMBER=/d|1031|--language=DEU|DEU
CASES
sed -n '/^\[1040\]/,/^\[/p' "$work/add-1040/setupres.ini" | grep -q '^; TODO translate' || fail "no translation marker in the added [1040]"
[[ $("$tool" get "$work/add-1040/setupres.ini" 1031 LANGUAGE2) == "Italiano,ITA" ]] || fail "the added entry in [1031]"
# The entry point runs the added folder's placeholder setup.
[[ $("$work/add-1040/setup" --language=ITA </dev/null 2>&1) == *"(ITA) would run here"* ]] || fail "the added ITA/setup.sh"

# add-language refuses, in one line with status 1, changing nothing: a
# folder that is no medium, an unknown id, an id with a section, a folder
# that is there (in another case), a list that has the next entry already.
"$tool" init "$work/taken" --languages 1033,1031 >/dev/null
mkdir "$work/taken/ita" "$work/no-medium"
sed -i '/^\[1031\]/,/^LANGUAGE1=/{/^LANGUAGE1=/a LANGUAGE2=Extra,EXTRA
}' "$work/taken/setupres.ini"
tree() { (cd "$1" && find . -printf '%p %s %T@\n' | sort); }
tree "$work/taken" >"$work/taken.tree"
while IFS='|' read -r dir id pattern; do
  "$tool" add-language "$work/$dir" "$id" >"$work/out" 2>"$work/err"
  status=$?
  if [[ $status == 1 && ! -s "$work/out" && $(wc -l <"$work/err") == 1 ]] && grep -q "$pattern" "$work/err" &&
    [[ $(tree "$work/taken") == "$(cat "$work/taken.tree")" ]]; then
    echo "ok: add-language refuses $dir $id"
  else
    fail "add-language $dir $id: status $status, output \"$(cat "$work/out")\", error: $(cat "$work/err")"
  fi
done <<'CASES'
no-medium|1040|no-medium/setup.inf is missing
taken|99|unknown language id 99$
taken|1031|language id 1031 is on the medium already
taken|1040|the folder .*/taken/ita exists already
taken|1036|\[1031\] has LANGUAGE2 already
CASES

# A full filesystem (a small one of its own): the system's reason in one
# line, whether the texts or the launcher's copy do not fit, and nothing
# left behind.
if unshare -rm true 2>/dev/null; then
  mkdir "$work/full"
  for size in 8k 64k; do
    unshare -rm sh -c 'mount -t tmpfs -o size="$1" none "$2" && "$3" init "$2/m"; status=$?; ls -A "$2"; exit $status' \
      sh "$size" "$work/full" "$tool" >"$work/out" 2>"$work/err"
    status=$?
    if [[ $status == 1 && ! -s "$work/out" && $(wc -l <"$work/err") == 1 ]] &&
      grep -q "^setup-medium: cannot write $work/full/m/.*: .*No space left on device$" "$work/err"; then
      echo "ok: a full filesystem ($size)"
    else
      fail "a full filesystem ($size): status $status, left \"$(cat "$work/out")\", error: $(cat "$work/err")"
    fi
  done
else
  echo "skipped: a full filesystem (no user namespaces)"
fi

# Installed into a prefix of the test's own, the build tree left as it was:
# the launcher from lib/setup-launcher, the data from share/.
source "$SOURCE_DIR/tests/support/build_tree.sh"
if TMPDIR=$work keeping_build_tree cmake --install "$BUILD_DIR" --prefix "$work/usr" >"$work/install" 2>&1; then
  expect_medium "from the installed tree" "$work/usr/bin/setup-medium" "$work/installed" DEU --language=DEU -- \
    --languages 1033,1031
else
  fail "cmake --install: $(tail -3 "$work/install")"
fi
exit $((fails > 0))
