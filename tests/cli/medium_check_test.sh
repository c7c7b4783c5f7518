#!/usr/bin/env bash
# setup-medium check finds each defect of a set of broken media (one
# defect each) and nothing on the demo media; pack and unpack round-trip.
set -uo pipefail
: "${BUILD_DIR:?}" "${SOURCE_DIR:?}"
tool="$BUILD_DIR/bin/setup-medium"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fails=0
fail() { echo "FAIL: $*"; fails=$((fails + 1)); }

# The demo media, assembled and as their sources stand (without the
# launcher, which a medium being written has not yet): no error.
for medium in medium medium-db; do
  out=$(LC_ALL=en_US.UTF-8 "$tool" check "$BUILD_DIR/media/$medium")
  status=$?
  [[ $status == 0 && -z "$out" ]] && echo "ok: the demo $medium is clean" || fail "demo $medium: status $status: $out"
  out=$(LC_ALL=en_US.UTF-8 "$tool" check "$SOURCE_DIR/demo/$medium")
  status=$?
  [[ $status == 0 && "$out" == *"[launcher-missing]" && $(wc -l <<<"$out") == 1 ]] \
    && echo "ok: the demo $medium's sources" || fail "demo sources $medium: status $status: $out"
done

# broken NAME SOURCE_MEDIUM: a copy to break, without the seal, which each
# change would break as well.
broken() {
  rm -rf "$work/$1"
  cp -r "$BUILD_DIR/media/$2" "$work/$1"
  rm "$work/$1/SHA256SUMS"
  echo "$work/$1"
}
# expect NAME STATUS SEVERITY CODE PATTERN: check exits with STATUS and
# reports one finding of CODE, of SEVERITY, on a line matching PATTERN (on
# a system of the locale $LOCALE, en_US.UTF-8 unless set); with $COUNT,
# exactly COUNT findings of CODE, each of them so. CODE "-" wants no
# finding at all.
expect() {
  local dir=$work/$1 want_status=$2 severity=$3 code=$4 pattern=${5:-} out status all lines
  out=$(LC_ALL=${LOCALE:-en_US.UTF-8} "$tool" check "$dir")
  status=$?
  if [[ $code == - ]]; then
    [[ $status == "$want_status" && -z "$out" ]] && echo "ok: $1" || { fail "$1: status $status, wanted nothing; said:"; echo "$out"; }
    return
  fi
  all=$(grep -F "[$code]" <<<"$out")
  lines=$(grep -F ": $severity: " <<<"$all" | grep -E "$pattern")
  if [[ $status == "$want_status" && $(grep -c . <<<"$lines") == "${COUNT:-1}" &&
    (-z ${COUNT:-} || $(grep -c . <<<"$all") == "$COUNT") ]]; then
    echo "ok: $1"
  else
    fail "$1: status $status, wanted $want_status and ${COUNT:-one} $severity [$code] /$pattern/; said:"; echo "$out"
  fi
}
# library NAME MEDIUM SED_ON_HOME [SED_ON_DATABASE]: a medium whose page
# library, unpacked, edited and packed again, has one defect.
library() {
  local d pages
  d=$(broken "$1" "$2")
  pages="$work/$1-pages"
  rm -rf "$pages"
  "$tool" unpack "$BUILD_DIR/pages/SetupHmRes.dll" "$pages" >/dev/null
  [[ -n "$3" ]] && sed -i "$3" "$pages/HTML_HOMEPAGE.html"
  [[ -n "${4:-}" ]] && sed -i "$4" "$pages/HTML_SAP.html"
  "$tool" pack "$pages" "$d/SetupHmRes.dll" 2>/dev/null || fail "pack $1"
}
res() { sed -i "$2" "$work/$1/setupres.ini"; }
inf() { sed -i "$2" "$work/$1/setup.inf"; }

# One defect a medium: NAME, how it is made, then what check says.
broken no-marker medium >/dev/null; res no-marker '0,/^32001=Deutsch/{/^32001=Deutsch/d}'
expect no-marker 1 error no-presence-marker '^setupres.ini:30: \[1031\] 32001: error: no presence marker'
broken missing-key medium >/dev/null; res missing-key '/^\[1036\]/,/^\[/{/^RELNOTES=/d}'
expect missing-key 1 error missing-text '^setupres.ini:82: \[1036\] RELNOTES: error: missing: shows NULL'
broken missing-dialog-text medium >/dev/null; res missing-dialog-text '/^\[1041\]/,/^\[/{/^9085=/d}'
expect missing-dialog-text 1 error missing-text '\[1041\] 9085: error: missing'
# Every section lists ESN: one finding for the entry.
d=$(broken missing-folder medium); rm -r "$d/ESN"
expect missing-folder 0 warning language-folder-missing '^setupres.ini:25: \[1033\] LANGUAGE2: warning: the folder "ESN" is missing'
d=$(broken folder-is-file medium); rm -r "$d/JPN"; echo x >"$d/JPN"
expect folder-is-file 1 error language-folder-not-folder '\[1033\] LANGUAGE4: error: the folder "JPN" is a file'
for folder in .. ../JPN JPN/..; do
  broken "folder-outside-${folder//\//_}" medium >/dev/null; res "folder-outside-${folder//\//_}" "s/,JPN\$/,${folder//\//\\/}/"
  expect "folder-outside-${folder//\//_}" 1 error language-folder-outside "\\[1033\\] LANGUAGE4: error: the folder \"${folder//./\\.}\" leads out of the medium"
done
# The same entry written wrong in every section: told at each line.
broken no-comma medium >/dev/null; res no-comma 's/^LANGUAGE1=Deutsch,DEU$/LANGUAGE1=Deutsch DEU/'
COUNT=6 expect no-comma 1 error language-entry-no-folder '^setupres.ini:(24|50|76|102|128|154): \[[0-9]+\] LANGUAGE1: error: no comma'
broken english-name medium >/dev/null; res english-name 's/^LANGUAGE1=Deutsch,DEU$/LANGUAGE1=German,DEU/'
expect english-name 0 note english-language-name '\[1033\] LANGUAGE1: note: "German" is the language.s English name: its speakers look for their own \("Deutsch"\)'
broken more-entries medium >/dev/null; res more-entries 's/^LANGUAGENUMBER=6/LANGUAGENUMBER=5/'
expect more-entries 0 warning language-entry-unused '\[1033\] LANGUAGE5: warning: beyond LANGUAGENUMBER'
broken fewer-entries medium >/dev/null; res fewer-entries 's/^LANGUAGENUMBER=6/LANGUAGENUMBER=7/'
expect fewer-entries 1 error language-entry-missing '\[1033\] LANGUAGE6: error: declared by LANGUAGENUMBER but missing'
# Counts that leave no language to choose: 0, and 65536, which is 0 in 16 bits.
for number in 0 65536; do
  broken "no-language-$number" medium >/dev/null; res "no-language-$number" "s/^LANGUAGENUMBER=6/LANGUAGENUMBER=$number/"
  expect "no-language-$number" 1 error no-language '^setupres.ini:2: \[LANGUAGE\] LANGUAGENUMBER: error: reads as 0'
done
broken product medium >/dev/null; inf product 's/^ProductName=%ProductName%/ProductName=%Produkt%/'
expect product 1 error product-unresolved '\[1033\] Produkt: error: the product name reference of setup.inf does not resolve'
broken half-database medium-db >/dev/null; inf half-database '/^Oracle=/d'
expect half-database 1 error half-database-choice '^setup.inf:[0-9]+: \[SAP\] Oracle: error: only one database option'
d=$(broken notes-language medium); rm "$d/1034/readme.html"
expect notes-language 0 note release-notes-language-missing '^1034/readme.html: note: missing: the 1033 notes are shown'
d=$(broken notes-1033 medium-db); rm "$d/Oracle/1033/readme.html"
expect notes-1033 1 error release-notes-missing '^Oracle/1033/readme.html: error: missing'
broken long-value medium >/dev/null; res long-value "s/^EXIT=Exit$/EXIT=$(printf 'x%.0s' $(seq 1 300))/"
expect long-value 0 warning value-too-long '\[1033\] EXIT: warning: the value has 300 bytes'
# A system whose language has no section reads 1033, though German is
# there; Spanish with modern sort would be served by 1034.
broken regional medium >/dev/null
LOCALE=de_AT.UTF-8 expect regional 0 note regional-section '^setupres.ini: \[3079\]: note: no section for this system.s language 3079: the launcher reads 1033; a section 3079 would serve it'
broken spanish medium >/dev/null; res spanish 's/^\[1034\]$/[1034-gone]/'
LOCALE=es_ES.UTF-8 expect spanish 0 note regional-section '^setupres.ini: \[1034\]: note: no section for this system.s language 3082: the launcher reads 1033; a section 1034 would serve it'
broken cp1252 medium >/dev/null; res cp1252 's/^BACK=Zurück$/BACK=Zur\xfcck/'
expect cp1252 0 warning not-utf8 '\[1031\] BACK: warning: not UTF-8 \(byte 3 of the value is 0xFC\): read as Windows-1252 \(codepage 1252\)'
# German texts saved on a Russian Windows: read as Windows-1252, but they
# look like Windows-1251 (the section's values taken together); one
# finding for the section, at its first such value.
d=$(broken cp1251 medium)
python3 - "$d/setupres.ini" <<'PY'
import re, sys
path = sys.argv[1]
text = open(path, "rb").read().decode()
russian = {"9085": "Вы действительно хотите прервать установку программы?",
           "9081": "Установка для этого языка на этом носителе не найдена.",
           "SELECTLANG": "Выберите язык установки программы"}
section = re.search(r"\[1031\][^\[]*", text)
part = section.group(0)
for key, value in russian.items():
    part = re.sub("(?m)^%s=.*$" % key, key + "=" + value, part)
raw = text[:section.start()].encode() + part.encode("cp1251", errors="replace") + text[section.end():].encode()
open(path, "wb").write(raw)
PY
COUNT=1 expect cp1251 0 warning not-utf8 '^setupres.ini:32: \[1031\] 9011: warning: not UTF-8 \(byte 3 of the value is 0x96\), nor are 3 more values of this section \(9085, 9081, SELECTLANG\): read as Windows-1252 \(codepage 1252\); they look like Windows-1251'
broken comma medium >/dev/null; res comma 's/^EXIT=Beenden$/EXIT=Beenden, sofort/'
expect comma 1 error comma-cut '\[1031\] EXIT: error: holds a comma: the page shows only "Beenden"'
broken markup medium >/dev/null; res markup 's/^EXIT=Exit$/EXIT=<b>Exit<\/b>/'
expect markup 0 warning markup-in-text '\[1033\] EXIT: warning: holds HTML markup \("<b>"\): the page inserts it as markup'
broken caption medium >/dev/null; res caption 's/^9011=%s Setup$/9011=Setup/'
expect caption 1 error caption-without-product '\[1033\] 9011: error: no %s for the product name: the window title is empty'
broken product-db medium-db >/dev/null; res product-db 's/^ProductName=Aurora Ledger 7 Server %s$/ProductName=Aurora Ledger 7 Server/'
expect product-db 0 warning product-without-database '\[1033\] ProductName: warning: no %s'
# The window title is cut at the product name's %s: a title that ends on
# a bracket, a dash or a word leading on is warned of, with the title the
# language gets and a name that reads well (NAME|TITLE|BETTER|ITS TITLE).
n=0
while IFS='|' read -r name title better better_title; do
  n=$((n + 1))
  broken "cut-$n" medium-db >/dev/null; res "cut-$n" "0,/^ProductName=.*/s//ProductName=$name/"
  COUNT=1 expect "cut-$n" 0 warning cut-title "^setupres.ini:22: \[1033\] ProductName: warning: the product name.s %s cuts the window title there, and it reads \"$title\": write the %s last, right after the name.s own words$better"
done <<'ROWS'
Borealis Studio 5 (%s)|Borealis Studio 5 \(| \("Borealis Studio 5 %s" gives "Borealis Studio 5 "\)
Aurora Ledger 7 Server for %s|Aurora Ledger 7 Server for | \("Aurora Ledger 7 Server %s" gives "Aurora Ledger 7 Server "\)
Aurora – %s edition|Aurora – | \("Aurora %s" gives "Aurora "\)
%s Server||
ROWS
broken utf16 medium >/dev/null; iconv -f UTF-8 -t UTF-16LE "$work/utf16/setupres.ini" >"$work/utf16.ini" && mv "$work/utf16.ini" "$work/utf16/setupres.ini"
expect utf16 1 error utf16-without-bom '^setupres.ini: error: looks like UTF-16LE \(a zero byte after each ASCII character\) without a byte-order mark'

# Names in another case than the files write them: found by their one match
# in another case (a warning); two that differ only in case find nothing.
d=$(broken case medium); mv "$d/ENU" "$d/enu"; mv "$d/ESN" "$d/esn"; mkdir "$d/Esn"
mv "$d/1033/readme.html" "$d/1033/ReadMe.HTML"
expect case 0 warning name-case '\[1033\] LANGUAGE0: warning: folder "ENU" is "enu" on the medium: found by its case-folded name'
expect case 0 warning language-folder-missing '\[1033\] LANGUAGE2: warning: the folder "ESN" is missing; "Esn" and "esn" differ from it only in case: none is used'
expect case 0 warning name-case '^1033/readme.html: warning: "1033/readme.html" is "1033/ReadMe.HTML" on the medium'
d=$(broken case-files medium); mv "$d/setup.inf" "$d/Setup.Inf"; mv "$d/setupres.ini" "$d/SETUPRES.INI"
mv "$d/SetupHmRes.dll" "$d/setuphmres.dll"
COUNT=3 expect case-files 0 warning name-case '^(setup\.inf|setupres\.ini|SetupHmRes\.dll): warning: "(setup\.inf|setupres\.ini|SetupHmRes\.dll)" is "(Setup\.Inf|SETUPRES\.INI|setuphmres\.dll)" on the medium'

# The launcher's files: missing, no files, or links to nothing.
d=$(broken no-window medium); rm "$d/setup-launcher-gtk.so"
expect no-window 1 error window-module-missing '^setup-launcher-gtk.so: error: missing: the window cannot show'
d=$(broken fifo-window medium); rm "$d/setup-launcher-gtk.so"; mkfifo "$d/setup-launcher-gtk.so"
expect fifo-window 1 error window-module-missing '^setup-launcher-gtk.so: error: a FIFO, not a file: the window cannot show'
d=$(broken no-launcher medium); rm "$d/setup-launcher" "$d/setup-launcher-gtk.so" "$d/SetupHmRes.dll"
expect no-launcher 0 warning launcher-missing '^setup-launcher: warning: missing'
# Programs started from the medium without their execute permission (a
# medium written without Rock Ridge): starting them fails.
for program in setup-launcher setup setup-parent; do
  d=$(broken "no-exec-$program" medium); chmod a-x "$d/$program"
  expect "no-exec-$program" 1 error not-executable "^$program: error: no execute permission \\(mode 0644\\)"
done
d=$(broken dangling medium); rm "$d/setup-launcher-gtk.so"; ln -s ../nowhere/setup-launcher-gtk.so "$d/setup-launcher-gtk.so"
expect dangling 1 error dangling-link '^setup-launcher-gtk.so: error: a symbolic link to "\.\./nowhere/setup-launcher-gtk.so", which does not exist'

# Page libraries with one defect each, built with pack.
library lib-placeholder medium-db 's/IDSELECTLANG/IDSELECTLNAG/'
expect lib-placeholder 0 warning unknown-placeholder '^SetupHmRes.dll:[0-9]+: \[HTML_HOMEPAGE\] IDSELECTLNAG: warning: not a placeholder the launcher knows'
library lib-slot0 medium-db 's/>IDLANGUAGE0</></'
expect lib-slot0 1 error first-language-slot-missing 'HTML_HOMEPAGE\] IDLANGUAGE0: error: language slot missing'
# With three installable languages, the third slot missing hides one; a
# fourth says nothing.
library lib-slots medium 's/>IDLANGUAGE[23]</></'; rm -r "$work/lib-slots/FRA" "$work/lib-slots/JPN" "$work/lib-slots/HEB"
COUNT=1 expect lib-slots 1 error language-slot-missing 'HTML_HOMEPAGE\] IDLANGUAGE2: error: language slot missing: the medium has 3 installable languages'
# A page that names its languages itself has no slots to miss.
library lib-named medium-db 's/>IDLANGUAGE\([0-9]\)</>Language \1</'
expect lib-named 0 - -
library lib-links medium-db 's/IDRLANGUAGE/IDRLANGAUGE/g'
expect lib-links 1 error no-language-link 'HTML_HOMEPAGE\] IDRLANGUAGE: error: no language link'
library lib-marker medium-db 's/id=AAAAA/id=BBBBB/g'
expect lib-marker 1 error no-visibility-marker 'HTML_HOMEPAGE\] id=AAAAA: error: no visibility marker'
library lib-quoted-marker medium-db 's/data-visibility="id=AAAAA" href/id="AAAAA" href/'
expect lib-quoted-marker 0 warning quoted-visibility-marker 'HTML_HOMEPAGE\] id="AAAAA": warning: the launcher replaces the whole attribute'
library lib-database medium-db '' 's/IDSELECTORACLE/IDSELECT_ORACLE/g'
expect lib-database 1 error database-marker-missing 'HTML_SAP\] IDSELECTORACLE: error: database marker missing'
# What a page refers to that the library lacks, each place it stands: res:
# addresses, and relative ones of images, style sheets, scripts and url(),
# but not other schemes or fragments.
library lib-res medium-db '0,/<head>/s||<head><link rel="stylesheet" href="look.css"><script src="app.js"></script><style>body { background: url("back.png") }</style>|; s|</body>|<img src="logo.pgn"><a href="https://example.com/x.png">x</a><img src="data:image/gif;base64,R0lGOD"><a href="mailto:a@example.com">m</a><a href="#top">t</a>\n<img src="logo.pgn"></body>|; s|res://SetupHmRes.dll/HTML_SAP|res://SetupHmRes.dll/HTML_SAP2|'
COUNT=6 expect lib-res 1 error res-reference-missing '^SetupHmRes.dll:[0-9]+: \[HTML_HOMEPAGE\] (look.css|app.js|back.png|logo.pgn|res://SetupHmRes.dll/HTML_SAP2): error: the library has no resource "(look.css|app.js|back.png|logo.pgn|HTML_SAP2)"'
d=$(broken lib-missing medium); rm "$d/SetupHmRes.dll"
expect lib-missing 1 error library-missing '^SetupHmRes.dll: error: missing'
# The database page, and the home page's way back to it, matter only on a
# medium with a database choice.
for medium in medium medium-db; do
  d=$(broken "lib-page-$medium" "$medium"); pages="$work/lib-page-$medium-pages"
  "$tool" unpack "$d/SetupHmRes.dll" "$pages" >/dev/null
  rm "$pages/HTML_SAP.html"; sed -i 's/ data-visibility="id=AAAAA"//; s/IDBACK//' "$pages/HTML_HOMEPAGE.html"
  "$tool" pack "$pages" "$d/SetupHmRes.dll" 2>/dev/null
done
expect lib-page-medium 0 - -
expect lib-page-medium-db 1 error page-missing 'SetupHmRes.dll: \[HTML_SAP\]: error: the database page is missing \(the library holds GIF/GIF_NOSELECTED, GIF/GIF_SELECTED, HTML_HOMEPAGE\)'

# What init leaves to the author: the product's name, and texts under the
# marker (Italian has no demo texts), each where it stands. --strict fails
# on warnings and passes a medium without.
"$tool" init "$work/init" --languages 1033,1040 >/dev/null
COUNT=2 expect init 0 warning product-not-named '\[(1033|1040)\] ProductName: warning: the product is still called "My Product"'
COUNT=1 expect init 0 warning untranslated-text '\[1040\]: warning: the section.s texts'
"$tool" check --strict "$work/init" >/dev/null; warned=$?
"$tool" check --strict "$BUILD_DIR/media/medium-db" >/dev/null; clean=$?
[[ $warned == 1 && $clean == 0 ]] && echo "ok: --strict" || fail "--strict: status $warned with warnings, $clean without"

# JSON for tools: valid whatever bytes the medium holds, each finding with
# its fields; --ignore drops findings by code; a mistaken code or format is
# one line, status 2; a medium that cannot be read gives 2.
d=$(broken json medium); res json 's/^EXIT=Exit$/EXIT=Exit\nZur\xfcck/; s/^BACK=Zurück$/BACK=Zur\xfcck/'
json=$("$tool" check --format json "$d")
[[ $? == 0 ]] && python3 -c '
import json, sys
d = json.load(sys.stdin)
f = d["findings"]
assert d["errors"] == 0 and d["warnings"] == len(f) == 2, d
assert all(set(x) == {"code", "severity", "file", "line", "section", "key", "message"} for x in f), f
assert {x["code"] for x in f} == {"not-utf8", "line-without-value"}, f
assert any(x["key"] == "Zur\\xFCck" and x["line"] == 17 for x in f), f
' <<<"$json" && echo "ok: JSON" || fail "JSON: $json"
[[ -z "$("$tool" check --format=json --ignore line-without-value --ignore=not-utf8,name-case "$d" | python3 -c 'import json,sys; print(*json.load(sys.stdin)["findings"])')" ]] \
  && echo "ok: --ignore" || fail "--ignore"
for args in "--ignore no-such-code" "--format yaml"; do
  err=$("$tool" check $args "$d" 2>&1 >/dev/null)
  [[ $? == 2 && $(wc -l <<<"$err") == 1 ]] && echo "ok: check $args is refused" || fail "check $args: $err"
done
for args in "" "--ignore medium-unreadable"; do
  out=$("$tool" check $args "$work/does-not-exist")
  [[ $? == 2 && $out == *"[medium-unreadable]"* ]] && echo "ok: an unreadable medium gives 2 ($args)" ||
    fail "an unreadable medium ($args): $out"
done

# pack and unpack round-trip, names with their folders.
"$tool" unpack "$BUILD_DIR/pages/SetupHmRes.dll" "$work/a" >"$work/names"
[[ "$(cat "$work/names")" == $'GIF/GIF_NOSELECTED\nGIF/GIF_SELECTED\nHTML_HOMEPAGE.html\nHTML_SAP.html' ]] || fail "unpack names: $(cat "$work/names")"
"$tool" pack "$work/a" "$work/re.dll" && "$tool" unpack "$work/re.dll" "$work/b" >/dev/null && diff -r "$work/a" "$work/b" \
  && echo "ok: pack and unpack round-trip" || fail "round trip"
"$tool" pack "$work/empty-folder" "$work/x.dll" 2>/dev/null && fail "pack of nothing succeeded"

# A library from Windows (a resource-only DLL, 32- and 64-bit): check reads
# it as the launcher does, unpack writes its resources under the names the
# addresses use, and pack --from-dll turns it into a bundle that serves the
# same.
dll_names=$'#10/#7\n#123\nCSS/LOOK\nGIF/GIF_NOSELECTED\nGIF/GIF_SELECTED\nHTML_GREETING\nHTML_HOMEPAGE.html\nHTML_LOCAL\nHTML_SAP.html'
for bits in 32 64; do
  d=$(broken "dll-$bits" medium-db)
  cp "$BUILD_DIR/test-dlls/pages-$bits.dll" "$d/SetupHmRes.dll"
  out=$("$tool" check "$d")
  [[ $? == 0 && -z "$out" ]] && echo "ok: check reads a $bits-bit DLL" || fail "check of a $bits-bit DLL: $out"
  [[ "$("$tool" unpack "$d/SetupHmRes.dll" "$work/dll-$bits-pages")" == "$dll_names" ]] || fail "unpack of a $bits-bit DLL"
  cmp -s "$work/dll-$bits-pages/HTML_HOMEPAGE.html" "$SOURCE_DIR/res/pages/home.html" || fail "the $bits-bit DLL's home page"
  "$tool" pack --from-dll "$d/SetupHmRes.dll" "$d/packed.dll" && mv "$d/packed.dll" "$d/SetupHmRes.dll" \
    && [[ -z "$("$tool" check "$d")" ]] && "$tool" unpack "$d/SetupHmRes.dll" "$work/dll-$bits-packed" >/dev/null \
    && diff -r "$work/dll-$bits-pages" "$work/dll-$bits-packed" \
    && echo "ok: pack --from-dll of a $bits-bit DLL" || fail "pack --from-dll of a $bits-bit DLL"
done
"$tool" pack --from-dll "$work/missing.dll" "$work/x.dll" 2>/dev/null && fail "pack --from-dll of nothing succeeded"

# A library whose names would leave the folder, a bundle or a DLL (built
# from tests/dlls/leaving.rc): unpack and pack --from-dll leave those out
# with a line each naming them, status 1, and write the rest. Each case:
# the library, the command, the names left out.
mkdir -p "$work/escape/pages"
echo home >"$work/escape/pages/page"
printf '<gresources><gresource prefix="/"><file alias="../../OUTSIDE">page</file><file alias="HTML_HOMEPAGE">page</file></gresource></gresources>' \
  >"$work/escape/pages.xml"
glib-compile-resources --sourcedir="$work/escape/pages" --target="$work/escape/bundle.dll" "$work/escape/pages.xml"
cp "$BUILD_DIR/test-dlls/leaving-64.dll" "$work/escape/dll.dll"
while read -r form command left_out; do
  out=$work/escape/out-$form-$command/deep
  rm -rf "$work/escape/out-$form-$command" && mkdir -p "$out"
  if [[ $command == unpack ]]; then
    "$tool" unpack "$work/escape/$form.dll" "$out" >/dev/null 2>"$work/escape/said"
    status=$?
  else
    "$tool" pack --from-dll "$work/escape/$form.dll" "$work/escape/packed.dll" 2>"$work/escape/said"
    status=$?
    "$tool" unpack "$work/escape/packed.dll" "$out" >/dev/null || fail "unpack of the packed $form"
  fi
  ok=$([[ $(ls "$out") == HTML_HOMEPAGE.html && -z $(find "$work/escape" -iname outside) ]] && echo yes)
  for name in $left_out; do
    grep -qF "the resource \"$name\" is left out" "$work/escape/said" || ok=
  done
  [[ $status == 1 && $ok == yes && $(grep -c 'is left out' "$work/escape/said") == $(wc -w <<<"$left_out") ]] \
    && echo "ok: $command of a $form with names that leave the folder" \
    || fail "$command of a $form: status $status, wrote [$(ls "$out")], said [$(cat "$work/escape/said")]"
done <<'CASES'
bundle  unpack  ../../OUTSIDE
dll     unpack  ../../OUTSIDE /ABS
bundle  pack    ../../OUTSIDE
dll     pack    ../../OUTSIDE /ABS
CASES

echo "$fails failed"
exit $((fails > 0))
