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

for medium in medium medium-db; do
  out=$(LC_ALL=en_US.UTF-8 "$tool" check "$BUILD_DIR/media/$medium")
  status=$?
  [[ $status == 0 && -z "$out" ]] && echo "ok: the demo $medium is clean" || fail "demo $medium: status $status: $out"
done

# broken NAME SOURCE_MEDIUM: a copy to break.
broken() {
  rm -rf "$work/$1"
  cp -r "$BUILD_DIR/media/$2" "$work/$1"
  echo "$work/$1"
}
# expect NAME STATUS PATTERN: check reports a line matching PATTERN (on a
# system of the locale $LOCALE, en_US.UTF-8 unless set).
expect() {
  local dir=$work/$1 want_status=$2 pattern=$3 out status
  out=$(LC_ALL=${LOCALE:-en_US.UTF-8} "$tool" check "$dir")
  status=$?
  if [[ $status == "$want_status" ]] && grep -qE "$pattern" <<<"$out"; then
    echo "ok: $1"
  else
    fail "$1: status $status, wanted $want_status and /$pattern/; said:"; echo "$out"
  fi
}

d=$(broken no-marker medium); sed -i '0,/^32001=Deutsch/{/^32001=Deutsch/d}' "$d/setupres.ini"
expect no-marker 1 '^setupres.ini \[1031\] 32001: error: no presence marker'

d=$(broken missing-key medium); sed -i '/^\[1036\]/,/^\[/{/^RELNOTES=/d}' "$d/setupres.ini"
expect missing-key 1 '^setupres.ini \[1036\] RELNOTES: error: missing: shows NULL'

d=$(broken missing-dialog-text medium); sed -i '/^\[1041\]/,/^\[/{/^9085=/d}' "$d/setupres.ini"
expect missing-dialog-text 1 '^setupres.ini \[1041\] 9085: error: missing'

d=$(broken missing-folder medium); rm -r "$d/ESN"
expect missing-folder 1 '\[1033\] LANGUAGE2: error: the folder "ESN" is missing'

d=$(broken folder-is-file medium); rm -r "$d/JPN"; echo x >"$d/JPN"
expect folder-is-file 1 '\[1033\] LANGUAGE4: error: the folder "JPN" is a file'

d=$(broken folder-outside medium); sed -i 's/,JPN$/,../' "$d/setupres.ini"
expect folder-outside 1 '\[1033\] LANGUAGE4: error: the folder "\.\." leads out of the medium'

d=$(broken no-comma medium); sed -i 's/^LANGUAGE1=Deutsch,DEU$/LANGUAGE1=Deutsch DEU/' "$d/setupres.ini"
expect no-comma 1 'LANGUAGE1: error: no comma'

d=$(broken more-entries medium); sed -i 's/^LANGUAGENUMBER=5/LANGUAGENUMBER=4/' "$d/setupres.ini"
expect more-entries 0 'LANGUAGE4: warning: beyond LANGUAGENUMBER'

d=$(broken fewer-entries medium); sed -i 's/^LANGUAGENUMBER=5/LANGUAGENUMBER=6/' "$d/setupres.ini"
expect fewer-entries 1 'LANGUAGE5: error: declared by LANGUAGENUMBER but missing'

# Counts that leave no language to choose: 0, and 65536, which is 0 in 16 bits.
for number in 0 65536; do
  d=$(broken "no-language-$number" medium); sed -i "s/^LANGUAGENUMBER=5/LANGUAGENUMBER=$number/" "$d/setupres.ini"
  expect "no-language-$number" 1 '^setupres.ini \[LANGUAGE\] LANGUAGENUMBER: error: reads as 0'
done

d=$(broken product medium); sed -i 's/^ProductName=%ProductName%/ProductName=%Produkt%/' "$d/setup.inf"
expect product 1 '\[1033\] Produkt: error: the product name reference of setup.inf does not resolve'

d=$(broken half-database medium-db); sed -i '/^Oracle=/d' "$d/setup.inf"
expect half-database 1 '^setup.inf \[SAP\] Oracle: error: only one database option'

d=$(broken notes-language medium); rm "$d/1034/readme.html"
expect notes-language 0 '^1034/readme.html: warning: missing: the 1033 notes are shown'

d=$(broken notes-1033 medium-db); rm "$d/Oracle/1033/readme.html"
expect notes-1033 1 '^Oracle/1033/readme.html: error: missing'

# Names in another case than the files write them: found by their one match
# in another case (a warning); two that differ only in case find nothing.
d=$(broken case medium); mv "$d/ENU" "$d/enu"; mv "$d/ESN" "$d/esn"; mkdir "$d/Esn"
mv "$d/1033/readme.html" "$d/1033/ReadMe.HTML"
expect case 1 '\[1033\] LANGUAGE0: warning: folder "ENU" is "enu" on the medium: found by its case-folded name'
expect case 1 '\[1033\] LANGUAGE2: error: the folder "ESN" is missing; "Esn" and "esn" differ from it only in case: none is used'
expect case 1 '^1033/readme.html: warning: "1033/readme.html" is "1033/ReadMe.HTML" on the medium'

d=$(broken long-value medium); sed -i "s/^EXIT=Exit$/EXIT=$(printf 'x%.0s' $(seq 1 300))/" "$d/setupres.ini"
expect long-value 0 '\[1033\] EXIT: warning: the value has 300 bytes'

d=$(broken regional medium)
LOCALE=de_AT.UTF-8 expect regional 0 '^setupres.ini \[3079\]: warning: no section for this system.s language 3079: the launcher reads 1031'

d=$(broken cp1252 medium); sed -i 's/^BACK=Zurück$/BACK=Zur\xfcck/' "$d/setupres.ini"
expect cp1252 0 '\[1031\] BACK: warning: not UTF-8: read as Windows-1252 \(codepage 1252\)'

# Page libraries with one defect each, built with pack.
library() {  # NAME SED_ON_HOME [SED_ON_DATABASE]
  local d pages
  d=$(broken "$1" medium-db)
  pages="$work/$1-pages"
  rm -rf "$pages"
  "$tool" unpack "$BUILD_DIR/pages/SetupHmRes.dll" "$pages" >/dev/null
  [[ -n "$2" ]] && sed -i "$2" "$pages/HTML_HOMEPAGE"
  [[ -n "${3:-}" ]] && sed -i "$3" "$pages/HTML_SAP"
  "$tool" pack "$pages" "$d/SetupHmRes.dll" || fail "pack $1"
}
library lib-placeholder 's/IDSELECTLANG/IDSELECTLNAG/'
expect lib-placeholder 0 'HTML_HOMEPAGE\] IDSELECTLNAG: warning: not a placeholder the launcher knows'
library lib-slot0 's/>IDLANGUAGE0</></'
expect lib-slot0 1 'HTML_HOMEPAGE\] IDLANGUAGE0: error: language slot missing'
library lib-links 's/IDRLANGUAGE/IDRLANGAUGE/g'
expect lib-links 1 'HTML_HOMEPAGE\] IDRLANGUAGE: error: no language link'
library lib-marker 's/id=AAAAA/id=BBBBB/'
expect lib-marker 1 'HTML_HOMEPAGE\] id=AAAAA: error: no visibility marker'
library lib-quoted-marker 's/data-visibility="id=AAAAA" href/id="AAAAA" href/'
expect lib-quoted-marker 0 'HTML_HOMEPAGE\] id="AAAAA": warning: the launcher replaces the whole attribute'
library lib-database '' 's/IDSELECTORACLE/IDSELECT_ORACLE/g'
expect lib-database 1 'HTML_SAP\] IDSELECTORACLE: error: database marker missing'
d=$(broken lib-missing medium); rm "$d/SetupHmRes.dll"
expect lib-missing 1 '^SetupHmRes.dll: error: missing'
d=$(broken lib-page medium); pages="$work/lib-page-pages"; "$tool" unpack "$d/SetupHmRes.dll" "$pages" >/dev/null
rm "$pages/HTML_SAP"; "$tool" pack "$pages" "$d/SetupHmRes.dll"
expect lib-page 1 'SetupHmRes.dll \[HTML_SAP\]: error: the database page is missing \(the library holds GIF/GIF_NOSELECTED, GIF/GIF_SELECTED, HTML_HOMEPAGE\)'

d=$(broken no-window medium); rm "$d/setup-launcher-gtk.so"
expect no-window 1 '^setup-launcher-gtk.so: error: missing: the window cannot show'

# JSON for tools, and a medium that cannot be read.
json=$("$tool" check --format=json "$work/no-marker")
[[ $? == 1 ]] && python3 -c 'import json,sys; d=json.load(sys.stdin); assert d["errors"]==1 and d["findings"][0]["key"]=="32001"' <<<"$json" \
  && echo "ok: JSON" || fail "JSON: $json"
"$tool" check "$work/does-not-exist" >/dev/null
[[ $? == 2 ]] && echo "ok: an unreadable medium gives 2" || fail "an unreadable medium"

# pack and unpack round-trip, names with their folders.
"$tool" unpack "$BUILD_DIR/pages/SetupHmRes.dll" "$work/a" >"$work/names"
[[ "$(cat "$work/names")" == $'GIF/GIF_NOSELECTED\nGIF/GIF_SELECTED\nHTML_HOMEPAGE\nHTML_SAP' ]] || fail "unpack names: $(cat "$work/names")"
"$tool" pack "$work/a" "$work/re.dll" && "$tool" unpack "$work/re.dll" "$work/b" >/dev/null && diff -r "$work/a" "$work/b" \
  && echo "ok: pack and unpack round-trip" || fail "round trip"
"$tool" pack "$work/empty-folder" "$work/x.dll" 2>/dev/null && fail "pack of nothing succeeded"

# A library from Windows (a resource-only DLL, 32- and 64-bit): check reads
# it as the launcher does, unpack writes its resources under the names the
# addresses use, and pack --from-dll turns it into a bundle that serves the
# same.
dll_names=$'#10/#7\n#123\nCSS/LOOK\nGIF/GIF_NOSELECTED\nGIF/GIF_SELECTED\nHTML_GREETING\nHTML_HOMEPAGE\nHTML_LOCAL\nHTML_SAP'
for bits in 32 64; do
  d=$(broken "dll-$bits" medium-db)
  cp "$BUILD_DIR/test-dlls/pages-$bits.dll" "$d/SetupHmRes.dll"
  out=$("$tool" check "$d")
  [[ $? == 0 && -z "$out" ]] && echo "ok: check reads a $bits-bit DLL" || fail "check of a $bits-bit DLL: $out"
  [[ "$("$tool" unpack "$d/SetupHmRes.dll" "$work/dll-$bits-pages")" == "$dll_names" ]] || fail "unpack of a $bits-bit DLL"
  cmp -s "$work/dll-$bits-pages/HTML_HOMEPAGE" "$SOURCE_DIR/res/pages/home.html" || fail "the $bits-bit DLL's home page"
  "$tool" pack --from-dll "$d/SetupHmRes.dll" "$d/packed.dll" && mv "$d/packed.dll" "$d/SetupHmRes.dll" \
    && [[ -z "$("$tool" check "$d")" ]] && "$tool" unpack "$d/SetupHmRes.dll" "$work/dll-$bits-packed" >/dev/null \
    && diff -r "$work/dll-$bits-pages" "$work/dll-$bits-packed" \
    && echo "ok: pack --from-dll of a $bits-bit DLL" || fail "pack --from-dll of a $bits-bit DLL"
done
"$tool" pack --from-dll "$work/missing.dll" "$work/x.dll" 2>/dev/null && fail "pack --from-dll of nothing succeeded"

# A library whose names leave the folder: unpack writes the others, leaves
# those out and says so.
mkdir -p "$work/escape/pages" "$work/escape/out/deep"
echo page >"$work/escape/pages/page"
printf '<gresources><gresource prefix="/"><file alias="../../outside">page</file><file>page</file></gresource></gresources>' \
  >"$work/escape/pages.xml"
glib-compile-resources --sourcedir="$work/escape/pages" --target="$work/escape/lib.dll" "$work/escape/pages.xml"
"$tool" unpack "$work/escape/lib.dll" "$work/escape/out/deep" >/dev/null 2>&1
status=$?
[[ $status == 1 && -f "$work/escape/out/deep/page" && ! -e "$work/escape/outside" && ! -e "$work/escape/out/outside" ]] \
  && echo "ok: unpack keeps to its folder" || fail "unpack of names that leave the folder: status $status"

echo "$fails failed"
exit $((fails > 0))
