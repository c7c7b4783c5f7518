#!/usr/bin/env bash
# Every program of the demo media, and the tools that are installed, run on
# every target distribution (scripts/check-portable.sh), and the launcher
# needs none of the libraries whose names change between distributions.
set -uo pipefail
: "${BUILD_DIR:?}" "${SOURCE_DIR:?}"
fails=0
fail() { echo "FAIL: $*"; fails=$((fails + 1)); }

programs=("$BUILD_DIR/bin/setup-parent" "$BUILD_DIR/bin/setup-medium")
for file in "$BUILD_DIR"/media/*/*; do
  [[ -f $file && $(head -c 4 "$file" | od -An -c | tr -d ' ') == '177ELF' ]] && programs+=("$file")
done
((${#programs[@]} > 3)) || fail "no programs found on the demo media under $BUILD_DIR/media"

if out=$("$SOURCE_DIR/scripts/check-portable.sh" --require-all "${programs[@]}"); then
  echo "ok: ${#programs[@]} programs run on every target distribution"
else
  fail "check-portable:"$'\n'"$out"
fi

# Below what every target ships, with room for older releases: glibc 2.34,
# the libstdc++ of GCC 12.
limits=(GLIBC_2.34 GLIBCXX_3.4.30)
for limit in "${limits[@]}"; do
  family=${limit%_*}
  newest=$(grep -o "\b${family}_[0-9.]*" <<<"$out" | sort -V | tail -n 1)
  if [[ -n $newest && $(printf '%s\n' "$newest" "$limit" | sort -V | tail -n 1) != "$limit" ]]; then
    fail "a program asks for $newest, newer than $limit"
  else
    echo "ok: no program asks for more than $limit (newest: ${newest:-none})"
  fi
done

# Libraries the launcher must not need: their names differ from one
# distribution to the next.
forbidden=(libicu)
needed=$(readelf -d --wide "$BUILD_DIR/media/medium/setup-launcher" | grep '(NEEDED)')
for library in "${forbidden[@]}"; do
  if grep -q "\[$library" <<<"$needed"; then
    fail "the launcher needs $(grep -o "\[$library[^]]*\]" <<<"$needed" | paste -sd ' ')"
  else
    echo "ok: the launcher does not need $library"
  fi
done
exit $((fails > 0))
