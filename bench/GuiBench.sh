#!/bin/sh
# kestrio-gui as a whole process: start, first pass, window refreshed and painted, screenshot,
# termination pass, exit. Prints the median of N runs in milliseconds (each with a fresh home,
# so every run is a first launch).
#
# Usage: bench/GuiBench.sh KESTRIO_GUI [N]
set -eu
gui=${1:?usage: $0 KESTRIO_GUI [N]}
runs=${2:-10}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
{
  echo "Inter-|   Receive                                                |  Transmit"
  echo " face |bytes    packets errs drop fifo frame compressed multicast|bytes    packets errs drop fifo colls carrier compressed"
  echo "  wwan7: 1000000 10 0 0 0 0 0 0 20000 10 0 0 0 0 0 0"
  echo "  wlan7: 9000000 10 0 0 0 0 0 0 300000 10 0 0 0 0 0 0"
} >"$work/net_dev"

i=0
while [ "$i" -lt "$runs" ]; do
  i=$((i + 1))
  rm -rf "${work:?}/home"
  start=$(date +%s%N)
  QT_QPA_PLATFORM=offscreen KESTRIO_HOME=$work/home KESTRIO_COUNTERS=$work/net_dev \
    "$gui" --screenshot "$work/shot.png" >/dev/null 2>&1
  end=$(date +%s%N)
  [ -s "$work/shot.png" ] || { echo "run $i: no screenshot" >&2; exit 1; }
  rm -f "$work/shot.png"
  echo $(((end - start) / 1000))
done | sort -n | awk -v n="$runs" '
  { t[NR] = $1 }
  END {
    if (NR != n) exit 1
    m = (n % 2) ? t[(n + 1) / 2] : (t[n / 2] + t[n / 2 + 1]) / 2
    printf "kestrio-gui --screenshot: median %.1f ms over %d runs (min %.1f, max %.1f)\n",
           m / 1000, n, t[1] / 1000, t[n] / 1000
  }'
