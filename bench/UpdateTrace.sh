#!/bin/bash
# What one `kestrio update` does to the data directory, from the system calls of the process:
# how often it opens each file there, how many files it renames into place and how often it
# syncs. Two updates are traced on a scripted home (a plan, a custom counter, a day of
# history): a steady one (the counters moved, a second after the previous update) and one that
# closes a day. The clock is set through libfaketime, so the run is the same on any day.
#
# Usage: bench/UpdateTrace.sh [KESTRIO]   (default: build/src/cli/kestrio)
set -euo pipefail
kestrio=$(realpath "${1:-build/src/cli/kestrio}")
[ -x "$kestrio" ] || { echo "no kestrio program at $kestrio (build first)" >&2; exit 1; }
command -v strace >/dev/null || { echo "strace is needed: apt-get install strace" >&2; exit 1; }
faketime_lib=$(dpkg -L libfaketime 2>/dev/null | grep '/libfaketime\.so\.1$' | head -n1 || true)
[ -n "$faketime_lib" ] || { echo "libfaketime is needed: apt-get install libfaketime" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export KESTRIO_HOME="$work/home" KESTRIO_COUNTERS="$work/counters" TZ=UTC LC_ALL=C.UTF-8

counters() {
  printf 'Inter-|   Receive |  Transmit\n face |bytes packets|bytes packets\n' >"$KESTRIO_COUNTERS"
  printf 'wwan0: %s 10 0 0 0 0 0 0 %s 10 0 0 0 0 0 0\n' "$1" "$2" >>"$KESTRIO_COUNTERS"
  printf 'wlan0: %s 10 0 0 0 0 0 0 %s 10 0 0 0 0 0 0\n' "$3" "$4" >>"$KESTRIO_COUNTERS"
}
at() {  # at "YYYY-MM-DD HH:MM:SS" COMMAND...
  local when=$1
  shift
  LD_PRELOAD="$faketime_lib" FAKETIME="@$when" "$@"
}
# The trace of one update at a time: per file of the data directory, opens; then renames and syncs.
trace() {
  local when=$1 label=$2
  at "$when" strace -f -qq -o "$work/trace" -e trace=openat,rename,renameat,renameat2,fsync,fdatasync \
    "$kestrio" update >/dev/null
  echo "== $label"
  grep -o "openat([^\"]*\"$KESTRIO_HOME/[^\"]*\"" "$work/trace" | sed "s#.*$KESTRIO_HOME/##; s#\"##" |
    sort | uniq -c | sort -rn | awk '{printf "  open %-32s %d\n", $2, $1}'
  printf '  renames %d, fsync %d, fdatasync %d\n' \
    "$(grep -cE '^[0-9]+ +rename' "$work/trace")" "$(grep -cE '^[0-9]+ +fsync' "$work/trace")" \
    "$(grep -cE '^[0-9]+ +fdatasync' "$work/trace")"
}

counters 0 0 0 0
at "2026-12-07 10:00:00" "$kestrio" plan quota 2 GB >/dev/null
at "2026-12-07 10:00:00" "$kestrio" counters add Trip >/dev/null
at "2026-12-07 10:00:00" "$kestrio" update >/dev/null
counters 1000000 200000 3000000 400000
at "2026-12-07 10:00:05" "$kestrio" update >/dev/null
counters 2000000 300000 4000000 500000
trace "2026-12-07 10:00:06" "steady update (counters moved, one second later)"
counters 3000000 400000 5000000 600000
trace "2026-12-08 00:00:30" "update that closes the day"
