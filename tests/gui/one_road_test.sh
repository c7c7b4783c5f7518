#!/usr/bin/env bash
# Every front end takes the same road: the window driven by keys, the dialog
# in words on a terminal (--text), answers given beforehand (--language) and
# the list (--list) all show the medium's own pages from its library, filled
# alike, and resolve a link alike. Each row of the table builds a small
# medium and runs the four over it: they offer the same languages, and the
# same choice hands the parent the same bytes; a medium none of them can
# show is refused by each, saying why.
source "$(dirname "$0")/lib.sh"

export LANG=C.UTF-8
unset LC_ALL LC_MESSAGES SETUP_LAUNCHER_LANGUAGE SETUP_LAUNCHER_DATABASE
medium_tool=$BUILD_DIR/bin/setup-medium
terminal_session=$SOURCE_DIR/tests/support/terminal_session.py

# The window of a medium without its page library has no exit link: it is
# closed through its frame, which needs a window manager.
openbox --sm-disable >/dev/null 2>&1 &
started $!
wm_running() { xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; }
wait_until 10 wm_running || fail "openbox did not start"

# ---- the media ----------------------------------------------------------

# texts DIR DEMO ENTRY...: setupres.ini with the English texts of a demo
# medium and the language entries ENTRY (Deutsch,DEU) alone.
texts() {
  local dir=$1 demo=$2 n=0 entry
  shift 2
  {
    printf '[LANGUAGE]\nLANGUAGENUMBER=%d\n\n' $#
    awk '/^\[/ {s = ($0 == "[1033]")} s && !/^LANGUAGE[0-9]/' "$SOURCE_DIR/demo/$demo/setupres.ini"
    for entry; do
      echo "LANGUAGE$n=$entry"
      n=$((n + 1))
    done
  } >"$dir/setupres.ini"
  cp "$SOURCE_DIR/demo/$demo/setup.inf" "$dir/"
}

# folders DIR NAME...: a language's setup in each folder NAME.
folders() {
  local dir=$1 name
  shift
  for name; do
    mkdir -p "$dir/$name"
    printf '#!/bin/sh\necho %s\n' "$name" >"$dir/$name/setup.sh"
  done
}

# library DIR [FILE PAGE]...: the page library of the sample pages, each
# FILE of them (home.html, database.html) replaced with PAGE.
library() {
  local dir=$1 pages
  shift
  pages=$(mktemp -d "$WORK/pages.XXXX")
  cp -r "$SOURCE_DIR/res/pages/." "$pages/"
  while (($#)); do
    cp "$2" "$pages/$1"
    shift 2
  done
  "$medium_tool" pack "$pages" "$dir/SetupHmRes.dll" >/dev/null
}

# A home page that writes its language names itself, without slots; the
# first language's folder is missing.
medium_own_names() {
  texts "$1" medium English,ENU Deutsch,DEU Français,FRA
  folders "$1" DEU FRA
  cat >"$WORK/own-names.html" <<'HTML'
<!DOCTYPE html>
<html><head><meta charset="utf-8"><title>Setup</title></head>
<body>
<h1>IDPRODUCTNAME</h1>
<h2>IDSELECTLANG</h2>
<p><a href="res://SetupHmRes.dll/IDRLANGUAGE0">English</a></p>
<p><a href="res://SetupHmRes.dll/IDRLANGUAGE1">Deutsch</a></p>
<p><a href="res://SetupHmRes.dll/IDRLANGUAGE2">Français</a></p>
<p><a href="res://SetupHmRes.dll/IDRRELNOTES">IDRELNOTES</a>
<a href="res://SetupHmRes.dll/IDREXIT">IDEXIT</a></p>
</body></html>
HTML
  library "$1" home.html "$WORK/own-names.html"
}

# The sample home page with two language slots, four languages installable.
medium_two_slots() {
  texts "$1" medium English,ENU Deutsch,DEU Español,ESN Français,FRA
  folders "$1" ENU DEU ESN FRA
  sed '/IDRLANGUAGE[2-8]/d' "$SOURCE_DIR/res/pages/home.html" >"$WORK/two-slots.html"
  library "$1" home.html "$WORK/two-slots.html"
}

# Everything but the page library.
medium_no_library() {
  texts "$1" medium English,ENU Deutsch,DEU
  folders "$1" ENU DEU
}

# A database choice whose page comes with Oracle checked.
medium_oracle_checked() {
  texts "$1" medium-db English,ENU Deutsch,DEU
  folders "$1" ENU DEU
  sed -e '/id="IDSELECTSQL"/{s/GIF_SELECTED/GIF_NOSELECTED/;s/aria-checked="true"/aria-checked="false"/}' \
    -e '/id="IDSELECTORACLE"/{s/GIF_NOSELECTED/GIF_SELECTED/;s/aria-checked="false"/aria-checked="true"/}' \
    "$SOURCE_DIR/res/pages/database.html" >"$WORK/oracle-checked.html"
  library "$1" database.html "$WORK/oracle-checked.html"
}

# A language's folder in lower case, as Linux may mount a disc.
medium_lower_case() {
  texts "$1" medium English,ENU Deutsch,DEU
  folders "$1" enu DEU
  library "$1"
}

# ---- the front ends -----------------------------------------------------

# The road a user takes, the same in the window and on the terminal, one
# step after another:
#   pick N   the Nth language offered
#   missing  the message that the language has no setup here, dismissed
#   next     on the database page, on with the choice the page checked
#   close    the launcher closed, and the close question answered Yes
# What the row expects of a run: the bytes handed over (- for none), or
# "exit N": status N, nothing on standard output, and one line on standard
# error (matching the row's refusal, when it has one).

# check_run WHAT WANT STATUS OUT_FILE ERR_FILE
check_run() {
  local what=$1 want=$2 status=$3 out err lines
  out=$(cat "$4"; printf x)
  out=${out%x}
  err=$(cat "$5")
  lines=$(grep -c '' "$5" || true)
  if [[ $want == "exit "* ]]; then
    if [[ $status != "${want#exit }" || -n $out || $lines != 1 ]]; then
      fail "$what: status $status, handed over [$out], said [$err]; wanted status ${want#exit }, nothing, one line"
    elif [[ -n $refusal ]] && ! grep -q -- "$refusal" "$5"; then
      fail "$what: said [$err], which does not name $refusal"
    else
      pass "$what: status $status, one line: $err"
    fi
  else
    [[ $want == - ]] && want=
    if [[ $status != 0 || $out != "$want" || -n $err ]]; then
      fail "$what: status $status, handed over [$out], said [$err]; wanted status 0, [$want], nothing said"
    else
      pass "$what: [$out]"
    fi
  fi
}

# same_offer WHAT SHOWN: SHOWN, the names of the languages a front end
# offered one a line, is the row's offer.
same_offer() {
  if [[ "$2" == "$offer" ]]; then
    pass "$1 offers [${offer//$'\n'/, }]"
  else
    fail "$1 offers [${2//$'\n'/, }], wanted [${offer//$'\n'/, }]"
  fi
}

# window_offer [--wait-for TEXT]...: the names of the page's language
# links, one a line (once it shows each TEXT).
window_offer() {
  page_text --links "$@" | awk -F'\t' '$2 ~ /\/IDRLANGUAGE[0-9]+$/ {print $1}'
}

# follow NAME: once the page shows NAME, filled (its exit text shows too),
# Tab to the link or control NAME and Return. FOCUS is the place in the
# Tab order the keyboard is at (0: none yet).
follow() {
  local name=$1 controls k
  mapfile -t controls < <(page_text --controls --wait-for "$name" --wait-for "$exit_text" --timeout 10)
  for ((k = 1; k <= ${#controls[@]}; k++)); do
    [[ ${controls[k - 1]} == "$name" ]] && break
  done
  if ((k > ${#controls[@]} || k < FOCUS)); then
    echo "no link $name after the keyboard's place: ${controls[*]}" >&2
    return 1
  fi
  local keys=()
  while ((FOCUS < k)); do keys+=(Tab); FOCUS=$((FOCUS + 1)); done
  press "${keys[@]}" Return
}

# window_road DIR: starts the launcher's window under its parent and takes
# the row's road with keys; the offer is read where the first language is
# picked (or where the window is closed).
window_road() {
  local step offered=0 shown
  FOCUS=0
  start_launcher "$1" || return 0
  page_text --wait-active >/dev/null || fail "window: never had the keyboard"
  for step in "${road[@]}"; do
    if [[ $offered == 0 && ($step == "pick "* || $step == close) ]]; then
      offered=1
      if [[ -n $refusal ]]; then
        shown=$(page_text) || true
        grep -q -- "$refusal" <<<"$shown" && pass "window: the engine's page says [${shown//$'\n'/ }]" \
          || fail "window: the page [${shown//$'\n'/ }] does not name $refusal"
        same_offer window "$(window_offer)"
      else
        # The home page, filled (after a database page, which has its own
        # exit text).
        same_offer window "$(window_offer --wait-for "$exit_text" --wait-for "${offered_names[0]}" --timeout 10)"
      fi
    fi
    case $step in
      "pick "*) follow "${offered_names[${step#pick } - 1]}" ;;
      next) follow "$next_text" && FOCUS=0 ;;
      missing)
        page_text --box --wait-for "$missing_text" --timeout 10 >/dev/null && press Return && wait_windows 1 \
          && page_text --wait-active >/dev/null ;;
      close)
        press alt+F4 && page_text --box --wait-for "$close_text" --timeout 10 >/dev/null && press Return ;;
    esac || {
      if process_ended "$LAUNCHER_PID"; then wait_parent; else stop_launcher; STATUS="stopped"; fi
      fail "window: the step [$step] could not be taken; the window handed over [$(cat "$WORK/stdout")], status $STATUS"
      return
    }
  done
  wait_parent
  check_run "window" "$result" "$STATUS" "$WORK/stdout" /dev/null
  [[ -z $refusal ]] || grep -q -- "$refusal" "$WORK/stderr" \
    || fail "window: standard error does not name $refusal: [$(cat "$WORK/stderr")]"
}

# terminal_road DIR: the dialog in words on a terminal, under its parent,
# taking the row's road; its offer is the numbered choices of the first page
# that offers release notes.
terminal_road() {
  local steps=() step status=0
  if [[ -z $refusal ]]; then
    for step in "${road[@]}"; do
      case $step in
        "pick "*) steps+=(--expect "> " --type "${step#pick }"$'\n') ;;
        next) steps+=(--expect "$next_text" --expect "> " --type $'\n') ;;
        missing) steps+=(--expect "$missing_text" --type $'\n') ;;
        close) steps+=(--expect "> " --type $'q\n' --expect "[y/n]" --type $'y\n') ;;
      esac
    done
  fi
  "$terminal_session" --screen "$WORK/screen" "${steps[@]}" -- \
    flock --shared "$lock" "$1/setup-launcher" --text >"$WORK/stdout" 2>"$WORK/stderr" || status=$?
  check_run "terminal" "$(if [[ -n $refusal ]]; then echo "exit 1"; else echo "$result"; fi)" \
    "$status" "$WORK/stdout" "$WORK/stderr"
  same_offer terminal "$(awk '
    /^ *\*? *[0-9]+  / { sub(/^ *\*? *[0-9]+ +/, ""); block = block $0 "\n"; next }
    /^ +[0-9]+ r  / && block != "" { printf "%s", block; exit }
    { block = "" }' "$WORK/screen")"
  if [[ $status != 0 && $status != 1 ]]; then
    echo "--- the terminal showed:" >&2
    cat "$WORK/screen" >&2
    echo >&2
  fi
}

# answers DIR: each answer given beforehand, under the parent.
answers() {
  local answer args want status
  for answer in "${given[@]}"; do
    args=${answer% => *}
    want=${answer#* => }
    status=0
    # shellcheck disable=SC2086  # the options a word each
    flock --shared "$lock" "$1/setup-launcher" $args >"$WORK/stdout" 2>"$WORK/stderr" </dev/null || status=$?
    check_run "$args" "$want" "$status" "$WORK/stdout" "$WORK/stderr"
  done
}

# list DIR: the list, without a parent.
list() {
  local status=0 want=$listed
  [[ $want == "exit "* ]] || want=$(sed 's/ /\t/' <<<"${want//, /$'\n'}")$'\n'
  "$1/setup-launcher" --list >"$WORK/stdout" 2>"$WORK/stderr" </dev/null || status=$?
  check_run "--list" "$want" "$status" "$WORK/stdout" "$WORK/stderr"
}

# split ARRAY TEXT: the comma-separated items of TEXT, without the blanks
# around them.
split() {
  local -n items=$1
  local item split_items
  items=()
  IFS=, read -ra split_items <<<"$2"
  for item in "${split_items[@]}"; do
    read -r item <<<"$item"
    items+=("$item")
  done
}

# ---- the table ----------------------------------------------------------

offered_names=() road=() given=()
# medium | offered languages (- none) | the road, in the window and on the
# terminal | bytes handed over | what a refusal names | --list (folder
# name, ...) | answers given beforehand => bytes handed over
while IFS='|' read -r -u 3 medium offered road_text result refusal listed given_text; do
  [[ -z $medium || $medium == \#* ]] && continue
  read -r medium <<<"$medium"
  read -r result <<<"$result"
  read -r refusal <<<"$refusal"
  [[ $refusal == - ]] && refusal=
  read -r listed <<<"$listed"
  split offered_names "$offered"
  [[ ${offered_names[*]} == - ]] && offered_names=()
  offer=$(printf '%s\n' "${offered_names[@]}")
  offer=${offer%$'\n'}
  split road "$road_text"
  split given "$given_text"

  echo "--- $medium"
  dir="$WORK/$medium"
  mkdir -p "$dir"
  cp "$BUILD_DIR/bin/setup-launcher" "$BUILD_DIR/bin/setup-launcher-gtk.so" "$dir/"
  "medium_$medium" "$dir"
  lock=$("$medium_tool" lock "$dir")
  exit_text=$("$medium_tool" get "$dir/setupres.ini" 1033 EXIT)
  next_text=$("$medium_tool" get "$dir/setupres.ini" 1033 NEXT)
  missing_text=$("$medium_tool" get "$dir/setupres.ini" 1033 9081)
  close_text=$("$medium_tool" get "$dir/setupres.ini" 1033 9085)

  window_road "$dir"
  terminal_road "$dir"
  answers "$dir"
  list "$dir"
done 3<<'TABLE'
# medium       | offered                    | road                    | result         | refusal        | --list                    | answers
own_names      | English, Deutsch, Français | pick 1, missing, pick 2 | DEU            | -              | DEU Deutsch, FRA Français | --language=Deutsch => DEU, --language=deutsch => DEU, --language=2 => DEU, --language=1 => exit 3, --language=English => exit 3
two_slots      | English, Deutsch           | pick 2                  | DEU            | -              | ENU English, DEU Deutsch  | --language=2 => DEU, --language=3 => exit 3, --language=ESN => exit 3
no_library     | -                          | close                   | -              | SetupHmRes.dll | exit 1                    | --language=1 => exit 1
oracle_checked | English, Deutsch           | next, pick 1            | ENUO-db=oracle | -              | ENU English, DEU Deutsch  | --language=1 => ENUO-db=oracle, --language=1 --database=SQL => ENUS-db=mssql
lower_case     | English, Deutsch           | pick 1                  | enu            | -              | enu English, DEU Deutsch  | --language=ENU => enu, --language=english => enu
TABLE

finish
