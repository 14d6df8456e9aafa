#!/usr/bin/env bash
# The daemon against the kernel's own counters and python-dbusmock's NetworkManager: a veth pair
# between two network namespaces carries real traffic while its connection is switched from
# unmetered to metered and back. The daemon counts at each switch, so each class and the
# connection in each class hold, to the byte, what the kernel counted on the link while that
# class was in force. The bus is a private one on a socket file (an abstract socket would not be
# reachable from inside the namespace).
#   metered_veth_test.sh KESTRIO
# Exits 77 (skipped) without root, ip, dbus-daemon or python3-dbusmock.
set -euo pipefail

kestrio=$(realpath "$1")
here="$(cd "$(dirname "$0")" && pwd)"
skip() {
  echo "skipped: $1"
  exit 77
}
((EUID == 0)) || skip "needs root"
command -v ip >/dev/null || skip "needs ip (iproute2)"
command -v dbus-daemon >/dev/null || skip "needs dbus-daemon"
python=/usr/bin/python3
[[ -x $python ]] || skip "needs /usr/bin/python3"
"$python" -c 'import dbusmock' 2>/dev/null || skip "needs python3-dbusmock"

tag="kmv$$"
ns_a="${tag}a"
ns_b="${tag}b"
work=$(mktemp -d)
bus_pid=""
mock=""
daemon=""
cleanup() {
  set +e
  [[ -n $daemon ]] && kill "$daemon" 2>/dev/null && wait "$daemon" 2>/dev/null
  [[ -n $mock ]] && kill "$mock" 2>/dev/null
  [[ -n $bus_pid ]] && kill "$bus_pid" 2>/dev/null
  ip netns del "$ns_a" 2>/dev/null
  ip netns del "$ns_b" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "FAIL: $*" >&2
  [[ -f $work/daemon.log ]] && sed 's/^/daemon: /' "$work/daemon.log" >&2
  exit 1
}

ip netns add "$ns_a" 2>/dev/null || skip "cannot create network namespaces"
ip netns add "$ns_b"
link_a=wwx0 link_b=kxb addr_a=10.213.79.1 addr_b=10.213.79.2
source "$here/veth_pair.sh"
quiet_namespaces
make_link

dbus-daemon --session --address="unix:path=$work/bus" --nofork --nopidfile \
  >"$work/bus.log" 2>&1 &
bus_pid=$!
export DBUS_SYSTEM_BUS_ADDRESS="unix:path=$work/bus" DBUS_SESSION_BUS_ADDRESS="unix:path=$work/bus"
export TZ=UTC LANG=C KESTRIO_HOME="$work/home"
for _ in $(seq 50); do [[ -S $work/bus ]] && break; sleep 0.1; done
[[ -S $work/bus ]] || fail "the private bus did not start: $(cat "$work/bus.log")"
nm() { "$python" "$here/networkmanager_mock.py" "$@"; }
"$python" -m dbusmock --template networkmanager >"$work/mock.log" 2>&1 &
mock=$!
for _ in $(seq 50); do
  nm ready 2>/dev/null && break
  sleep 0.1
done
nm add wwx0 "Pixel hotspot" || fail "the NetworkManager mock did not start: $(cat "$work/mock.log")"
nm metered wwx0 4  # guessed unmetered

# The period's bytes of each network, then of the connection "Pixel hotspot" in each.
figures() {
  in_a "$kestrio" connections --json | "$python" -c '
import json, plistlib, sys, os
home = os.environ["KESTRIO_HOME"]
def network(t):
    try: return int(plistlib.load(open(f"{home}/app_data_{t}.plist", "rb")).get("dataThisMonth", 0))
    except FileNotFoundError: return 0
listed = json.load(sys.stdin)["connections"]
def connection(t):
    return sum(int(c["dataThisMonth"]) for c in listed
               if c["network"] == t and c["name"] == "Pixel hotspot")
print(network("cellular"), network("wifi"), connection("cellular"), connection("wifi"))
'
}
# expect WHAT CELLULAR WIFI: waits up to five seconds for the daemon's pass to store them, for
# each network and for the connection in it.
expect() {
  local seen
  for _ in $(seq 50); do
    seen=$(figures)
    [[ $seen == "$2 $3 $2 $3" ]] && { echo "ok: $1 (cellular $2, Wi-Fi $3)"; return 0; }
    sleep 0.1
  done
  fail "$1: cellular, Wi-Fi, the hotspot on cellular, on Wi-Fi are $seen; expected $2 $3 $2 $3"
}

# A day between two timed passes: every pass after the first comes from a switch.
# Started without a function in between, so that $! is the daemon itself.
ip netns exec "$ns_a" "$kestrio" -v daemon --interval 1440 2>"$work/daemon.log" &
daemon=$!
for _ in $(seq 50); do
  grep -q "updated" "$work/daemon.log" && break
  sleep 0.1
done
grep -q "updated" "$work/daemon.log" || fail "the daemon made no first pass"
start=$(kernel_bytes)
expect "the first pass" 0 0

traffic 40
unmetered=$(($(kernel_bytes) - start))
nm metered wwx0 1
expect "switched to metered" 0 "$unmetered"

traffic 70
metered=$(($(kernel_bytes) - start - unmetered))
nm metered wwx0 2
expect "switched back" "$metered" "$unmetered"

traffic 25
nm metered wwx0 3  # guessed metered
expect "unmetered again" "$metered" "$(($(kernel_bytes) - start - metered))"
((metered > 70 * 600 * 2)) || fail "the metered traffic was not all seen: $metered bytes"
