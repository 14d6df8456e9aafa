#!/usr/bin/env bash
# kestrio update and kestrio connections against python-dbusmock's NetworkManager on a private
# bus: a connection switched from unmetered to metered and back counts to the byte into each
# network and into the connection; `connections metered` changes NetworkManager's own setting,
# reads it back, and fails with NetworkManager's words when refused or when NetworkManager is
# gone; traffic while NetworkManager is gone stays with the network alone. Runs itself under
# dbus-run-session. Usage: connections_test.sh KESTRIO
set -euo pipefail
kestrio="$1"
here="$(cd "$(dirname "$0")" && pwd)"
[[ $(id -u) == 0 ]] || { echo "needs root" >&2; exit 77; }
source "$here/private_bus.sh"
mock=""
cleanup() {
  [[ -n "$mock" ]] && kill "$mock" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

nm() { "$python" "$here/networkmanager_mock.py" "$@"; }

received=1000
counters() {
  write_counters wlan7 "$received"
}
# step BYTES: traffic on wlan7, then one update at least a second after the previous one. After
# a change at NetworkManager, `step 0` stands for the daemon's pass at its signal.
step() {
  received=$((received + $1))
  counters
  sleep 1.1
  "$kestrio" update >/dev/null
}
# The period's bytes of each network, then of the connection Home in each.
figures() {
  "$kestrio" connections --json | "$python" -c '
import json, plistlib, sys, os
home = os.environ["KESTRIO_HOME"]
def network(t):
    return int(plistlib.load(open(f"{home}/app_data_{t}.plist", "rb")).get("dataThisMonth", 0))
listed = json.load(sys.stdin)["connections"]
def connection(t):
    return sum(int(c["dataThisMonth"]) for c in listed if c["network"] == t and c["name"] == "Home")
print(network("cellular"), network("wifi"), connection("cellular"), connection("wifi"))
'
}
expect() {
  local label="$1"
  shift
  local seen
  seen=$(figures)
  [[ "$seen" == "$*" ]] ||
    { echo "$label: cellular, Wi-Fi, Home on cellular, Home on Wi-Fi are $seen; expected $*" >&2; exit 1; }
}

"$python" -m dbusmock --template networkmanager >"$work/mock.log" 2>&1 &
mock=$!
for _ in $(seq 50); do
  nm ready 2>/dev/null && break
  sleep 0.1
done
nm add wlan7 "Home" || { echo "the NetworkManager mock did not start" >&2; cat "$work/mock.log" >&2; exit 1; }
counters
"$kestrio" update >/dev/null
step 5000
expect "unmetered" 0 5000 0 5000
nm metered wlan7 1
step 3000
expect "switched to metered" 0 8000 0 8000
step 7000
expect "metered" 7000 8000 7000 8000
nm metered wlan7 2
step 2000
expect "switched back" 9000 8000 9000 8000
step 4000
expect "unmetered again" 9000 12000 9000 12000

# Marking the connection metered goes through NetworkManager's stored setting.
out=$("$kestrio" connections metered Home yes)
[[ "$out" == "Home: metered yes, as NetworkManager now stores it" ]] || { echo "metered yes: $out" >&2; exit 1; }
read -r stored uuid < <(nm stored wlan7)
[[ "$stored" == 1 ]] || { echo "NetworkManager stores metered $stored after yes" >&2; exit 1; }
step 0
step 1000
expect "marked metered" 10000 12000 10000 12000
"$kestrio" connections metered "$uuid" auto >/dev/null
read -r stored _ < <(nm stored wlan7)
[[ "$stored" == 0 ]] || { echo "NetworkManager stores metered $stored after auto" >&2; exit 1; }
nm refuse wlan7 1
if "$kestrio" connections metered Home no 2>"$work/err"; then
  echo "a refused change was reported as done" >&2
  exit 1
fi
grep -q "Insufficient privileges" "$work/err" || { echo "refusal not told: $(cat "$work/err")" >&2; exit 1; }
read -r stored _ < <(nm stored wlan7)
[[ "$stored" == 0 ]] || { echo "a refused change was stored" >&2; exit 1; }
step 0  # the pass that sees NetworkManager's guess: not metered

# NetworkManager stops: what the last pass saw on the connection stays its own, what comes after
# stays with the network alone, and nothing is lost.
kill "$mock"
wait "$mock" 2>/dev/null || true
mock=""
step 500
step 700
expect "NetworkManager gone" 10000 13200 10000 12500
if "$kestrio" connections metered Home yes 2>"$work/err"; then
  echo "a change without NetworkManager was reported as done" >&2
  exit 1
fi
listing=$("$kestrio" connections)  # whole, so no SIGPIPE when grep -q stops early
grep -q "NetworkManager does not answer" <<<"$listing" ||
  { echo "the listing does not say NetworkManager is gone" >&2; exit 1; }
echo "each connection counted to the byte; its metered setting changed through NetworkManager"
