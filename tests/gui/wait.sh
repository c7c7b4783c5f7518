# shellcheck shell=bash
# Bounded waits of the window tests, without side effects of their own:
# sourced by lib.sh and by the package test. Each wait polls for what it
# waits for and gives up after its bound, with status 1.

# wait_until SECONDS COMMAND...: runs COMMAND every tenth of a second until
# it succeeds, at most SECONDS long.
wait_until() {
  local seconds=$1
  shift
  local now=${EPOCHREALTIME/./}
  local deadline=$((now + seconds * 1000000))
  while ! "$@"; do
    now=${EPOCHREALTIME/./}
    ((now < deadline)) || return 1
    sleep 0.1
  done
}

# process_ended PID: the process is gone (or a zombie of ours, not yet
# waited for).
process_ended() {
  ! kill -0 "$1" 2>/dev/null || [[ "$(ps -o stat= -p "$1" 2>/dev/null)" == Z* ]]
}

# wait_for_picture WINDOW FILE [OTHER]: waits (at most 30 s) until WINDOW
# shows a drawn picture (more than a handful of colours) that has stopped
# changing for half a second, and, given OTHER, differs from the picture in
# that file; keeps it in FILE.
wait_for_picture() {
  local window=$1 file=$2 other=${3:-} previous="" current colours avoid=""
  [[ -n "$other" ]] && avoid=$(md5sum <"$other" | cut -d' ' -f1)
  local deadline=$((${EPOCHREALTIME/./} + 30000000))
  while ((${EPOCHREALTIME/./} < deadline)); do
    if import -window "$window" "$file" 2>/dev/null; then
      colours=$(convert "$file" -format %k info: 2>/dev/null || echo 0)
      current=$(md5sum <"$file" | cut -d' ' -f1)
      if ((colours > 16)) && [[ "$current" != "$avoid" ]]; then
        [[ "$current" == "$previous" ]] && return 0
        previous=$current
      else
        previous=""
      fi
    fi
    sleep 0.5
  done
  return 1
}
