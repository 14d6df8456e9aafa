#!/usr/bin/env bash
# What following NetworkManager costs the daemon, against python-dbusmock's NetworkManager on a
# private bus (the mock stands in for the system bus, so no real connection is touched):
# - at rest with NetworkManager present: the daemon's wake-ups (voluntary context switches) and
#   processor time over REST seconds, scaled to an hour, at its default interval;
# - a pass run by a signal: the daemon's processor time per metered switch, over SWITCHES
#   switches, each waited for until its pass is stored, beside the processor time of a
#   `kestrio update` process that stores (the median of five) (what a pass costs when run by hand or a timer).
# Usage: bench/MeteredSignalBench.sh [BUILD_DIRECTORY] [SWITCHES] [REST_SECONDS]
#   (defaults: build, 20, 60)
set -euo pipefail
build=$(realpath "${1:-build}")
switches=${2:-20}
rest=${3:-60}
kestrio=$build/src/cli/kestrio
[[ -x $kestrio ]] || { echo "no program at $kestrio (build first)" >&2; exit 1; }
here="$(cd "$(dirname "$0")/../tests/system" && pwd)"
set -- "$build" "$switches" "$rest"
source "$here/private_bus.sh"
mock=""
daemon=""
cleanup() {
  [[ -n $daemon ]] && kill "$daemon" 2>/dev/null
  [[ -n $mock ]] && kill "$mock" 2>/dev/null
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
nm() { "$python" "$here/networkmanager_mock.py" "$@"; }
# The processor time of process PID so far, in milliseconds (the scheduler's nanoseconds: the
# clock ticks of /proc/PID/stat are coarser than a pass).
cpu_ms() { awk '{ printf "%.3f", $1 / 1e6 }' "/proc/$1/schedstat"; }
wakeups() { awk '/^voluntary_ctxt_switches/ { print $2 }' "/proc/$1/status"; }
stored_passes() { grep -c "updated" "$work/daemon.log" || true; }

"$python" -m dbusmock --template networkmanager >"$work/mock.log" 2>&1 &
mock=$!
for _ in $(seq 50); do nm ready 2>/dev/null && break; sleep 0.1; done
nm add wlan7 "Pixel hotspot"
received=1000
write_counters wlan7 "$received"
"$kestrio" -v daemon 2>"$work/daemon.log" &
daemon=$!
for _ in $(seq 50); do (($(stored_passes) >= 1)) && break; sleep 0.1; done

# At rest: nothing changes on the bus but what NetworkManager's mock does by itself.
sleep 2
cpu0=$(cpu_ms "$daemon")
wake0=$(wakeups "$daemon")
sleep "$rest"
cpu1=$(cpu_ms "$daemon")
wake1=$(wakeups "$daemon")
awk -v c="$(awk -v a="$cpu0" -v b="$cpu1" 'BEGIN { print b - a }')" -v w=$((wake1 - wake0)) \
  -v s="$rest" 'BEGIN {
  printf "at rest with NetworkManager: %.0f ms of processor time and %.0f wake-ups an hour\n",
    c * 3600 / s, w * 3600 / s }'

# Signals: each switch of the metered value runs one pass.
cpu0=$(cpu_ms "$daemon")
passes=$(stored_passes)
for i in $(seq "$switches"); do
  received=$((received + 5000))
  write_counters wlan7 "$received"
  nm metered wlan7 $((i % 2 + 1))
  for _ in $(seq 100); do (($(stored_passes) > passes)) && break; sleep 0.05; done
  passes=$(stored_passes)
  sleep 1.1  # a pass stores at most once a second
done
cpu1=$(cpu_ms "$daemon")
per_pass=$(awk -v a="$cpu0" -v b="$cpu1" -v n="$switches" 'BEGIN { printf "%.1f", (b - a) / n }')
# Update processes that store, as whole processes: the median of five.
update_ms=()
for _ in 1 2 3 4 5; do
  received=$((received + 5000))
  write_counters wlan7 "$received"
  sleep 1.1
  update_ms+=("$("$python" -c 'import resource, subprocess, sys
subprocess.run([sys.argv[1], "update"], stdout=subprocess.DEVNULL, check=True)
r = resource.getrusage(resource.RUSAGE_CHILDREN)
print("%.1f" % ((r.ru_utime + r.ru_stime) * 1000))' "$kestrio")")
done
median=$(printf '%s\n' "${update_ms[@]}" | sort -n | sed -n 3p)
echo "a pass run by a signal: ${per_pass} ms of the daemon's processor time (mean of" \
  "$switches switches); a kestrio update process that stores: ${median} ms (median of 5:" \
  "${update_ms[*]}); ratio $(awk -v a="$per_pass" -v b="$median" 'BEGIN { printf "%.2f", a / b }')"
