#!/usr/bin/env bash
# Installs the Debian 12 packages that building, running and testing the
# launcher need, when they are missing. Safe to run again.
set -euo pipefail

packages=(
  # build
  build-essential cmake ninja-build pkg-config
  libwebkit2gtk-4.1-dev libxml2-dev libicu-dev libgtest-dev libgmock-dev libbenchmark-dev
  # run
  libwebkit2gtk-4.1-0 libxml2 libicu72
  # headless window tests and screenshots
  xvfb xauth xdotool x11-utils imagemagick openbox procps
  # the window tests under Wayland: a compositor nested in Xvfb
  weston
  # the pages' text as a screen reader reads it (tests/gui/page_text.py)
  dbus-daemon at-spi2-core python3-gi gir1.2-atspi-2.0
  # fonts that show every demo language, Japanese included
  fonts-dejavu-core fonts-noto-cjk
  # fuzz targets (scripts/fuzz.sh): clang with libFuzzer and the sanitizers
  clang libclang-rt-14-dev
  # the Debian package (tests/package): cpack's dependency scan, and man
  dpkg-dev man-db
  # page libraries as Windows tools build them, for the tests (windres, ld)
  binutils-mingw-w64-x86-64 binutils-mingw-w64-i686
  # disc images of a medium (setup-medium image)
  xorriso
)

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$p")
done
if ((${#missing[@]} == 0)); then
  exit 0
fi

echo "Installing: ${missing[*]}" >&2
sudo_cmd=()
if [[ $(id -u) -ne 0 ]]; then sudo_cmd=(sudo); fi
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
