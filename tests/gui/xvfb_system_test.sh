#!/bin/sh
# The desktop application on a real X server: it starts on a scripted counters file, shows its
# window, and on SIGTERM runs the termination pass (counting the traffic since its last pass and
# starting the since-last-run counters again) before it exits with 0.
#
# Usage: xvfb_system_test.sh KESTRIO_GUI WORK_DIRECTORY
set -eu

if [ "${1:-}" != "--inside" ]; then
  [ $# -eq 2 ] || { echo "usage: $0 KESTRIO_GUI WORK_DIRECTORY" >&2; exit 2; }
  command -v xvfb-run >/dev/null || { echo "xvfb-run is not installed" >&2; exit 1; }
  exec xvfb-run -a -s "-screen 0 800x1000x24" "$0" --inside "$1" "$2"
fi

gui=$2
work=$3
rm -rf "$work"
mkdir -p "$work/home"
counters=$work/net_dev
record=$work/home/app_data_cellular.plist

fail() {
  echo "FAIL: $*" >&2
  [ -n "${pid:-}" ] && kill -9 "$pid" 2>/dev/null
  [ -f "$work/gui.log" ] && cat "$work/gui.log" >&2
  exit 1
}

# /proc/net/dev as the kernel writes it, with one mobile broadband link. Replaced atomically so
# the application never reads half a file.
write_counters() {
  {
    echo "Inter-|   Receive                                                |  Transmit"
    echo " face |bytes    packets errs drop fifo frame compressed multicast|bytes    packets errs drop fifo colls carrier compressed"
    echo "  wwan7: $1 10 0 0 0 0 0 0 $2 10 0 0 0 0 0 0"
  } >"$counters.new"
  mv "$counters.new" "$counters"
}

# The number stored under a key of an XML property list (the line after the key).
stored() {
  sed -n "/<key>$1<\/key>/{n;s/.*<[a-z]*>\([-0-9.e+]*\)<.*/\1/p;q}" "$record"
}

write_counters 3000000 1000000
KESTRIO_HOME=$work/home KESTRIO_COUNTERS=$counters "$gui" >"$work/gui.log" 2>&1 &
pid=$!

# The window is up once the first pass has written both records.
tries=0
until [ -s "$record" ] && [ -s "$work/home/app_data_wifi.plist" ]; do
  kill -0 "$pid" 2>/dev/null || fail "kestrio-gui exited before its first pass"
  tries=$((tries + 1))
  [ "$tries" -le 100 ] || fail "no usage record after 10 s"
  sleep 0.1
done
sleep 0.5

xwd -root -silent -out "$work/screen.xwd" || fail "xwd could not grab the screen"
[ -s "$work/screen.xwd" ] || fail "the screen grab is empty"

before=$(stored dataAllTime)
[ -n "$before" ] || fail "no dataAllTime in the record"
# 2.5 MB more traffic, counted only by the termination pass.
write_counters 5000000 1500000

kill -TERM "$pid"
tries=0
while kill -0 "$pid" 2>/dev/null; do
  tries=$((tries + 1))
  [ "$tries" -le 100 ] || fail "kestrio-gui still running 10 s after SIGTERM"
  sleep 0.1
done
status=0
wait "$pid" || status=$?
pid=
[ "$status" -eq 0 ] || fail "kestrio-gui exited with $status"

after=$(stored dataAllTime)
since=$(stored dataSinceAppLastRun)
awk -v b="$before" -v a="$after" 'BEGIN { exit !(a - b == 2500000) }' ||
  fail "dataAllTime went from $before to $after, not up by 2500000"
awk -v s="$since" 'BEGIN { exit !(s == 0) }' ||
  fail "dataSinceAppLastRun is $since after the termination pass"
echo "PASS: window grabbed ($(wc -c <"$work/screen.xwd") bytes), all-time $before -> $after"
