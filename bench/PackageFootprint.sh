#!/bin/bash
# What installing Kestrio's packages pulls into a minimal Debian root, from apt's own resolver:
# the root is simulated by a package status file that holds debootstrap's minbase (the packages
# of priority required and apt, with what they need), and `apt-get --simulate install` of the
# given packages says what it would install on it, with and without recommended packages. Run
# `apt-get update` first; nothing is installed.
#
# Usage: bench/PackageFootprint.sh KESTRIO_DEB [OTHER_DEB...]
#   e.g. bench/PackageFootprint.sh build/kestrio_*.deb build/kestrio-gui_*.deb
set -euo pipefail
[ $# -gt 0 ] || { echo "usage: $0 DEB..." >&2; exit 2; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

: >"$work/empty"
simulate() {  # STATUS_FILE RECOMMENDS PACKAGE...
  local status=$1 recommends=$2
  shift 2
  apt-get -s -o Dir::State::status="$status" -o APT::Install-Recommends="$recommends" \
    install "$@" 2>/dev/null | awk '/^Inst / { print $2 }' | sort -u
}
required=$(apt-cache dumpavail | awk '/^Package:/ { p = $2 } /^Priority: required/ { print p }' |
           sort -u)
# shellcheck disable=SC2086
simulate "$work/empty" false $required apt >"$work/minbase"
apt-cache show --no-all-versions $(cat "$work/minbase") |
  awk 'BEGIN { RS = ""; ORS = "\n\n" } { print "Status: install ok installed\n" $0 }' >"$work/status"
echo "minimal root: $(wc -l <"$work/minbase") packages"

debs=()
for deb in "$@"; do debs+=("$(realpath "$deb")"); done
for recommends in false true; do
  installed=$(simulate "$work/status" "$recommends" "${debs[@]}")
  [ -n "$installed" ] || { echo "apt cannot install $*" >&2; exit 1; }
  from_archive=$(grep -v '^kestrio' <<<"$installed" || true)
  size=0
  if [ -n "$from_archive" ]; then
    # shellcheck disable=SC2086
    size=$(apt-cache show --no-all-versions $from_archive | awk '/^Installed-Size:/ { s += $2 } END { print s }')
  fi
  for deb in "${debs[@]}"; do size=$((size + $(dpkg-deb -f "$deb" Installed-Size))); done
  label="without recommended packages"
  [ "$recommends" = true ] && label="with recommended packages"
  printf '%s, %s: %d packages, %.1f MB\n' "$(for d in "${debs[@]}"; do dpkg-deb -f "$d" Package; done | paste -sd+)" \
    "$label" "$(wc -l <<<"$installed")" "$(awk -v s="$size" 'BEGIN { print s / 1024 }')"
done
