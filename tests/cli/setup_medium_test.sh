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

# The reading rules (names, blanks, quotes, comments, the 259-byte cut,
# encodings, numbers) are unit tests of the reader; here the tool hands
# over what it read: exactly the bytes, with no line end, from a file
# written as on Windows.
printf '%s\r\n' \
  '; written on Windows' \
  '[Setup]' \
  'ProductName = "%ProductName%" ' \
  'Quoted="  keep these blanks  "' \
  'Negative=-1' > "$dir/setup.inf"

f="$dir/setup.inf"
expect "%ProductName%" get "$f" SETUP productname
expect "  keep these blanks  " get "$f" " Setup " "	Quoted "
expect "default" get "$f" Setup Missing "default   "
expect "4294967295" get --int "$f" Setup Negative
expect "7" get --int "$f" Setup Missing 7

# A file that cannot be read (missing, a FIFO) reads as an empty one; the
# exit status says so, and one line of setup-medium's says why.
mkfifo "$dir/fifo.ini"
for c in "missing.ini|No such file or directory" "fifo.ini|it is a FIFO, not a file"; do
  file="$dir/${c%%|*}"
  expect "NULL" get "$file" s k NULL 2>/dev/null
  "$tool" get "$file" s k NULL >/dev/null 2>"$dir/said"
  status=$?
  [[ $status == 1 && "$(cat "$dir/said")" == "setup-medium: cannot read $file: ${c#*|}" ]] ||
    { echo "FAIL: get ${c%%|*}: status $status, said [$(cat "$dir/said")]"; fails=$((fails + 1)); }
done

# The language section of the demo medium as the environment names it (the
# locales each map to an id, and an id to a section, in the unit tests):
# LANG, and LC_ALL before it.
medium="$SOURCE_DIR/demo/medium"
got=$(env LC_ALL= LC_MESSAGES= LANG=es_ES.UTF-8 "$tool" language "$medium")
[[ "$got" == 1034 ]] || { echo "FAIL: language under es_ES.UTF-8: $got, want 1034"; fails=$((fails + 1)); }
got=$(env LC_ALL=de_DE.UTF-8 LANG=fr_FR.UTF-8 "$tool" language "$medium")
[[ "$got" == 1031 ]] || { echo "FAIL: LC_ALL does not govern: $got"; fails=$((fails + 1)); }
# Canadian French has no section: 1033 serves it, though French is there,
# and standard error says so.
got=$(env LC_ALL=fr_CA.UTF-8 "$tool" language "$medium" 2>"$dir/said")
[[ "$got" == 1033 && "$(cat "$dir/said")" == *"3084 reads section 1033"* ]] ||
  { echo "FAIL: language under fr_CA.UTF-8: $got, $(cat "$dir/said")"; fails=$((fails + 1)); }

# A medium saved in Windows-1252: the lock is named by the decoded product
# name, as the launcher names it (its unit tests).
mkdir -p "$dir/cp1252" && mkdir -m 700 "$dir/run"
printf '[Setup]\r\nProductName=%%Produit%%\r\n' >"$dir/cp1252/setup.inf"
printf '[1036]\r\n32001=Fran\xe7ais\r\nProduit=Soci\xe9t\xe9 G\xe9n\xe9rale\r\n' >"$dir/cp1252/setupres.ini"
got=$(env LC_ALL=fr_FR.UTF-8 XDG_RUNTIME_DIR="$dir/run" "$tool" lock "$dir/cp1252")
[[ "$got" == "$dir/run/Soci%C3%A9t%C3%A9%20G%C3%A9n%C3%A9rale.lock" ]] ||
  { echo "FAIL: lock of a Windows-1252 product name: $got"; fails=$((fails + 1)); }

# A MEDIUM_DIR that is no medium is refused before anything is read or
# started: status 2, nothing on standard output, one line naming what is
# missing.
mkdir -p "$dir/no-inf"
: >"$dir/a-file"
while read -r what path said; do
  for command in "$tool lock" "$tool language" "$BUILD_DIR/bin/setup-parent"; do
    status=0
    $command "$dir/$path" >"$dir/out" 2>"$dir/err" </dev/null || status=$?
    if [[ $status == 2 && ! -s "$dir/out" && $(grep -c . "$dir/err") == 1 ]] && grep -qF "$dir/$said" "$dir/err"; then
      echo "ok: ${command##*/} on $what"
    else
      echo "FAIL: ${command##*/} on $what: status $status, said [$(cat "$dir/err")]"; fails=$((fails + 1))
    fi
  done
done <<'CASES'
no-folder      missing    missing: No such file
a-file         a-file     a-file is not a folder
no-setup.inf   no-inf     no-inf/setup.inf is missing
CASES

# The lock folder gets mode 0700 whatever the umask, and the next run can
# use it (in a /tmp of its own, without a runtime folder; the tool and the
# medium are copied aside first, since they may lie under /tmp).
if unshare -rm true 2>/dev/null; then
  got=$(env -u XDG_RUNTIME_DIR LANG=C unshare -rm sh -c \
    'mount -t tmpfs none /mnt && cp "$0" /mnt/tool && cp -r "$1" /mnt/medium && mount -t tmpfs none /tmp &&
     umask 0277 && /mnt/tool lock /mnt/medium >/dev/null && /mnt/tool lock /mnt/medium && stat -c %a /tmp/setup-launcher-0' \
    "$tool" "$medium" 2>&1)
  want="/tmp/setup-launcher-0/Aurora%20Ledger%207.lock
700"
  if [[ "$got" == "$want" ]]; then echo "ok: lock under umask 0277"; else echo "FAIL: lock under umask 0277: [$got]"; fails=$((fails + 1)); fi
else
  echo "skipped: lock under umask 0277 (no user namespaces)"
fi

# pack: the names a folder of pages gives its library. A *.gresource.xml in
# the folder governs (prefixes, aliases; no file outside the folder), else
# only the home and database pages lose their ".html"; without the home page nothing is built, without
# the database page a warning. Each case: the folder's files (name=content,
# "@" content a symbolic link), the exit status, what standard error holds,
# the names unpack finds in the library; pack_path, when set, is pack's PATH.
pack_case() {  # NAME STATUS STDERR_PATTERN NAMES FILE=CONTENT...
  local name=$1 status=$2 pattern=$3 names=$4 pages="$dir/pack-$1" entry got
  shift 4
  mkdir -p "$pages"
  for entry in "$@"; do
    mkdir -p "$(dirname "$pages/${entry%%=*}")"
    if [[ ${entry#*=} == @* ]]; then ln -s "${entry#*=@}" "$pages/${entry%%=*}"; else printf '%s' "${entry#*=}" >"$pages/${entry%%=*}"; fi
  done
  PATH=${pack_path:-$PATH} "$tool" pack "$pages" "$dir/$name.dll" 2>"$dir/said"
  got=$?
  if [[ $got == "$status" && "$(cat "$dir/said")" =~ $pattern && $(wc -l <"$dir/said") -le 1 ]] &&
     { [[ $status != 0 ]] && [[ ! -e "$dir/$name.dll" ]] ||
       [[ "$("$tool" unpack "$dir/$name.dll" "$dir/$name-out" | tr '\n' ' ')" == "$names" ]]; }; then
    echo "ok: pack $name"
  else
    echo "FAIL: pack $name: status $got, said [$(cat "$dir/said")]"; fails=$((fails + 1))
  fi
}
xml() { printf '<?xml version="1.0"?><gresources>%s</gresources>' "$1"; }
echo outside >"$dir/outside.html"
cp -r "$SOURCE_DIR/res/pages" "$dir/pack-sample"
pack_case sample 0 '^$' 'GIF/GIF_NOSELECTED GIF/GIF_SELECTED HTML_HOMEPAGE.html HTML_SAP.html '
pack_case by-file 0 '^setup-medium: warning: no HTML_SAP' 'GIF/GIF_SELECTED HTML_HOMEPAGE.html logo.png ' \
  HTML_HOMEPAGE.html=home GIF/GIF_SELECTED=gif logo.png=png
pack_case linked-pages 0 '^$' 'HTML_SAP.html html_homepage.html info.html more/HTML_SAP.html ' \
  html_homepage.html=home HTML_SAP.html=db info.html=info more/HTML_SAP.html=x
pack_case prefixes 0 '^$' 'GIF/GIF_SELECTED HTML_HOMEPAGE.html HTML_SAP.html logo.png ' pages.gresource.xml="$(xml \
  '<gresource prefix="/"><file alias="HTML_HOMEPAGE">home.html</file><file alias="HTML_SAP">db.html</file>
   <file>logo.png</file></gresource><gresource prefix="/GIF/"><file alias="GIF_SELECTED">s.gif</file></gresource>')" \
  home.html=home db.html=db logo.png=png s.gif=gif unlisted.html=x
pack_case no-home 1 '^setup-medium: no HTML_HOMEPAGE .*would hold HTML_SAP, home\.html[)]' '' home.html=home HTML_SAP.html=db
pack_case twice 1 '^setup-medium: both HTML_HOMEPAGE and HTML_HOMEPAGE.html would be' '' \
  HTML_HOMEPAGE=a HTML_HOMEPAGE.html=b
pack_case leaves 1 'names \.\./outside\.html, which leaves the folder' '' \
  l.gresource.xml="$(xml '<gresource><file alias="HTML_HOMEPAGE">../outside.html</file></gresource>')"
pack_case link-out 1 'names home\.html, which leaves the folder' '' home.html=@"$dir/outside.html" \
  l.gresource.xml="$(xml '<gresource><file alias="HTML_HOMEPAGE">home.html</file></gresource>')"
pack_case bad-xml 1 'l\.gresource\.xml: .*line 1' '' home.html=h \
  l.gresource.xml="$(xml '<gresource><fil alias="HTML_HOMEPAGE">home.html</fil></gresource>')"
# GLib's resource compiler comes with a package the package only recommends.
mkdir "$dir/no-compiler"
pack_path=$dir/no-compiler pack_case no-compiler 1 \
  '^setup-medium: glib-compile-resources is missing: install libglib2.0-dev-bin ' '' \
  HTML_HOMEPAGE.html=h HTML_SAP.html=d

# unpack writes below OUT_DIR only: a symbolic link placed there beforehand
# (a folder on the way, or the file itself) is left out with a line each (a
# name that leaves it: medium_check_test.sh); so is a name whose file pack
# would take back as a page ("HTML_SAP.html" beside the page HTML_SAP,
# whose file it is); the rest is written.
mkdir -p "$dir/unpack/out" "$dir/unpack/elsewhere" && echo page >"$dir/unpack/page" && echo other >"$dir/unpack/other"
ln -s ../elsewhere "$dir/unpack/out/GIF" && ln -s ../elsewhere/file "$dir/unpack/out/link"
xml '<gresource prefix="/"><file alias="/abs">page</file>
  <file alias="GIF/g">page</file><file alias="link">page</file>
  <file alias="HTML_SAP">page</file><file alias="HTML_SAP.html">other</file></gresource>' >"$dir/unpack/l.xml"
glib-compile-resources --sourcedir="$dir/unpack" --target="$dir/unpack/lib" "$dir/unpack/l.xml"
"$tool" unpack "$dir/unpack/lib" "$dir/unpack/out" >"$dir/unpack/names" 2>"$dir/said"
got=$?
said=$(cat "$dir/said")
if [[ $got == 1 && "$(cat "$dir/unpack/names")" == $'HTML_SAP.html\nabs' && -z "$(ls -A "$dir/unpack/elsewhere")" &&
      "$(cat "$dir/unpack/out/HTML_SAP.html")" == page && $(wc -l <"$dir/said") == 3 && "$said" == *'out/GIF is a symbolic link'* &&
      "$said" == *'out/link is a symbolic link'* && "$said" == *'"HTML_SAP.html" is left out: pack would take'* ]]; then
  echo "ok: unpack writes below its folder only"
else
  echo "FAIL: unpack through links: status $got, wrote [$(cat "$dir/unpack/names")], said [$said]"; fails=$((fails + 1))
fi

# A mistake on a command line: status 2, nothing on standard output, one
# line on standard error naming the mistake and pointing to --help. Each
# case: the program, what the line must hold, the arguments.
parent="$BUILD_DIR/bin/setup-parent"
launcher="$BUILD_DIR/media/medium/setup-launcher"
while IFS='|' read -r program want args; do
  read -ra words <<<"$args"
  "$program" "${words[@]}" >"$dir/out" 2>"$dir/err"
  status=$?
  if [[ $status -ne 2 || -s "$dir/out" || $(wc -l <"$dir/err") -ne 1 ]] ||
    ! grep -q -- "$want.*--help" "$dir/err"; then
    echo "FAIL: ${program##*/} $args: status $status, said: $(cat "$dir/err")"; fails=$((fails + 1))
  fi
done <<EOF2
$tool|a command is needed|
$tool|unknown command "frobnicate"|frobnicate
$tool|too few operands: it takes FILE SECTION KEY|get $f
$tool|unknown option "--bogus"|check $medium --bogus
$tool|--format is text or json|check --format xml $medium
$tool|--out needs a value|preview $medium --out
$tool|--out needs a value|preview $medium --out --database
$tool|--out needs a value|preview $medium --out=
$parent|--language needs a value|--language --database=SQL $medium
$tool|--int takes no value|get --int=3 $f Setup Negative
$parent|unknown option "--bogus"|--bogus $medium
$parent|one MEDIUM_DIR only|$medium $medium
$launcher|unknown option|--bogus
EOF2

# Options may follow the operands, and take their value after "=" or as the
# next word.
a=$("$tool" check "$medium" --format json)
b=$("$tool" check --format=json "$medium")
[[ "$a" == "$b" && "$a" == "{"* ]] || { echo "FAIL: --format json after the operand: $a"; fails=$((fails + 1)); }
grep -q "usage: setup-medium" <<<"$("$tool" --help)" || { echo "FAIL: --help"; fails=$((fails + 1)); }

# Names and texts from outside with a line end and a terminal's title
# escape in them (a medium's folder, a module's build id, a product name, a
# language's folder, a resource's name) reach every message escaped: whole
# lines only, no control character, the escapes named. Each case: what
# says it, the stream looked at, its lines, the text it must show, the
# command.
esc=$'\e]0;x\a'
shown='\x1B]0;x\x07'
odd="$dir/odd
$esc"
cp -r "$BUILD_DIR/media/medium" "$odd" && rm "$odd/SHA256SUMS"
cp "$BUILD_DIR/test-modules/other_build_window.so" "$odd/setup-launcher-gtk.so"
sed -i "s/^ProductName=Aurora Ledger 7\$/ProductName=Aurora$esc/; s/^LANGUAGE1=Deutsch,DEU\$/LANGUAGE1=Deutsch,DEU$esc/" \
  "$odd/setupres.ini"
mkdir -m 700 "$dir/odd-run" && mkdir "$(XDG_RUNTIME_DIR="$dir/odd-run" LC_ALL=C.UTF-8 "$tool" lock "$odd")"
mkdir "$odd/fifo" && cp "$odd/setup.inf" "$odd/fifo/" && mkfifo "$odd/fifo/setupres.ini"
mkdir -p "$dir/odd-pages" && echo page >"$dir/odd-pages/page"
xml '<gresource prefix="/"><file alias="HTML_HOMEPAGE">page</file><file alias="a&#10;b">page</file></gresource>' \
  >"$dir/odd-pages/l.xml"
glib-compile-resources --sourcedir="$dir/odd-pages" --target="$dir/odd-pages/lib" "$dir/odd-pages/l.xml"
escaped() {  # WHAT STREAM LINES SHOWN COMMAND...
  local what=$1 stream=$2 lines=$3 want=$4
  shift 4
  env LC_ALL=C.UTF-8 XDG_RUNTIME_DIR="$dir/odd-run" "$@" >"$dir/esc.out" 2>"$dir/esc.err" </dev/null
  local got="$dir/esc.$stream"
  if [[ $(wc -l <"$got") == "$lines" ]] && grep -qF -- "$want" "$got" &&
    ! LC_ALL=C grep -q $'[\x01-\x09\x0b-\x1f\x7f]' "$got"; then
    echo "ok: escaped: $what"
  else
    echo "FAIL: escaped: $what: $stream was:"; cat -A "$got"; fails=$((fails + 1))
  fi
}
escaped "the launcher's module" err 1 "odd\\x0A$shown/setup-launcher-gtk.so is from another build of the launcher (0000$shown" \
  env -u WAYLAND_DISPLAY DISPLAY=:9999 setsid -w "$odd/setup-launcher"
escaped "setup-parent's lock" err 2 "cannot hold the lock of the product \"Aurora$shown\"" "$BUILD_DIR/bin/setup-parent" --language=1 "$odd"
escaped "a setup file" err 1 "cannot read $dir/odd\\x0A$shown/fifo/setupres.ini: it is a FIFO" "$tool" language "$odd/fifo"
escaped "get" err 1 "cannot read $dir/odd\\x0A$shown/missing.ini" "$tool" get "$odd/missing.ini" s k
escaped "check" out 1 "the folder \"DEU$shown\" is missing" "$tool" check "$odd"
escaped "unpack" out 2 'a\x0Ab' "$tool" unpack "$dir/odd-pages/lib" "$dir/odd-pages/out"

# A file that is no library is named so.
echo "plain text" >"$dir/not-a-library"
said=$("$tool" unpack "$dir/not-a-library" "$dir/unpacked" 2>&1)
[[ $said == *"not a page library (neither a GResource bundle nor a resource DLL)"* ]] ||
  { echo "FAIL: unpack of a text file said: $said"; fails=$((fails + 1)); }

echo "$fails failed"
exit $((fails > 0))
