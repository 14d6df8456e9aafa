#!/usr/bin/env bash
# kestrio daemon against a stand-in GeoClue on a private bus: the client is set up for
# town-level positions after a kilometre, the announced position becomes the place text, and a
# refusal records nothing. Runs itself under dbus-run-session. Usage: geoclue_test.sh KESTRIO APP_ID
set -euo pipefail
kestrio="$1"
app_id="$2"  # the desktop entry GeoClue is told
here="$(cd "$(dirname "$0")" && pwd)"
# Debian's python3-dbus and python3-gi belong to the system's interpreter, whatever PATH prefers.
python=/usr/bin/python3
[[ -x "$python" ]] || python=python3
if [[ -z "${KESTRIO_GEOCLUE_BUS:-}" ]]; then
  command -v dbus-run-session >/dev/null || { echo "no dbus-run-session" >&2; exit 77; }
  "$python" -c 'import dbus, gi' 2>/dev/null || { echo "no python3-dbus or python3-gi" >&2; exit 77; }
  exec env KESTRIO_GEOCLUE_BUS=1 dbus-run-session -- "$0" "$@"
fi

work="$(mktemp -d)"
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT

# The private session bus stands in for the system bus; no desktop notifications on it.
export DBUS_SYSTEM_BUS_ADDRESS="$DBUS_SESSION_BUS_ADDRESS"
export TZ=UTC LANG=C KESTRIO_COUNTERS="$work/net_dev"
printf 'Inter-|   Receive                                                |  Transmit\n face |bytes    packets errs drop fifo frame compressed multicast|bytes    packets errs drop fifo colls carrals compressed\n  wwan7: 1000 1 0 0 0 0 0 0 1000 1 0 0 0 0 0 0\n' >"$KESTRIO_COUNTERS"

# Reads a text field of the cellular record.
field() {
  "$python" -c 'import plistlib,sys; print(plistlib.load(open(sys.argv[1],"rb")).get(sys.argv[2],""))' \
    "$KESTRIO_HOME/app_data_cellular.plist" "$1" 2>/dev/null || true
}

# run_case NAME FAKE_ARGS... : a daemon for a few seconds against a fake started with the args.
run_case() {
  local name="$1"
  shift
  export KESTRIO_HOME="$work/$name"
  calls="$work/$name.calls"
  "$python" "$here/fake_geoclue.py" "$calls" "$@" &
  fake=$!
  pids+=($fake)
  for _ in $(seq 50); do grep -q ready "$calls" 2>/dev/null && break; sleep 0.1; done
  "$kestrio" settings set recordLocation on >/dev/null
  "$kestrio" update
  "$kestrio" --verbose daemon --interval 0.05 2>"$work/$name.log" &
  daemon=$!
  pids+=($daemon)
}

stop_daemon() {
  kill -TERM "$daemon"
  wait "$daemon" || { echo "daemon failed" >&2; cat "$work/$1.log" >&2; exit 1; }
  kill "$fake"
  wait "$fake" 2>/dev/null || true
}

# 1. Munich announced: the place text, then the last place used.
run_case munich 48.137 11.575
for _ in $(seq 100); do [[ "$(field lastLocation)" == "Munich, Bavaria" ]] && break; sleep 0.1; done
[[ "$(field lastLocation)" == "Munich, Bavaria" ]] || { echo "no place recorded" >&2; cat "$work/munich.log" >&2; exit 1; }
for _ in $(seq 100); do [[ "$(field lastLocationDataUsed)" == "Munich, Bavaria" ]] && break; sleep 0.1; done
[[ "$(field lastLocationDataUsed)" == "Munich, Bavaria" ]] || { echo "not the last place used" >&2; exit 1; }
stop_daemon munich
for expected in "Set DesktopId=$app_id" "Set DistanceThreshold=1000" "Set RequestedAccuracyLevel=4" "Start"; do
  grep -qx "$expected" "$work/munich.calls" || { echo "the client was not told: $expected" >&2; cat "$work/munich.calls" >&2; exit 1; }
done
grep -Eq "^  Last place +Munich, Bavaria$" <<<"$("$kestrio" status)" || { echo "status shows no place" >&2; exit 1; }

# 2. The user refuses: nothing recorded, and the service is asked once only.
run_case denied 48.137 11.575 --deny
sleep 4
stop_daemon denied
[[ -z "$(field lastLocation)" ]] || { echo "a place was recorded after a refusal" >&2; exit 1; }
[[ "$(grep -c '^Start$' "$work/denied.calls")" == 1 ]] || { echo "asked again after a refusal" >&2; cat "$work/denied.calls" >&2; exit 1; }
grep -q "refused" "$work/denied.log" || { echo "the refusal was not logged" >&2; cat "$work/denied.log" >&2; exit 1; }
echo "geoclue: ok"
