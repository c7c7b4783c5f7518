#!/usr/bin/env bash
# setup-medium answers as the launcher reads a medium: the exact bytes of a
# value (no line end), the integer reader, and the language section.
set -uo pipefail
: "${BUILD_DIR:?}" "${SOURCE_DIR:?}"
tool="$BUILD_DIR/bin/setup-medium"
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
fails=0

expect() {  # WANT ARGS...: the tool's standard output must be exactly WANT
  local want=$1; shift
  local got
  got=$("$tool" "$@"; printf x)
  got=${got%x}
  if [[ "$got" == "$want" ]]; then
    echo "ok: $*"
  else
    echo "FAIL: setup-medium $*"; echo "  got:  [$got]"; echo "  want: [$want]"; fails=$((fails + 1))
  fi
}

long=$(printf 'x%.0s' $(seq 1 300))
printf '%s\r\n' \
  '; written on Windows' \
  '[Setup]' \
  'ProductName = "%ProductName%" ' \
  '  Blank  =    spaced out    ' \
  'Quoted="  keep these blanks  "' \
  "Single='single'" \
  'Mixed="no pair'"'" \
  'Twice=first' \
  'TWICE=second' \
  'no equals sign here' \
  ';Commented=yes' \
  "Long=$long" \
  'Number=  42 apples' \
  'Negative=-1' \
  '' \
  '[setup]' \
  'Later=in a second section of the same name' > "$dir/setup.inf"

f="$dir/setup.inf"
expect "%ProductName%" get "$f" Setup ProductName
expect "%ProductName%" get "$f" SETUP productname
expect "spaced out" get "$f" Setup Blank
expect "  keep these blanks  " get "$f" Setup Quoted
expect "single" get "$f" Setup Single
expect "\"no pair'" get "$f" Setup Mixed
expect "first" get "$f" Setup twice
expect "fallback" get "$f" Setup "no equals sign here" fallback
expect "" get "$f" Setup Commented
expect "" get "$f" Setup ";Commented"
expect "${long:0:259}" get "$f" Setup Long
expect "fallback" get "$f" Setup Later fallback
expect "NULL" get "$f" Missing Key NULL
expect "default" get "$f" Setup Missing "default   "
expect "42" get --int "$f" Setup Number
expect "4294967295" get --int "$f" Setup Negative
expect "7" get --int "$f" Setup Missing 7
expect "0" get --int "$f" Setup Blank 7

# Byte-order marks: UTF-8, and UTF-16LE as Windows' Notepad writes it.
printf '\xef\xbb\xbf[1031]\nEXIT=Beenden\n' > "$dir/bom8.ini"
expect "Beenden" get "$dir/bom8.ini" 1031 EXIT
printf '[1041]\r\nEXIT=終了\r\n' | iconv -f UTF-8 -t UTF-16LE | { printf '\xff\xfe'; cat; } > "$dir/bom16.ini"
expect "終了" get "$dir/bom16.ini" 1041 EXIT

# A UTF-8 character is never cut in half at the 259-byte limit.
printf '[s]\nk=%s€\n' "$(printf 'a%.0s' $(seq 1 257))" > "$dir/cut.ini"
expect "$(printf 'a%.0s' $(seq 1 257))" get "$dir/cut.ini" s k

# An unreadable file reads as an empty one, and the exit status says so.
expect "NULL" get "$dir/missing.ini" s k NULL
"$tool" get "$dir/missing.ini" s k NULL >/dev/null 2>&1
[[ $? -eq 1 ]] || { echo "FAIL: a missing file does not give status 1"; fails=$((fails + 1)); }
"$tool" get "$f" >/dev/null 2>&1
[[ $? -eq 2 ]] || { echo "FAIL: a short command line does not give status 2"; fails=$((fails + 1)); }

# The language section of the demo medium on systems of several languages.
medium="$SOURCE_DIR/demo/medium"
lang() {  # LOCALE WANT
  local got
  got=$(env LC_ALL= LC_MESSAGES= LANG="$1" "$tool" language "$medium")
  if [[ "$got" == "$2" ]]; then echo "ok: language under $1"; else echo "FAIL: language under $1: $got, want $2"; fails=$((fails + 1)); fi
}
lang de_DE.UTF-8 1031
lang es_ES.UTF-8 1034
lang es_MX.UTF-8 1033
lang fr_FR.UTF-8 1036
lang ja_JP.UTF-8 1041
lang en_GB.UTF-8 1033
lang xx_YY 1033
lang C 1033
got=$(env LC_ALL=de_DE.UTF-8 LANG=fr_FR.UTF-8 "$tool" language "$medium")
[[ "$got" == 1031 ]] || { echo "FAIL: LC_ALL does not govern: $got"; fails=$((fails + 1)); }

# The lock folder gets mode 0700 whatever the umask, and the next run can
# use it (in a /tmp of its own, without a runtime folder).
if unshare -rm true 2>/dev/null; then
  got=$(env -u XDG_RUNTIME_DIR LANG=C unshare -rm sh -c \
    'mount -t tmpfs none /tmp && umask 0277 && "$0" lock "$1" >/dev/null && "$0" lock "$1" && stat -c %a /tmp/setup-launcher-0' \
    "$tool" "$medium" 2>&1)
  want="/tmp/setup-launcher-0/Aurora%20Ledger%207.lock
700"
  if [[ "$got" == "$want" ]]; then echo "ok: lock under umask 0277"; else echo "FAIL: lock under umask 0277: [$got]"; fails=$((fails + 1)); fi
else
  echo "skipped: lock under umask 0277 (no user namespaces)"
fi

echo "$fails failed"
exit $((fails > 0))
