#!/usr/bin/env bash
# setup-medium preview renders every language's pages of a medium, filled,
# its window's caption and its message boxes, without a display of its own
# (it starts Xvfb) and without a parent.
set -uo pipefail
: "${BUILD_DIR:?}"
source "$(dirname "${BASH_SOURCE[0]}")/wait.sh"
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
fails=0
fail() { echo "FAIL: $*"; fails=$((fails + 1)); }
preview() { env -u DISPLAY -u WAYLAND_DISPLAY timeout 120 "$BUILD_DIR/bin/setup-medium" preview "$@"; }
# drawn PNG MIN_WIDTH: a picture at least that wide with more than a
# handful of colours (text on a background, not a blank box).
drawn() {
  local width colours
  width=$(identify -format %w "$1" 2>/dev/null) || return 1
  colours=$(identify -format %k "$1" 2>/dev/null) || return 1
  ((width >= $2 && colours > 8))
}

env -u DISPLAY -u WAYLAND_DISPLAY timeout 120 "$BUILD_DIR/bin/setup-medium" preview "$BUILD_DIR/media/medium-db" --out "$out/db" \
  >"$out/list" 2>"$out/err" || fail "preview of the database medium: status $?: $(cat "$out/err")"
for lang in 1031 1033 1034 1036 1037 1041; do
  for page in home database; do
    png="$out/db/$lang-$page.png"
    [[ "$(identify -format %wx%h "$png" 2>/dev/null)" == 474x416 ]] || fail "$png is not a 474x416 picture"
  done
  # The caption as a title bar of the window's width, and the two message
  # boxes under theirs.
  [[ "$(identify -format %w "$out/db/$lang-caption.png" 2>/dev/null)" == 474 ]] || fail "no caption of $lang"
  for box in close 9081; do drawn "$out/db/$lang-$box.png" 150 || fail "no drawn $box box of $lang"; done
done
[[ $(wc -l <"$out/list") == 30 ]] || fail "30 pictures listed: $(cat "$out/list")"
grep -q CRITICAL "$out/err" && fail "GTK complained: $(grep CRITICAL "$out/err")"
# The boxes and the caption speak the section's language (the caption is
# cut at the product name's %s, so only the Spanish one has words of its
# own before the name).
cmp -s "$out/db/1031-close.png" "$out/db/1033-close.png" && fail "German and English close questions are the same picture"
cmp -s "$out/db/1031-caption.png" "$out/db/1034-caption.png" && fail "German and Spanish captions are the same picture"
# The pages differ between languages, and the selected-option image shows
# only on the database page.
cmp -s "$out/db/1031-home.png" "$out/db/1041-home.png" && fail "German and Japanese home pages are the same picture"
histogram=$(convert "$out/db/1033-database.png" -format %c histogram:info:-)
grep -qi '#1B7F3B' <<<"$histogram" || fail "no database page in 1033-database.png"

# One language of a plain medium: the home page only.
env -u DISPLAY timeout 60 "$BUILD_DIR/bin/setup-medium" preview "$BUILD_DIR/media/medium" --language 1036 --out "$out/plain" >/dev/null 2>&1
[[ "$(ls "$out/plain" | tr '\n' ' ')" == "1036-9081.png 1036-caption.png 1036-close.png 1036-home.png " ]] \
  || fail "one language: $(ls "$out/plain")"
# ... and the same with --database: the database page too.
env -u DISPLAY timeout 60 "$BUILD_DIR/bin/setup-medium" preview "$BUILD_DIR/media/medium" --language 1036 --database --out "$out/forced" >/dev/null 2>&1
[[ -f "$out/forced/1036-database.png" && -f "$out/forced/1036-home.png" ]] || fail "--database: $(ls "$out/forced")"

# An id without a section of its own, or whose section lacks 32001, shows
# what its user sees: the section the launcher falls back to, named in the
# pictures' names and on stderr. The medium without German's marker renders
# without German, and its 1033 is the fall-back's picture.
cp -r "$BUILD_DIR/media/medium" "$out/unmarked"
sed -i '/^32001=Deutsch/d' "$out/unmarked/setupres.ini"
preview "$out/unmarked" --out "$out/all" >/dev/null 2>&1
[[ "$(ls "$out/all" | grep -c home)" == 5 && ! -e "$out/all/1031-home.png" ]] || fail "unmarked German rendered: $(ls "$out/all")"
while read -r medium id stem same; do
  preview "$medium" --language "$id" --out "$out/fb-$id" >"$out/fb-list" 2>"$out/fb-err" || fail "--language $id: status $?"
  grep -qx "setup-medium: language $id has no section: previewing section ${stem#*-as-} as the launcher would" "$out/fb-err" \
    || fail "--language $id says: $(cat "$out/fb-err")"
  [[ $(wc -l <"$out/fb-list") == 4 ]] || fail "--language $id: $(cat "$out/fb-list")"
  cmp -s "$out/fb-$id/$stem-home.png" "$same" || fail "--language $id does not show the page of ${stem#*-as-}"
done <<LIST
$BUILD_DIR/media/medium 3084 3084-as-1033 $out/all/1033-home.png
$out/unmarked 1031 1031-as-1033 $out/all/1033-home.png
LIST

# Mistakes of the command line: one line, status 2, no pictures. A medium
# the launcher ends on, or shows nothing of: the launcher's reason, status 1.
touch "$out/file"
cp -r "$BUILD_DIR/media/medium" "$out/no-inf" && rm "$out/no-inf/setup.inf"
cp -r "$BUILD_DIR/media/medium" "$out/no-product" && sed -i '/^ProductName=/d' "$out/no-product/setup.inf"
cp -r "$BUILD_DIR/media/medium" "$out/no-library" && rm "$out/no-library/SetupHmRes.dll"
while IFS='|' read -r status said args; do
  read -ra argv <<<"$args"
  preview "${argv[@]}" >"$out/refused" 2>"$out/refused-err"
  got=$?
  [[ $got == "$status" && $(wc -l <"$out/refused-err") == 1 && ! -s "$out/refused" ]] && grep -q -- "$said" "$out/refused-err" \
    || fail "preview $args: status $got, said: $(cat "$out/refused-err")"
  [[ -e "$out/r" ]] && fail "preview $args made its out folder"
done <<LIST
2|--language abc is not a language id|$BUILD_DIR/media/medium --language abc --out $out/r
2|--language 0 is not a language id|$BUILD_DIR/media/medium --language 0 --out $out/r
2|--language 65536 is not a language id|$BUILD_DIR/media/medium --language 65536 --out $out/r
2|--language -1033 is not a language id|$BUILD_DIR/media/medium --language -1033 --out $out/r
2|--out $out/file is not a folder|$BUILD_DIR/media/medium --out $out/file
1|setup.inf is missing|$out/no-inf --out $out/r
1|no product name: \[Setup\] ProductName|$out/no-product --out $out/r
1|SetupHmRes.dll cannot be opened|$out/no-library --out $out/r
1|/nonexistent: No such file|/nonexistent --out $out/r
LIST

# A home page whose script never ends, so that it never finishes loading:
# its picture is not made, and the line says why; the other pictures are.
cp -r "$BUILD_DIR/media/medium" "$out/never" && mkdir "$out/never-pages"
printf '<html><body><a href="res://SetupHmRes.dll/IDRLANGUAGE0">IDLANGUAGE0</a><script>for (;;) {}</script></body></html>' \
  >"$out/never-pages/HTML_HOMEPAGE"
"$BUILD_DIR/bin/setup-medium" pack "$out/never-pages" "$out/never/SetupHmRes.dll" 2>/dev/null
preview "$out/never" --language 1033 --out "$out/never-out" >"$out/never-list" 2>"$out/never-err"
got=$?
[[ $got == 1 && $(wc -l <"$out/never-list") == 3 ]] &&
  grep -q "^setup-medium: the home page of section 1033 could not be rendered to .*1033-home.png: the page did not finish loading" \
    "$out/never-err" || fail "a page that never finishes loading: status $got, said: $(cat "$out/never-err")"

# No display server is left behind: neither when a picture cannot be
# written after Xvfb has started, nor when the preview is ended by a signal.
# The preview runs in a session of its own, which its server shares.
mkdir -p "$out/blocked/1036-home.png"
setsid env -u DISPLAY -u WAYLAND_DISPLAY "$BUILD_DIR/bin/setup-medium" preview "$BUILD_DIR/media/medium" --language 1036 \
  --out "$out/blocked" >/dev/null 2>&1 &
session=$!
wait "$session"
[[ $? == 1 ]] || fail "a picture that cannot be written does not give 1"
# left SESSION WHEN: fails when an Xvfb of that session remains, and ends it.
left() {
  local servers
  servers=$(pgrep -s "$1" -x Xvfb) || return 0
  fail "a server is left $2: $servers"
  kill $servers
}
left "$session" "after a failed preview"
setsid env -u DISPLAY -u WAYLAND_DISPLAY "$BUILD_DIR/bin/setup-medium" preview "$BUILD_DIR/media/medium-db" --out "$out/ended" \
  >/dev/null 2>&1 &
session=$!
server_up() { pgrep -s "$session" -x Xvfb >/dev/null; }
if wait_until 30 server_up; then
  kill -TERM "$session"
  wait "$session"
  [[ $? == 143 ]] || fail "the preview did not end by SIGTERM"
  left "$session" "after SIGTERM"
else
  fail "the preview started no Xvfb"
  kill -KILL "$session" 2>/dev/null
fi

# A medium whose library is a DLL built on Windows: the same pictures, the
# images of the library included.
cp -r "$BUILD_DIR/media/medium-db" "$out/dll-medium"
cp "$BUILD_DIR/test-dlls/pages-32.dll" "$out/dll-medium/SetupHmRes.dll"
env -u DISPLAY timeout 60 "$BUILD_DIR/bin/setup-medium" preview "$out/dll-medium" --language 1033 --out "$out/dll" >/dev/null 2>&1 \
  || fail "preview of a medium with a DLL: status $?"
for page in home database; do
  cmp -s "$out/dll/1033-$page.png" "$out/db/1033-$page.png" || fail "the $page page from a DLL differs from the bundle's"
done

mkdir "$out/bare" && touch "$out/bare/setup.inf"
preview "$out/bare" --out "$out/none" >/dev/null 2>&1
[[ $? == 2 ]] || fail "a medium without languages does not give 2"

((fails == 0)) && echo "all checks passed"
exit $((fails > 0))
