#!/usr/bin/env bash
# Where a built program runs: the libraries it needs (readelf -d) and the
# symbol versions it asks of them (readelf -V), against what each target
# distribution ships.
#
#   scripts/check-portable.sh [--require-all] BINARY...
#
# Prints, per binary, the distributions it runs on and, for each other one,
# why not. Exit status 1 when a binary runs nowhere or, with --require-all,
# not everywhere; 2 for a file that is not an ELF binary.
set -uo pipefail
export LC_ALL=C

require_all=0
if [[ ${1:-} == --require-all ]]; then
  require_all=1
  shift
fi
if (($# == 0)); then
  echo "usage: $0 [--require-all] BINARY..." >&2
  exit 2
fi
command -v readelf >/dev/null || { echo "$0: readelf not found (binutils)" >&2; exit 2; }

# The target distributions. Each one: the newest version of each versioned
# symbol family its base libraries define (glibc; libstdc++ and libgcc_s of
# its GCC), and the sonames it ships among those our programs may need
# (with the desktop libraries installed). A library outside the table
# counts as missing everywhere.
distributions=("Debian 12" "Debian 13" "Ubuntu 22.04" "Ubuntu 24.04" "Fedora 40+")
declare -A GLIBC=(["Debian 12"]=2.36 ["Debian 13"]=2.41 ["Ubuntu 22.04"]=2.35 ["Ubuntu 24.04"]=2.39
  ["Fedora 40+"]=2.39)
# GCC 12 on Debian 12 and Ubuntu 22.04, GCC 14 on the others.
declare -A GLIBCXX=(["Debian 12"]=3.4.30 ["Debian 13"]=3.4.33 ["Ubuntu 22.04"]=3.4.30 ["Ubuntu 24.04"]=3.4.33
  ["Fedora 40+"]=3.4.33)
declare -A CXXABI=(["Debian 12"]=1.3.13 ["Debian 13"]=1.3.15 ["Ubuntu 22.04"]=1.3.13 ["Ubuntu 24.04"]=1.3.15
  ["Fedora 40+"]=1.3.15)
declare -A GCC=(["Debian 12"]=12.0.0 ["Debian 13"]=14.0.0 ["Ubuntu 22.04"]=12.0.0 ["Ubuntu 24.04"]=14.0.0
  ["Fedora 40+"]=14.0.0)
common="ld-linux-x86-64.so.2 libc.so.6 libm.so.6 libdl.so.2 libpthread.so.0 librt.so.1 libstdc++.so.6 libgcc_s.so.1
  libz.so.1 libxml2.so.2 libglib-2.0.so.0 libgobject-2.0.so.0 libgio-2.0.so.0 libgmodule-2.0.so.0
  libgtk-3.so.0 libgdk-3.so.0 libgdk_pixbuf-2.0.so.0 libatk-1.0.so.0 libpango-1.0.so.0
  libpangocairo-1.0.so.0 libpangoft2-1.0.so.0 libcairo.so.2 libcairo-gobject.so.2 libharfbuzz.so.0
  libfontconfig.so.1 libfreetype.so.6 libX11.so.6 libwayland-client.so.0
  libwebkit2gtk-4.1.so.0 libjavascriptcoregtk-4.1.so.0 libsoup-3.0.so.0"
# ICU's common library carries its version in its name.
declare -A SONAMES=(["Debian 12"]="$common libicuuc.so.72" ["Debian 13"]="$common libicuuc.so.76"
  ["Ubuntu 22.04"]="$common libicuuc.so.70" ["Ubuntu 24.04"]="$common libicuuc.so.74"
  ["Fedora 40+"]="$common libicuuc.so.74")

# True when dotted version $1 is newer than $2.
newer() {
  [[ $1 != "$2" && $(printf '%s\n%s\n' "$1" "$2" | sort -V | tail -n 1) == "$1" ]]
}

# The newest version of each family a binary asks for: lines "GLIBC 2.34".
asked_versions() {
  readelf -V --wide "$1" | sed -n 's/.*Name: \(GLIBC\|GLIBCXX\|CXXABI\|GCC\)_\([0-9][0-9.]*\) .*/\1 \2/p' |
    sort -k1,1 -k2,2V | awk '{newest[$1] = $2} END {for (f in newest) print f, newest[f]}' | sort
}

known=" $(echo "${SONAMES[@]}") "

status=0
for binary in "$@"; do
  if [[ ! -f $binary ]] || [[ $(head -c 4 "$binary" | od -An -c | tr -d ' ') != '177ELF' ]]; then
    echo "$binary: not an ELF binary" >&2
    status=2
    continue
  fi
  mapfile -t needed < <(readelf -d --wide "$binary" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p')
  mapfile -t versions < <(asked_versions "$binary")
  private=$(readelf -V --wide "$binary" | grep -o 'GLIBC_PRIVATE' | head -n 1)
  echo "$binary:"
  echo "  needs: ${needed[*]:-nothing}"
  asked=$(printf '%s\n' "${versions[@]}" "$private" | sed '/^$/d; s/ /_/' | paste -sd ' ')
  echo "  symbol versions: ${asked:-none}"
  runs=()
  for distribution in "${distributions[@]}"; do
    why=()
    shipped=" $(echo ${SONAMES[$distribution]}) "
    for soname in "${needed[@]}"; do
      if [[ $shipped != *" $soname "* ]]; then
        [[ $known == *" $soname "* ]] && why+=("no $soname") || why+=("$soname not in the table")
      fi
    done
    for line in "${versions[@]}"; do
      read -r family version <<<"$line"
      declare -n provided=$family
      newer "$version" "${provided[$distribution]}" &&
        why+=("${family}_$version newer than its ${family}_${provided[$distribution]}")
      unset -n provided
    done
    [[ -n $private ]] && why+=("GLIBC_PRIVATE symbols")
    if ((${#why[@]} == 0)); then
      runs+=("$distribution")
    else
      reasons=$(printf '%s, ' "${why[@]}")
      echo "  not on $distribution: ${reasons%, }"
    fi
  done
  if ((${#runs[@]} == 0)); then
    echo "  runs on: none"
    ((status == 0)) && status=1
  else
    list=$(printf '%s, ' "${runs[@]}")
    echo "  runs on: ${list%, }"
    ((require_all && ${#runs[@]} < ${#distributions[@]} && status == 0)) && status=1
  fi
done
exit $status
