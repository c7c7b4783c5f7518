#!/usr/bin/env bash
# A medium as it comes from Windows, through setup-parent: the page library
# a resource-only DLL (32- and 64-bit, built here from the sample pages with
# the Back element marked as authors write it, id=AAAAA), setupres.ini with
# a French section in Windows-1252 and a Japanese one in Shift-JIS, and the
# setup folders in lower case, as Linux mounts a disc. The pages read in the
# section's language, Back stays hidden, and the parent receives the folder
# as it is on the medium.
source "$(dirname "$0")/lib.sh"

# windows_library BITS OUT: the sample pages as a resource-only DLL.
windows_library() {
  local bits=$1 out=$2 src="$WORK/rc$1" target
  [[ $bits == 32 ]] && target=i686-w64-mingw32 || target=x86_64-w64-mingw32
  mkdir -p "$src"
  cp "$SOURCE_DIR"/res/pages/*.gif "$SOURCE_DIR/res/pages/database.html" "$src/"
  sed 's/data-visibility="id=AAAAA"/id=AAAAA/' "$SOURCE_DIR/res/pages/home.html" >"$src/home.html"
  cat >"$src/pages.rc" <<'RC'
HTML_HOMEPAGE 23 "home.html"
HTML_SAP 23 "database.html"
GIF_SELECTED GIF "gif_selected.gif"
GIF_NOSELECTED GIF "gif_noselected.gif"
RC
  (cd "$src" && "$target-windres" --preprocessor=cat -O coff pages.rc pages.o &&
    "$target-ld" -shared -e 0 -o "$out" pages.o)
}

# windows_medium NAME BITS: the plain demo medium in Windows form.
windows_medium() {
  local dir
  dir=$(make_medium "$1" medium)
  windows_library "$2" "$dir/SetupHmRes.dll"
  local folder
  for folder in ENU DEU ESN FRA JPN HEB; do mv "$dir/$folder" "$dir/${folder,,}"; done
  # Each section in its own codepage: the French one in Windows-1252 with
  # a product name of its own (the parent's lock is named after it), the
  # Japanese one in Shift-JIS with the languages in Japanese, the Hebrew one
  # in Windows-1255.
  awk -v dir="$WORK/sections" '
    BEGIN { system("mkdir -p " dir) }
    /^\[/ { file = dir "/" substr($0, 2, length($0) - 2) }
    { print > file }' "$SOURCE_DIR/demo/medium/setupres.ini"
  sed -i -e 's/^ProductName=.*/ProductName=Aurora Ledger 7 Édition française/' \
    -e 's/^LANGUAGE4=.*/LANGUAGE4=Japonais,JPN/' -e 's/^LANGUAGE5=.*/LANGUAGE5=Hébreu,HEB/' "$WORK/sections/1036"
  sed -i -e 's/^ProductName=.*/ProductName=オーロラ台帳 7/' -e 's/^LANGUAGE0=.*/LANGUAGE0=英語,ENU/' \
    -e 's/^LANGUAGE1=.*/LANGUAGE1=ドイツ語,DEU/' -e 's/^LANGUAGE2=.*/LANGUAGE2=スペイン語,ESN/' \
    -e 's/^LANGUAGE3=.*/LANGUAGE3=フランス語,FRA/' -e 's/^LANGUAGE5=.*/LANGUAGE5=ヘブライ語,HEB/' "$WORK/sections/1041"
  sed -i -e 's/^LANGUAGE0=.*/LANGUAGE0=אנגלית,ENU/' -e 's/^LANGUAGE1=.*/LANGUAGE1=גרמנית,DEU/' \
    -e 's/^LANGUAGE2=.*/LANGUAGE2=ספרדית,ESN/' -e 's/^LANGUAGE3=.*/LANGUAGE3=צרפתית,FRA/' \
    -e 's/^LANGUAGE4=.*/LANGUAGE4=יפנית,JPN/' "$WORK/sections/1037"
  {
    cat "$WORK/sections/LANGUAGE" "$WORK/sections/1033" "$WORK/sections/1031" "$WORK/sections/1034"
    iconv -f UTF-8 -t CP1252 "$WORK/sections/1036"
    iconv -f UTF-8 -t CP932 "$WORK/sections/1041"
    iconv -f UTF-8 -t CP1255 "$WORK/sections/1037"
  } >"$dir/setupres.ini"
  rm -r "$WORK/sections"
  echo "$dir"
}

# expect_page WHAT LINE...: once the page shows the first and the last LINE,
# it reads exactly the LINEs.
expect_page() {
  local what=$1; shift
  local got
  if ! page_text --wait-for "$1" --wait-for "${!#}" >/dev/null; then
    fail "$what: not shown"
    return
  fi
  got=$(page_text) || got="(unreadable)"
  [[ "$got" == "$(printf '%s\n' "$@")" ]] && pass "$what" || fail "$what reads: $(echo $got)"
}

# expect_caption WANT
expect_caption() {
  local got
  got=$(caption) || got="(no caption)"
  [[ "$got" == "$1" ]] && pass "caption: $1" || fail "caption: '$got', wanted '$1'"
}

win32=$(windows_medium win32 32)
start_parent "$win32" LANG=fr_FR.UTF-8 && {
  expect_caption "Aurora Ledger 7 Édition française – Installation"
  expect_page "32-bit library, Windows-1252 section: the home page without Back" \
    "Aurora Ledger 7 Édition française" "Choisissez la langue de l’installation" \
    English Deutsch Español Français Japonais Hébreu "Notes de version" Quitter
  press Tab Tab Tab Tab Return  # Français
  wait_parent
  [[ $STATUS == 0 ]] || fail "setup-parent exited $STATUS on the 32-bit medium"
  expect_output "fra" "the French folder as it is on the medium"
}

win64=$(windows_medium win64 64)
start_parent "$win64" LANG=ja_JP.UTF-8 && {
  expect_caption "オーロラ台帳 7 セットアップ"
  expect_page "64-bit library, Shift-JIS section: the home page without Back" \
    "オーロラ台帳 7" "セットアップの言語を選択してください" \
    英語 ドイツ語 スペイン語 フランス語 日本語 ヘブライ語 リリースノート 終了
  press Tab Return  # 英語
  wait_parent
  [[ $STATUS == 0 ]] || fail "setup-parent exited $STATUS on the 64-bit medium"
  expect_output "enu" "the English folder as it is on the medium"
}
start_parent "$win64" LANG=he_IL.UTF-8 && {
  expect_caption "התקנת Aurora Ledger 7"
  expect_page "Windows-1255 section" "Aurora Ledger 7" "בחרו את שפת ההתקנה" \
    אנגלית גרמנית ספרדית צרפתית יפנית עברית "הערות גרסה" יציאה
  press Tab Return
  wait_parent
  expect_output "enu" "the first language from the Hebrew section"
}

finish
