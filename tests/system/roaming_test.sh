#!/usr/bin/env bash
# kestrio daemon against a ModemManager mocked with python-dbusmock on a private bus: the status
# names the operator and the technology; each roaming stay is told once, by a notification naming
# the operator; a roaming-only counter takes the modem's traffic while it roams, to the byte, and
# none at home. Once NetworkManager runs too, the modem's connection is named after its operator.
# Runs itself under dbus-run-session. Usage: roaming_test.sh KESTRIO
set -euo pipefail
kestrio="$1"
here="$(cd "$(dirname "$0")" && pwd)"
source "$here/private_bus.sh"
pids=()
daemon=""
cleanup() {
  [[ -n "$daemon" ]] && kill "$daemon" 2>/dev/null
  ((${#pids[@]})) && kill "${pids[@]}" 2>/dev/null
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

mm() { "$python" "$here/modemmanager_mock.py" "$@"; }

"$python" -m dbusmock -m org.freedesktop.ModemManager1 /org/freedesktop/ModemManager1 \
  org.freedesktop.ModemManager1 >"$work/mm.log" 2>&1 &
pids+=($!)
"$python" -m dbusmock --template notification_daemon -l "$work/notify.log" >/dev/null 2>&1 &
pids+=($!)
for _ in $(seq 50); do mm ready 2>/dev/null && break; sleep 0.1; done
mm add "Vodafone DE" $((1 << 14)) || { echo "the ModemManager mock did not start" >&2; exit 1; }

received=1000
counters() {
  write_counters wwan7 "$received"
}
traffic() {
  received=$((received + $1))
  counters
}
roamed() {
  "$kestrio" counters --json | "$python" -c 'import json,sys
print(int([c for c in json.load(sys.stdin)["counters"] if c["name"] == "Abroad"][0]["cellularDataTotal"]))'
}
cellular() {
  "$python" -c 'import plistlib,sys
try: print(int(plistlib.load(open(sys.argv[1],"rb")).get("dataThisMonth",0)))
except Exception: print(-1)' "$KESTRIO_HOME/app_data_cellular.plist"
}
# expect WHAT CELLULAR ROAMED: waits up to five seconds for the daemon's pass to store these.
expect() {
  local c r
  for _ in $(seq 50); do
    c=$(cellular)
    r=$(roamed)
    [[ "$c" == "$2" && "$r" == "$3" ]] && return 0
    sleep 0.1
  done
  echo "$1: cellular $c, roaming counter $r; expected $2 and $3" >&2
  cat "$work/daemon.log" >&2
  exit 1
}
told() { grep -c "Roaming on $1: data counts toward your plan" "$work/notify.log" || true; }

counters
"$kestrio" counters add Abroad --network cellular --roaming >/dev/null
# Read whole before searching: grep -q stops reading at its match, and a slow writer would then
# die of SIGPIPE.
status=$("$kestrio" status)
grep -q "^Modem: Vodafone DE, LTE$" <<<"$status" ||
  { echo "the status does not name the modem" >&2; echo "$status" >&2; exit 1; }

"$kestrio" -v daemon --interval 1440 2>"$work/daemon.log" &
daemon=$!
expect "first pass" 0 0

traffic 1000
mm registration 5
expect "roaming begins" 1000 0
traffic 2000
mm operator "Vodafone IT"
expect "another operator abroad" 3000 2000
traffic 3000
mm registration 1
expect "home again" 6000 5000
traffic 4000
mm registration 5
expect "roaming again" 10000 5000
traffic 500
kill -TERM "$daemon"
wait "$daemon"
daemon=""
expect "last pass at the stop" 10500 5500

[[ "$(told "Vodafone DE")" == 1 && "$(told "Vodafone IT")" == 1 ]] ||
  { echo "roaming told $(told "Vodafone DE") and $(told "Vodafone IT") times" >&2; cat "$work/notify.log" >&2; exit 1; }
status=$("$kestrio" status --json)
grep -q '"roaming": true' <<<"$status" ||
  { echo "the JSON status does not say roaming" >&2; echo "$status" >&2; exit 1; }
echo "roaming told once per stay, and counted to the byte"

# NetworkManager's connection of the modem is listed under the operator's name.
"$python" -m dbusmock --template networkmanager >"$work/nm.log" 2>&1 &
pids+=($!)
nm() { "$python" "$here/networkmanager_mock.py" "$@"; }
for _ in $(seq 50); do nm ready 2>/dev/null && break; sleep 0.1; done
nm add wwan7 "GSM connection" && nm modem wwan7 ||
  { echo "the NetworkManager mock did not start" >&2; cat "$work/nm.log" >&2; exit 1; }
traffic 700
sleep 1.1
"$kestrio" update >/dev/null
listed=$("$kestrio" connections --json)
named=$("$python" -c 'import json,sys
print(",".join(c["name"] for c in json.load(sys.stdin)["connections"]))' <<<"$listed")
[[ $named == "Vodafone IT" ]] || { echo "the modem's connection is listed as '$named'" >&2; exit 1; }
echo "the modem's connection is named after its operator"
