#!/usr/bin/env bash
# A sealed medium: sha256sum -c agrees with setup-medium seal, and each kind
# of damage is found by check (and, from the chosen setup folder, by the
# launcher) and named.
set -uo pipefail
: "${BUILD_DIR:?}" "${SOURCE_DIR:?}"
tool="$BUILD_DIR/bin/setup-medium"
work=$(mktemp -d)
trap 'chmod -R u+rwX "$work"; rm -rf "$work"' EXIT
fails=0
fail() { echo "FAIL: $*"; fails=$((fails + 1)); }

sealed="$work/sealed"
# The demo medium comes sealed; sealed again, it says what it sealed.
cmp -s <(cd "$BUILD_DIR/media/medium" && sha256sum -c --quiet SHA256SUMS && cat SHA256SUMS) \
  <(cd "$BUILD_DIR/media/medium" && find . -type f ! -name SHA256SUMS | cut -c3- | LC_ALL=C sort | xargs -d '\n' sha256sum) \
  && echo "ok: the demo medium is sealed" || fail "the demo medium's seal"
cp -r "$BUILD_DIR/media/medium" "$sealed"
said=$("$tool" seal "$sealed")
files=$(find "$sealed" -type f ! -name SHA256SUMS | wc -l)
bytes=$(find "$sealed" -type f ! -name SHA256SUMS -printf '%s\n' | paste -sd+ | bc)
[[ $said == "sealed $files files, $bytes bytes: $sealed/SHA256SUMS" ]] && echo "ok: seal says what it sealed" \
  || fail "seal said: $said (files $files, bytes $bytes)"
(cd "$sealed" && sha256sum --strict -c --quiet SHA256SUMS) && echo "ok: sha256sum -c verifies the seal" \
  || fail "sha256sum -c"
cut -c67- "$sealed/SHA256SUMS" | LC_ALL=C sort -c &&
  [[ $(grep -c '^[0-9a-f]\{64\}  [^/]' "$sealed/SHA256SUMS") == "$files" ]] \
  && echo "ok: sorted lines, lowercase hex, relative paths" || fail "the list's form: $(head -3 "$sealed/SHA256SUMS")"
out=$("$tool" check "$sealed") && [[ -z $out ]] && echo "ok: check of the sealed medium" || fail "check: $out"

# A link that leaves the medium is refused, and nothing is written.
cp -r "$sealed" "$work/leaving" && ln -s /etc/hostname "$work/leaving/DEU/outside"
cp "$work/leaving/SHA256SUMS" "$work/before"
"$tool" seal "$work/leaving" >"$work/out" 2>"$work/err"
status=$?
[[ $status == 1 && ! -s "$work/out" ]] && grep -q "DEU/outside: a symbolic link that leaves the medium" "$work/err" &&
  cmp -s "$work/before" "$work/leaving/SHA256SUMS" && echo "ok: seal refuses a link that leaves the medium" \
  || fail "seal of a leaving link: status $status: $(cat "$work/out" "$work/err")"

# The launcher's answers as its parent would start it: unattended, and on a
# terminal choosing Deutsch (2), then leaving.
export XDG_RUNTIME_DIR=$work/run LANG=C.UTF-8
mkdir -m 700 "$XDG_RUNTIME_DIR"
unset LC_ALL LC_MESSAGES SETUP_LAUNCHER_LANGUAGE SETUP_LAUNCHER_DATABASE DISPLAY WAYLAND_DISPLAY
launch() {  # MEDIUM ARGS...: the launcher under a parent holding the lock
  local dir=$1
  shift
  flock --shared "$("$tool" lock "$dir")" "$dir/setup-launcher" "$@"
}
session="$SOURCE_DIR/tests/support/terminal_session.py"

# Each damage: what is done to a sealed copy; check's status and its
# finding's code, file and line (a line the list no longer names a file on
# also leaves that file unlisted); and the file the launcher names ("-":
# it hands DEU over, as on an unsealed medium).
while IFS='#' read -r name damage status code where named; do
  [[ $name == "an unreadable file" && $(id -u) == 0 ]] && continue  # root reads it all the same
  dir="$work/$name"
  rm -rf "$dir" && cp -r "$sealed" "$dir"
  (cd "$dir" && eval "$damage")
  [[ $where == *LAST ]] && where=${where/LAST/$(wc -l <"$dir/SHA256SUMS")}  # the line put last
  if [[ -n $code ]]; then
    out=$("$tool" check "$dir")
    got=$?
    json=$("$tool" check --format json "$dir")
    if [[ $got == "$status" && $(grep -c "\[checksum" <<<"$out") == $(grep -c . <<<"$out") &&
      $(grep -cF "[$code]" <<<"$out") == 1 && $(grep -F "[$code]" <<<"$out") == "$where: "* &&
      $json == *"\"code\":\"$code\""* ]]; then
      echo "ok: check: $name"
    else
      fail "check: $name: status $got: $out"
    fi
  fi

  # Unattended: silent; on damage status 5, one line naming the file and
  # nothing on standard output.
  launch "$dir" --language=DEU >"$work/out" 2>"$work/err" </dev/null
  got=$?
  if [[ $named == - ]]; then
    [[ $got == 0 && $(cat "$work/out") == DEU && ! -s "$work/err" ]]
  else
    [[ $got == 5 && ! -s "$work/out" && $(wc -l <"$work/err") == 1 ]] &&
      grep -q "^setup-launcher: the medium is damaged: $named " "$work/err"
  fi && echo "ok: unattended: $name" || fail "unattended: $name: status $got, out [$(cat "$work/out")], err [$(cat "$work/err")]"

  # On the terminal: the progress line, then the message naming the file;
  # the page is the user's again, who leaves.
  if [[ $named == - ]]; then
    steps=(--expect "> " --type $'2\n')
  else
    steps=(--expect "> " --type $'2\n' --expect "The medium is damaged: $named cannot be read" --type $'\n'
      --expect "> " --type $'q\n' --expect "[y/n] " --type $'y\n')
  fi
  python3 "$session" --screen "$work/screen" "${steps[@]}" -- \
    flock --shared "$("$tool" lock "$dir")" "$dir/setup-launcher" --text >"$work/out" 2>"$work/err"
  got=$?
  want_out=$([[ $named == - ]] && echo DEU)
  # The progress line shows on a sealed medium, and on no other.
  progress=$([[ -z $code ]] && echo 0 || echo 1)
  if [[ $got == 0 && $(cat "$work/out") == "$want_out" && ! -s "$work/err" &&
    $(grep -cF "Checking the setup files on the medium:" "$work/screen") == "$progress" ]]; then
    echo "ok: terminal: $name"
  else
    fail "terminal: $name: status $got, out [$(cat "$work/out")], err [$(cat "$work/err")]"; cat "$work/screen"
  fi
done <<'CASES'
one damaged byte#printf 'X' | dd of=DEU/setup.sh bs=1 seek=3 conv=notrunc status=none#1#checksum-mismatch#DEU/setup.sh#DEU/setup.sh
a missing file#rm DEU/README.txt#1#checksum-file-missing#DEU/README.txt#DEU/README.txt
an unreadable file#chmod 000 DEU/README.txt#1#checksum-file-unreadable#DEU/README.txt#DEU/README.txt
an unlisted file#echo new >DEU/extra.cab#0#checksum-file-unlisted#DEU/extra.cab#-
a malformed line#sed -i '2s/^./Z/' SHA256SUMS#1#checksum-line-malformed#SHA256SUMS:2#SHA256SUMS
a path that leaves the medium#echo "$(sha256sum <setup.inf | cut -c1-64)  ../setup.inf" >>SHA256SUMS#1#checksum-line-malformed#SHA256SUMS:LAST#SHA256SUMS
another language damaged#printf 'X' >>ENU/setup.sh#1#checksum-mismatch#ENU/setup.sh#-
an unsealed medium#rm SHA256SUMS; printf 'X' >>DEU/setup.sh####-
CASES

# The reference parent tells a damaged medium apart (5), and the entry
# point's run of it says the medium is damaged (83).
damaged="$work/one damaged byte"
"$BUILD_DIR/bin/setup-parent" --language=DEU "$damaged" >"$work/out" 2>"$work/err"
got=$?
"$damaged/setup" --language=DEU >/dev/null 2>&1 </dev/null
run=$?
[[ $got == 5 && $run == 83 && ! -s "$work/out" ]] && grep -q "^setup-launcher: the medium is damaged: DEU/setup.sh" "$work/err" &&
  grep -q "^setup-parent: the medium is damaged$" "$work/err" && echo "ok: setup-parent and the entry point on a damaged medium" \
  || fail "setup-parent on a damaged medium: status $got (entry point $run): $(cat "$work/out" "$work/err")"

# Ctrl+C on the terminal while the check waits for a drive that hangs (a
# FIFO without data): the page is back, and the user leaves.
hung="$work/hung"
cp -r "$sealed" "$hung" && mkfifo "$hung/FRA/slow.cab"
exec {writer}<>"$hung/FRA/slow.cab"
echo "$(printf '%064d' 0)  FRA/slow.cab" >>"$hung/SHA256SUMS"
python3 "$session" --screen "$work/screen" --expect "> " --type $'4\n' \
  --expect "Checking the setup files on the medium:" --type $'\x03' --expect "> " --type $'q\n' \
  --expect "[y/n] " --type $'y\n' -- \
  sh -c 'trap "" INT; exec flock --shared "$1" "$2/setup-launcher" --text' sh "$("$tool" lock "$hung")" "$hung" \
  >"$work/out" 2>"$work/err"
got=$?
exec {writer}>&-
[[ $got == 0 && ! -s "$work/out" && ! -s "$work/err" ]] && echo "ok: terminal: Ctrl+C cancels a check that hangs" \
  || { fail "terminal: Ctrl+C during the check: status $got, out [$(cat "$work/out")], err [$(cat "$work/err")]"; cat "$work/screen"; }

# A medium from init: the check's texts in each section, in its own words
# where the demo has them; sealed, it checks clean and hands its folder over.
"$tool" init "$work/new" --languages 1033,1031 >/dev/null
for key in 9090 9091 9092; do
  [[ $("$tool" get "$work/new/setupres.ini" 1031 $key) == *[äöüß]* || $key == 9091 ]] &&
    [[ -n $("$tool" get "$work/new/setupres.ini" 1033 $key) ]] || fail "init: [1031] $key is not German, or [1033] lacks it"
done
"$tool" seal "$work/new" >/dev/null && out=$("$tool" check --ignore product-not-named "$work/new") && [[ -z $out ]] &&
  [[ $(launch "$work/new" --language=DEU 2>&1 </dev/null) == DEU ]] && echo "ok: init writes the texts; its medium seals" \
  || fail "init's medium, sealed: $out"

echo "$fails failed"
exit $((fails > 0))
