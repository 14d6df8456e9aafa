#!/usr/bin/env bash
# kestrio daemon against python-dbusmock's NetworkManager on a private bus: the daemon counts at
# each change of a connection, long before its interval, so the traffic before the change stays
# with the class it was earned in and the traffic after it goes to the new one, to the byte.
# NetworkManager stopping and coming back is a change too, logged once each way; nothing is lost.
# Runs itself under dbus-run-session. Usage: metered_daemon_test.sh KESTRIO
set -euo pipefail
kestrio="$1"
here="$(cd "$(dirname "$0")" && pwd)"
source "$here/private_bus.sh"
mock=""
daemon=""
cleanup() {
  [[ -n "$daemon" ]] && kill "$daemon" 2>/dev/null
  [[ -n "$mock" ]] && kill "$mock" 2>/dev/null
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT


received=1000
counters() {
  write_counters wlan7 "$received"
}
usage() {
  "$python" -c 'import plistlib,sys
try: print(int(plistlib.load(open(sys.argv[1],"rb")).get("dataThisMonth",0)))
except Exception: print(-1)' "$KESTRIO_HOME/app_data_$1.plist"
}
# expect WHAT CELLULAR WIFI: waits up to five seconds for the daemon's pass to store these.
expect() {
  local cellular wifi
  for _ in $(seq 50); do
    cellular=$(usage cellular)
    wifi=$(usage wifi)
    [[ "$cellular" == "$2" && "$wifi" == "$3" ]] && return 0
    sleep 0.1
  done
  echo "$1: cellular $cellular, Wi-Fi $wifi; expected $2 and $3" >&2
  cat "$work/daemon.log" >&2
  exit 1
}
start_mock() {
  "$python" -m dbusmock --template networkmanager >>"$work/mock.log" 2>&1 &
  mock=$!
  for _ in $(seq 50); do
    "$python" "$here/networkmanager_mock.py" ready 2>/dev/null && break
    sleep 0.1
  done
  "$python" "$here/networkmanager_mock.py" add wlan7 "Pixel hotspot" ||
    { echo "the NetworkManager mock did not start" >&2; cat "$work/mock.log" >&2; exit 1; }
}

start_mock
counters
# A day between two timed passes: every pass below comes from a change.
"$kestrio" -v daemon --interval 1440 2>"$work/daemon.log" &
daemon=$!
expect "first pass" 0 0

received=$((received + 5000))
counters
"$python" "$here/networkmanager_mock.py" metered wlan7 1
expect "turned metered" 0 5000

received=$((received + 7000))
counters
"$python" "$here/networkmanager_mock.py" metered wlan7 2
expect "turned unmetered" 7000 5000

received=$((received + 3000))
counters
kill "$mock"
wait "$mock" 2>/dev/null || true
mock=""
expect "NetworkManager stopped" 7000 8000

# By its kind, wlan7 counts for Wi-Fi whether NetworkManager runs or not; its return with the
# connection metered again moves it back to cellular.
received=$((received + 2000))
counters
start_mock
expect "NetworkManager back" 7000 10000
received=$((received + 4000))
counters
"$python" "$here/networkmanager_mock.py" metered wlan7 1
expect "metered after the restart" 7000 14000
received=$((received + 6000))
counters
kill -TERM "$daemon"
wait "$daemon"
daemon=""
expect "last pass at the stop" 13000 14000

for line in "NetworkManager stopped answering" "NetworkManager answers again"; do
  n=$(grep -c "$line" "$work/daemon.log" || true)
  [[ "$n" == 1 ]] || { echo "\"$line\" logged $n times" >&2; cat "$work/daemon.log" >&2; exit 1; }
done
echo "the daemon counted at each change of connection, to the byte"
