#!/usr/bin/env bash
# The README's runnable examples, exactly as written: every ```sh block that
# follows a line "<!-- run by tests/cli/readme_examples_test.sh ... -->" runs
# line by line in a fresh folder, with the build's tools first on PATH and
# a display of its own (preview is among them), and each line must succeed.
set -uo pipefail
: "${BUILD_DIR:?}" "${SOURCE_DIR:?}"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -m 700 "$work/run" "$work/cwd"
# The examples name the checkout's build and pages as a reader who built it
# has them.
ln -s "$BUILD_DIR" "$work/cwd/build"
ln -s "$SOURCE_DIR/res" "$work/cwd/res"

# The marked blocks, one command a line.
awk '
  /^<!-- run by tests\/cli\/readme_examples_test\.sh/ { marked = 1; next }
  marked && /^```sh$/ { inside = 1; marked = 0; next }
  inside && /^```$/ { inside = 0; next }
  inside { print; next }
  { marked = 0 }
' "$SOURCE_DIR/README.md" >"$work/commands"
count=$(grep -c . "$work/commands")
if ((count == 0)); then
  echo "FAIL: no marked example in README.md"
  exit 1
fi

# The runner: each line by itself in the folder, stopping at the first
# failure with the line that failed.
{
  echo 'cd "$1" || exit 1'
  echo 'n=0'
  while IFS= read -r line; do
    [[ -z $line ]] && continue
    printf 'n=$((n + 1)); echo %q\n' "+ $line"
    printf '%s\n' "$line"
    echo 'status=$?; if ((status != 0)); then echo "FAIL: example $n exited with $status"; exit 1; fi'
  done <"$work/commands"
  echo 'echo "ok: $n examples of the README ran"'
} >"$work/run.sh"

env -u LC_ALL -u LC_MESSAGES -u SETUP_LAUNCHER_LANGUAGE -u SETUP_LAUNCHER_DATABASE \
  PATH="$BUILD_DIR/bin:$PATH" XDG_RUNTIME_DIR="$work/run" LANG=C.UTF-8 \
  timeout 240 "$SOURCE_DIR/tests/gui/with_xvfb.sh" bash "$work/run.sh" "$work/cwd" </dev/null
