#!/usr/bin/env bash
# The launcher needs no toolkit of its own: GTK and WebKitGTK come with its
# window, a module beside it that exports one entry. Where that module is
# missing or not this launcher's, or the display named cannot be opened,
# and there is no terminal either, the launcher ends with status 1, one line
# on standard error saying why, and nothing on standard output.
set -uo pipefail
: "${BUILD_DIR:?}"
launcher="$BUILD_DIR/bin/setup-launcher"
window="$BUILD_DIR/bin/setup-launcher-gtk.so"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fails=0
fail() { echo "FAIL: $*"; fails=$((fails + 1)); }

toolkit='gtk|gdk|webkit|javascriptcore|soup|cairo|pango|atk'
needed=$(readelf -d "$launcher" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p' | tr '\n' ' ')
if grep -qiE "$toolkit" <<<"$needed"; then fail "the launcher needs a toolkit library: $needed"; else echo "ok: the launcher needs $needed"; fi
grep -qi webkit2gtk < <(readelf -d "$window") || fail "the window module does not need WebKitGTK"
exported=$(nm -D --defined-only "$window" | awk '{ print $3 }' | tr '\n' ' ')
[[ "$exported" == "setup_launcher_gtk_entry " ]] && echo "ok: the window exports its entry alone" \
  || fail "the window module exports: $exported"

# CASE WINDOW PATTERN REFUSED: the medium's window module replaced by
# WINDOW ("none": removed; "text": a file that is no library; "fifo": a FIFO,
# which must not hold the launcher up); the one line
# said; "unloaded" when the module loads but is refused, and so is unloaded
# before the launcher goes on (the loader's log says it destroyed the
# module's link map, which an exit does not; the module is loaded through
# the descriptor it was checked by).
cases=(
  "missing|none|^setup-launcher: the window's module .*/setup-launcher-gtk.so is missing$|"
  "fifo|fifo|^setup-launcher: the window's module .*/setup-launcher-gtk.so cannot be loaded: it is a FIFO, not a file$|"
  "no library|text|^setup-launcher: cannot load the window's module: .*setup-launcher-gtk.so: |"
  "other interface|$BUILD_DIR/test-modules/other_interface_window.so|was built for another version of the launcher|unloaded"
  "other build|$BUILD_DIR/test-modules/other_build_window.so|is from another build of the launcher .*copy both from one build$|unloaded"
  "no display|$window|^setup-launcher: cannot open the display$|"
)
for c in "${cases[@]}"; do
  IFS='|' read -r name module pattern refused <<<"$c"
  dir="$work/$name"
  cp -r "$BUILD_DIR/media/medium" "$dir"
  case $module in
    none) rm "$dir/setup-launcher-gtk.so" ;;
    text) echo "not a library" >"$dir/setup-launcher-gtk.so" ;;
    fifo) rm "$dir/setup-launcher-gtk.so" && mkfifo "$dir/setup-launcher-gtk.so" ;;
    *) cp "$module" "$dir/setup-launcher-gtk.so" ;;
  esac
  # A session of its own: no terminal to fall back on. The display named
  # does not exist.
  rm -f "$work"/ld.*
  env -u WAYLAND_DISPLAY DISPLAY=:9999 LD_DEBUG=files LD_DEBUG_OUTPUT="$work/ld" timeout 20 \
    setsid -w "$dir/setup-launcher" >"$work/out" 2>"$work/err" </dev/null
  status=$?
  if [[ $refused == unloaded ]] && ! cat "$work"/ld.* | grep -qE "file=/proc/self/fd/[0-9]+ \[0\];  destroying link map"; then
    fail "$name: the refused module stays loaded"
  fi
  if ((status == 1)) && [[ ! -s "$work/out" && $(grep -c . "$work/err") == 1 ]] && grep -qE "$pattern" "$work/err"; then
    echo "ok: $name: $(cat "$work/err")"
  else
    fail "$name: status $status, standard output $(wc -c <"$work/out") bytes, standard error:"; cat "$work/err"
  fi
done
exit $((fails > 0))
