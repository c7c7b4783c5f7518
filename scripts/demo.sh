#!/usr/bin/env bash
# Sets up the machine, builds, and runs the demo medium the way a setup
# program does: through setup-parent, which holds the product's lock, starts
# the launcher and prints what the user chose.
#   scripts/demo.sh            the demo medium
#   scripts/demo.sh --database the medium with the database choice
# The launcher shows the section of the desktop's language:
#   LANG=he_IL.UTF-8 scripts/demo.sh    the Hebrew section, right to left
# On a desktop the window opens and waits for you. Without a display the
# launcher runs in Xvfb: a screenshot of its first page is saved under
# build/demo/, then the demo presses Tab and Return as a user would, which
# picks the first option of each page.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
medium=medium
[[ "${1:-}" == "--database" ]] && medium=medium-db
"$root/scripts/setup-machine.sh"
"$root/scripts/build.sh" >/dev/null
parent="$root/build/bin/setup-parent"
dir="$root/build/media/$medium"

report() {  # STATUS OUTPUT_FILE
  case $1 in
    0) echo "The launcher handed over: $(cat "$2")" ;;
    1) echo "The launcher ended without a result (closed by the user)." ;;
    *) echo "The launcher failed (status $1)." ;;
  esac
}

if [[ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]]; then
  echo "Starting $dir/setup-launcher through setup-parent"
  out=$(mktemp)
  status=0
  "$parent" "$dir" >"$out" || status=$?
  report "$status" "$out"
  rm -f "$out"
  exit 0
fi

out="$root/build/demo"
mkdir -p "$out"
shot="$out/$medium.png"
echo "No display: running the launcher in Xvfb"
xvfb-run -a -s "-screen 0 1024x768x24 -noreset" bash -c '
  parent=$1 dir=$2 shot=$3 out=$4 medium=$5
  source "$6/tests/gui/wait.sh"  # waits for a drawn page, with a bound
  "$parent" "$dir" >"$out/result" 2>"$out/stderr" &
  pid=$!
  wid=
  for i in $(seq 1 100); do
    launcher=$(pgrep -P "$pid" -x setup-launcher || true)
    [[ -n "$launcher" ]] && wid=$(xdotool search --onlyvisible --pid "$launcher" 2>/dev/null | head -n1 || true)
    [[ -n "$wid" ]] && break
    sleep 0.2
  done
  [[ -n "$wid" ]] || { echo "The launcher showed no window:"; cat "$out/stderr"; kill "$pid" 2>/dev/null; exit 1; }
  wait_for_picture "$wid" "$shot" || import -window "$wid" "$shot"
  echo "Window caption: $(xdotool getwindowname "$wid")"
  echo "Screenshot of the first page: $shot"
  xdotool windowfocus --sync "$wid"
  if [[ $medium == medium-db ]]; then
    echo "Pressing Tab, Tab, Tab, Return (Next with the first database), then Tab, Return (the first language)"
    xdotool key --delay 300 Tab Tab Tab Return
    wait_for_picture "$wid" "$out/next.png" "$shot" || true
  else
    echo "Pressing Tab, Return (the first language)"
  fi
  xdotool key --delay 300 Tab Return
  if ! wait_until 30 process_ended "$pid"; then
    echo "The launcher did not end after the keys: stopping it"
    kill "$pid" 2>/dev/null
  fi
  status=0
  wait "$pid" || status=$?
  echo "$status" >"$out/status"
' _ "$parent" "$dir" "$shot" "$out" "$medium" "$root"
report "$(cat "$out/status")" "$out/result"
