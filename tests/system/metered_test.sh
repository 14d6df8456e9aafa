#!/usr/bin/env bash
# kestrio update against python-dbusmock's NetworkManager on a private bus: a Wi-Fi link's
# traffic counts for Wi-Fi while its connection is unmetered and for cellular while it is metered
# (set or guessed), to the byte; the setting turns that off; without NetworkManager the link
# counts by its kind again. Runs itself under dbus-run-session. Usage: metered_test.sh KESTRIO
set -euo pipefail
kestrio="$1"
here="$(cd "$(dirname "$0")" && pwd)"
source "$here/private_bus.sh"
mock=""
cleanup() {
  [[ -n "$mock" ]] && kill "$mock" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT


received=1000
counters() {
  write_counters wlan7 "$received"
}
usage() {
  "$python" -c 'import plistlib,sys; print(int(plistlib.load(open(sys.argv[1],"rb")).get("dataThisMonth",0)))' \
    "$KESTRIO_HOME/app_data_$1.plist"
}
# step BYTES: traffic on wlan7, then one update at least a second after the previous one. The
# traffic before an update counts where the interface counted at the update before it: after a
# switch, `step 0` stands for the daemon's pass at NetworkManager's signal.
step() {
  received=$((received + $1))
  counters
  sleep 1.1
  "$kestrio" update >/dev/null
}
expect() {
  local cellular wifi
  cellular=$(usage cellular)
  wifi=$(usage wifi)
  [[ "$cellular" == "$2" && "$wifi" == "$3" ]] ||
    { echo "$1: cellular $cellular, Wi-Fi $wifi; expected $2 and $3" >&2; exit 1; }
}

"$python" -m dbusmock --template networkmanager >"$work/mock.log" 2>&1 &
mock=$!
# The mock takes a moment to own its name.
for _ in $(seq 50); do
  "$python" "$here/networkmanager_mock.py" ready 2>/dev/null && break
  sleep 0.1
done
"$python" "$here/networkmanager_mock.py" add wlan7 "Pixel hotspot" ||
  { echo "the NetworkManager mock did not start" >&2; cat "$work/mock.log" >&2; exit 1; }
counters
"$kestrio" update >/dev/null
step 5000
expect "unmetered" 0 5000
"$python" "$here/networkmanager_mock.py" metered wlan7 1
step 3000
expect "switched to metered" 0 8000
step 7000
expect "metered" 7000 8000
"$python" "$here/networkmanager_mock.py" metered wlan7 4
step 0
step 11000
expect "guessed unmetered" 7000 19000
"$python" "$here/networkmanager_mock.py" metered wlan7 3
step 0
step 13000
expect "guessed metered" 20000 19000
"$kestrio" settings set countMeteredAsCellular off >/dev/null
step 0
step 17000
expect "turned off" 20000 36000
"$kestrio" settings set countMeteredAsCellular on >/dev/null
kill "$mock"
wait "$mock" 2>/dev/null || true
mock=""
step 0
step 19000
expect "NetworkManager gone" 20000 55000
echo "metered connections counted as cellular, to the byte"
