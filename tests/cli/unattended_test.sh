#!/usr/bin/env bash
# Unattended answers as scripts use them: through setup-parent, which hands
# its --language and --database on, and through the environment, which
# reaches a launcher whose parent passes no arguments. Nothing reaches
# standard output but the result.
set -uo pipefail
: "${BUILD_DIR:?}" "${SOURCE_DIR:?}"
program=$BUILD_DIR/bin/setup-launcher
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export XDG_RUNTIME_DIR=$work/run LANG=C.UTF-8
mkdir -m 700 "$XDG_RUNTIME_DIR"
unset LC_ALL LC_MESSAGES SETUP_LAUNCHER_LANGUAGE SETUP_LAUNCHER_DATABASE
for medium in medium medium-db; do
  cp -r "$SOURCE_DIR/demo/$medium" "$work/$medium"
  cp "$program" "$work/$medium/setup-launcher"
  cp "$BUILD_DIR/pages/SetupHmRes.dll" "$work/$medium/"
done
parent=$BUILD_DIR/bin/setup-parent
fails=0
# check NAME STATUS STDOUT STDERR-PATTERN COMMAND...: runs COMMAND, compares
# (an empty pattern: nothing on standard error).
check() {
  local name=$1 status=$2 out=$3 err=$4
  shift 4
  "$@" >"$work/out" 2>"$work/err" </dev/null
  local got=$?
  local err_ok=1
  if [[ -z $err ]]; then [[ -s "$work/err" ]] && err_ok=0; else grep -Eq "$err" "$work/err" || err_ok=0; fi
  if [[ $got != "$status" || "$(cat "$work/out")" != "$out" ]] || ((!err_ok)); then
    echo "FAIL: $name: status $got, output \"$(cat "$work/out")\", error: $(cat "$work/err")"
    fails=$((fails + 1))
  else
    echo "ok: $name"
  fi
}
check "setup-parent hands the language and the database on" 0 "DEUO-db=oracle" '' \
  "$parent" --language=deutsch --database Oracle "$work/medium-db"
check "the environment answers for a parent without arguments" 0 "ESN" '' \
  env SETUP_LAUNCHER_LANGUAGE=3 "$parent" "$work/medium"
check "a language that is not on the medium" 3 "" 'installable: ENU \(English\), DEU' \
  "$parent" --language=ITA "$work/medium"
check "a wrong command line" 2 "" '^setup-launcher: --database needs a language' \
  "$work/medium/setup-launcher" --database=SQL
# The usage to a reader that has gone: the launcher says so and ends with
# status 3, never killed by SIGPIPE.
check "--help to a pipe without a reader" 3 "" '^setup-launcher: the result could not be handed to the parent' \
  python3 -c 'import os, subprocess, sys; r, w = os.pipe(); os.close(r); sys.exit(subprocess.call(sys.argv[1:], stdout=w))' \
  "$work/medium/setup-launcher" --help
# A launcher that ends at start says why, with the lock's path.
check "without its parent the launcher says whose lock is missing" 0 "" \
  "^setup-launcher: no parent holds the lock of the product \"Aurora Ledger 7\" \\(the lock file $XDG_RUNTIME_DIR/Aurora%20Ledger%207.lock\\)" \
  "$work/medium/setup-launcher" --language=DEU
# A parent that holds the product's lock exclusively is there as well: the
# launcher runs and says nothing (nor does setup-parent beneath it).
check "a parent's exclusive hold of the product's lock" 0 "DEU" '' \
  flock "$XDG_RUNTIME_DIR/Aurora%20Ledger%207.lock" "$parent" --language=DEU "$work/medium"
# A second launcher, whatever its product, ends with a status of its own,
# 4, and setup-parent passes it on.
check "a second launcher says which lock it met" 4 "" \
  "^setup-launcher: another launcher is running: it holds the lock file $XDG_RUNTIME_DIR/PreventSecondInstance.lock" \
  flock --shared "$XDG_RUNTIME_DIR/PreventSecondInstance.lock" "$work/medium/setup-launcher" --language=DEU
check "setup-parent of a second launcher" 4 "" '^setup-parent: another launcher is running$' \
  flock --shared "$XDG_RUNTIME_DIR/PreventSecondInstance.lock" "$parent" --language=DEU "$work/medium"
exit $((fails > 0))
