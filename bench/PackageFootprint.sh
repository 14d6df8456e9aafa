#!/bin/bash
# What installing each Kestrio package pulls into a minimal Debian root: the packages of its
# dependency closure (Depends and Pre-Depends, recursively, with and without Recommends) that a
# minimal root lacks, and their installed size. A minimal root is taken as the packages of
# priority required, which debootstrap's minbase installs; the figures come from apt's package
# lists, not from an installation, so run `apt-get update` first.
#
# Usage: bench/PackageFootprint.sh DEB...
set -euo pipefail
[ $# -gt 0 ] || { echo "usage: $0 DEB..." >&2; exit 2; }

required=$(mktemp)
trap 'rm -f "$required"' EXIT
# Every package of priority required in the lists, and what they provide.
apt-cache dumpavail | awk '/^Package:/ { p = $2 } /^Priority: required/ { print p }' | sort -u >"$required"

closure() {  # DEB [--recommends]
  local deb=$1 recommends=$2 fields="Depends,Pre-Depends"
  [ "$recommends" = yes ] && fields="$fields,Recommends"
  local roots
  roots=$(dpkg-deb -f "$deb" $(tr ',' ' ' <<<"$fields") 2>/dev/null | tr ',' '\n' |
          sed -E 's/\(.*\)//; s/\|.*//; s/:any//; s/^ +//; s/ +$//' | grep -v '^$' | sort -u)
  local flags=(--recurse --no-suggests --no-conflicts --no-breaks --no-replaces --no-enhances)
  [ "$recommends" = yes ] || flags+=(--no-recommends)
  # Virtual packages and Kestrio's own packages (not in the lists) drop out of apt-cache's answer.
  apt-cache depends "${flags[@]}" $roots 2>/dev/null | grep -vE '^ |^<' | sort -u |
    comm -23 - "$required"
}

for deb in "$@"; do
  name=$(dpkg-deb -f "$deb" Package)
  own=$(dpkg-deb -f "$deb" Installed-Size)
  for recommends in no yes; do
    mapfile -t packages < <(closure "$deb" "$recommends")
    size=0
    if [ ${#packages[@]} -gt 0 ]; then
      size=$(apt-cache show --no-all-versions "${packages[@]}" 2>/dev/null |
             awk '/^Installed-Size:/ { s += $2 } END { print s + 0 }')
    fi
    label="without recommended packages"
    [ "$recommends" = yes ] && label="with recommended packages"
    printf '%-16s %-30s %4d packages, %6.1f MB (the package itself %.1f MB)\n' "$name" "$label" \
      "$((${#packages[@]} + 1))" "$(awk -v s="$size" -v o="$own" 'BEGIN { print (s + o) / 1024 }')" \
      "$(awk -v o="$own" 'BEGIN { print o / 1024 }')"
  done
done
