#!/bin/sh
# kestrio-gui as a whole process (start, first pass, window refreshed and painted, screenshot,
# termination pass, exit), timed in turn with the floor of any Qt Widgets window (qt_floor: Qt
# started, a window of five tabs painted into a PNG, exit), so both see the same machine. Each
# kestrio-gui run has a fresh home, so every run is a first launch. Prints the medians of N runs
# in milliseconds and their ratio.
#
# Usage: bench/GuiBench.sh KESTRIO_GUI QT_FLOOR [N]
set -eu
gui=${1:?usage: $0 KESTRIO_GUI QT_FLOOR [N]}
floor=${2:?usage: $0 KESTRIO_GUI QT_FLOOR [N]}
runs=${3:-10}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
{
  echo "Inter-|   Receive                                                |  Transmit"
  echo " face |bytes    packets errs drop fifo frame compressed multicast|bytes    packets errs drop fifo colls carrier compressed"
  echo "  wwan7: 1000000 10 0 0 0 0 0 0 20000 10 0 0 0 0 0 0"
  echo "  wlan7: 9000000 10 0 0 0 0 0 0 300000 10 0 0 0 0 0 0"
} >"$work/net_dev"

# Microseconds one command takes; fails when it left no picture.
timed() {
  start=$(date +%s%N)
  QT_QPA_PLATFORM=offscreen KESTRIO_HOME=$work/home KESTRIO_COUNTERS=$work/net_dev \
    "$@" >/dev/null 2>&1
  end=$(date +%s%N)
  [ -s "$work/shot.png" ] || { echo "$1: no picture" >&2; exit 1; }
  rm -f "$work/shot.png"
  echo $(((end - start) / 1000))
}

i=0
while [ "$i" -lt "$runs" ]; do
  i=$((i + 1))
  rm -rf "${work:?}/home"
  g=$(timed "$gui" --screenshot "$work/shot.png") || exit 1
  f=$(timed "$floor" "$work/shot.png") || exit 1
  echo "gui $g"
  echo "floor $f"
done | sort -k1,1 -k2,2n | awk -v n="$runs" '
  { t[$1, ++c[$1]] = $2 }
  function median(k) {
    return (n % 2) ? t[k, (n + 1) / 2] : (t[k, n / 2] + t[k, n / 2 + 1]) / 2
  }
  END {
    if (c["gui"] != n || c["floor"] != n) exit 1
    g = median("gui"); f = median("floor")
    printf "kestrio-gui --screenshot: median %.1f ms over %d runs (min %.1f, max %.1f)\n",
           g / 1000, n, t["gui", 1] / 1000, t["gui", n] / 1000
    printf "Qt Widgets floor:         median %.1f ms over %d runs (min %.1f, max %.1f)\n",
           f / 1000, n, t["floor", 1] / 1000, t["floor", n] / 1000
    printf "ratio: %.2fx\n", g / f
  }'
