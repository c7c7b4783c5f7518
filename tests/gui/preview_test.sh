#!/usr/bin/env bash
# setup-medium preview renders every language's pages of a medium, filled,
# without a display of its own (it starts Xvfb) and without a parent.
set -uo pipefail
: "${BUILD_DIR:?}"
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
fails=0
fail() { echo "FAIL: $*"; fails=$((fails + 1)); }

env -u DISPLAY -u WAYLAND_DISPLAY timeout 120 "$BUILD_DIR/bin/setup-medium" preview "$BUILD_DIR/media/medium-db" --out "$out/db" \
  >"$out/list" 2>"$out/err" || fail "preview of the database medium: status $?: $(cat "$out/err")"
for lang in 1031 1033 1034 1036 1041; do
  for page in home database; do
    png="$out/db/$lang-$page.png"
    [[ "$(identify -format %wx%h "$png" 2>/dev/null)" == 474x416 ]] || fail "$png is not a 474x416 picture"
  done
done
[[ $(wc -l <"$out/list") == 10 ]] || fail "ten pictures listed: $(cat "$out/list")"
# The pages differ between languages, and the selected-option image shows
# only on the database page.
cmp -s "$out/db/1031-home.png" "$out/db/1041-home.png" && fail "German and Japanese home pages are the same picture"
histogram=$(convert "$out/db/1033-database.png" -format %c histogram:info:-)
grep -qi '#1B7F3B' <<<"$histogram" || fail "no database page in 1033-database.png"

# One language of a plain medium: the home page only.
env -u DISPLAY timeout 60 "$BUILD_DIR/bin/setup-medium" preview "$BUILD_DIR/media/medium" --language 1036 --out "$out/plain" >/dev/null 2>&1
[[ "$(ls "$out/plain")" == "1036-home.png" ]] || fail "one language: $(ls "$out/plain")"
# ... and the same with --database: the database page too.
env -u DISPLAY timeout 60 "$BUILD_DIR/bin/setup-medium" preview "$BUILD_DIR/media/medium" --language 1036 --database --out "$out/forced" >/dev/null 2>&1
[[ "$(ls "$out/forced" | tr '\n' ' ')" == "1036-database.png 1036-home.png " ]] || fail "--database: $(ls "$out/forced")"

# A medium whose library is a DLL built on Windows: the same pictures, the
# images of the library included.
cp -r "$BUILD_DIR/media/medium-db" "$out/dll-medium"
cp "$BUILD_DIR/test-dlls/pages-32.dll" "$out/dll-medium/SetupHmRes.dll"
env -u DISPLAY timeout 60 "$BUILD_DIR/bin/setup-medium" preview "$out/dll-medium" --language 1033 --out "$out/dll" >/dev/null 2>&1 \
  || fail "preview of a medium with a DLL: status $?"
for page in home database; do
  cmp -s "$out/dll/1033-$page.png" "$out/db/1033-$page.png" || fail "the $page page from a DLL differs from the bundle's"
done

timeout 60 "$BUILD_DIR/bin/setup-medium" preview /nonexistent --out "$out/none" >/dev/null 2>&1
[[ $? == 2 ]] || fail "a medium without languages does not give 2"

((fails == 0)) && echo "all checks passed"
exit $((fails > 0))
