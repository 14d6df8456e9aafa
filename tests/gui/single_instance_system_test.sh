#!/bin/sh
# kestrio-gui as whole processes: --help and --version answer without a display; a second start
# on the same data directory brings the first window to the front and exits 0; a window killed
# without a chance to clean up does not block the next start; another data directory gets its
# own window; a process holding the names the window once had in the abstract socket namespace
# (which any local user can bind) keeps no window from starting.
#
# Usage: single_instance_system_test.sh KESTRIO_GUI WORK_DIRECTORY
set -eu
[ $# -eq 2 ] || { echo "usage: $0 KESTRIO_GUI WORK_DIRECTORY" >&2; exit 2; }
gui=$1
work=$2
rm -rf "$work"
mkdir -p "$work/home" "$work/other"
# The user's private runtime directory, where the windows' sockets live.
mkdir -m 700 "$work/run"
export XDG_RUNTIME_DIR="$work/run"
pids=

fail() {
  echo "FAIL: $*" >&2
  for p in $pids; do kill -9 "$p" 2>/dev/null || true; done
  for log in "$work"/*.log; do [ -f "$log" ] && { echo "--- $log" >&2; cat "$log" >&2; }; done
  exit 1
}

# Neither a display nor a platform plugin is needed to answer these.
env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$gui" --version >"$work/version.out" 2>&1 ||
  fail "--version without a display failed"
grep -q "kestrio-gui [0-9]" "$work/version.out" || fail "--version printed: $(cat "$work/version.out")"
env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$gui" --help >"$work/help.out" 2>&1 ||
  fail "--help without a display failed"
grep -q -- "--screenshot" "$work/help.out" || fail "--help does not list --screenshot"
if env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$gui" --no-such-option >/dev/null 2>&1; then
  fail "an unknown option was accepted"
fi

export QT_QPA_PLATFORM=offscreen
counters=$work/net_dev
{
  echo "Inter-|   Receive                                                |  Transmit"
  echo " face |bytes    packets errs drop fifo frame compressed multicast|bytes    packets errs drop fifo colls carrier compressed"
  echo "  wwan7: 1000 10 0 0 0 0 0 0 500 10 0 0 0 0 0 0"
} >"$counters"

# Starts a window on directory $1, logging to $2; its pid is in $started.
start_window() {
  KESTRIO_HOME=$1 KESTRIO_COUNTERS=$counters "$gui" >"$2" 2>&1 &
  started=$!
  pids="$pids $started"
  tries=0
  until [ -s "$1/app_data_wifi.plist" ]; do
    kill -0 "$started" 2>/dev/null || fail "kestrio-gui exited before its first pass"
    tries=$((tries + 1))
    [ "$tries" -le 100 ] || fail "no usage record after 10 s"
    sleep 0.1
  done
}

# A second start hands over: it exits 0 at once and the first keeps running.
second_start_hands_over() {
  status=0
  KESTRIO_HOME=$1 KESTRIO_COUNTERS=$counters timeout 10 "$gui" >"$work/second.log" 2>&1 ||
    status=$?
  [ "$status" -eq 0 ] || fail "the second start exited with $status"
  grep -q "already running" "$work/second.log" || fail "the second start did not say why it left"
  kill -0 "$2" 2>/dev/null || fail "the first window is gone"
}

# A squatter on the abstract names the window once listened on (with and without Qt's temporary
# directory in front), bound before the first window starts.
squatter=
if [ -x /usr/bin/python3 ]; then
  /usr/bin/python3 - "$work/home" "$work/squatter.ready" <<'PY' &
import hashlib, os, socket, sys, time
path = os.path.realpath(sys.argv[1])
name = "kestrio-gui.%d.%s" % (os.getuid(), hashlib.sha256(path.encode()).hexdigest()[:24])
tmp = os.environ.get("TMPDIR", "/tmp").rstrip("/") or "/tmp"
held = []
for n in (name, tmp + "/" + name):
    s = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
    s.bind("\0" + n)
    s.listen(1)
    held.append(s)
open(sys.argv[2], "w").close()
time.sleep(120)
PY
  squatter=$!
  pids="$pids $squatter"
  tries=0
  until [ -f "$work/squatter.ready" ]; do
    kill -0 "$squatter" 2>/dev/null || fail "the squatter could not bind the abstract names"
    tries=$((tries + 1))
    [ "$tries" -le 100 ] || fail "the squatter did not start"
    sleep 0.1
  done
fi

start_window "$work/home" "$work/first.log"
first=$started
second_start_hands_over "$work/home" "$first"
# A start for a network's usage (an alert's "View") hands over too; a network that is none is
# refused before anything else.
status=0
KESTRIO_HOME=$work/home KESTRIO_COUNTERS=$counters timeout 10 "$gui" --show wifi \
  >"$work/second.log" 2>&1 || status=$?
[ "$status" -eq 0 ] || fail "the start for Wi-Fi exited with $status"
grep -q "already running" "$work/second.log" || fail "the start for Wi-Fi did not hand over"
status=0
KESTRIO_HOME=$work/home "$gui" --show satellite >"$work/refused.log" 2>&1 || status=$?
[ "$status" -eq 2 ] || fail "--show satellite exited with $status"
grep -q "cellular or wifi" "$work/refused.log" || fail "--show satellite: $(cat "$work/refused.log")"
# The same directory reached through a link is the same instance.
ln -s "$work/home" "$work/link"
second_start_hands_over "$work/link/" "$first"

# Another data directory is another instance.
start_window "$work/other" "$work/other.log"
other=$started
kill -TERM "$other"
wait "$other" || fail "the other directory's window did not end cleanly"

# A window that dies without cleaning up leaves its socket file in the runtime directory, which
# does not block the next one.
kill -9 "$first"
wait "$first" 2>/dev/null || true
[ -n "$(find "$work/run" -type s)" ] || fail "no socket of the window in XDG_RUNTIME_DIR"
rm -f "$work/home/app_data_wifi.plist"
start_window "$work/home" "$work/restarted.log"
restarted=$started
second_start_hands_over "$work/home" "$restarted"
kill -TERM "$restarted"
wait "$restarted" || fail "the restarted window did not end cleanly"
if [ -n "$squatter" ]; then
  kill "$squatter" 2>/dev/null || true
  wait "$squatter" 2>/dev/null || true
fi
echo "PASS: one window per data directory, whoever holds the abstract names; --help and --version without a display"
