#!/bin/bash
# What kestrio-accountd costs:
# - throughput of TCP over a veth pair between two network namespaces (iperf3), with the
#   counting program attached and without it, in turn, and their ratio (the program runs for
#   every packet of both ends);
# - the service at rest over a while: processor time scaled to an hour, wake-ups (voluntary
#   context switches) scaled to an hour, private dirty memory and the peak;
# - one reading of 200 applications' counters over the socket, as a pass makes it.
# Both ends of the traffic run in cgroups of a tree made for the bench, on which the service
# counts with pins of its own: the machine's own cgroups and pins are untouched. iperf3 is
# installed here when missing (it is no dependency of Kestrio). Needs root.
#
# Usage: bench/AccountdBench.sh [BUILD_DIRECTORY] [RUNS] [REST_SECONDS]   (defaults: build, 5, 60)
set -euo pipefail
build=$(realpath "${1:-build}")
runs=${2:-5}
rest=${3:-60}
service=$build/src/accountd/kestrio-accountd
[ -x "$service" ] || { echo "no program at $service (build first)" >&2; exit 1; }
[ "$(id -u)" -eq 0 ] || { echo "needs root (loads an eBPF program)" >&2; exit 1; }
command -v iperf3 >/dev/null || {
  echo "Installing iperf3 for this benchmark..." >&2
  DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends iperf3 >/dev/null ||
    { apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends iperf3 >/dev/null; }
}
python=/usr/bin/python3
cgroot=/sys/fs/cgroup
[ "$(stat -f -c %T $cgroot)" = cgroup2fs ] || cgroot=/sys/fs/cgroup/unified

work=$(mktemp -d)
tree=$cgroot/kestrio-bench-$$
ns_a=kab$$a
ns_b=kab$$b
pids=()
service_pid=
cleanup() {
  set +e
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; done
  [ -n "$service_pid" ] && kill "$service_pid" 2>/dev/null && wait "$service_pid" 2>/dev/null
  sleep 0.2
  ip netns del "$ns_a" 2>/dev/null
  ip netns del "$ns_b" 2>/dev/null
  "$service" --pin-dir "$work/bpf/kestrio" --detach >/dev/null 2>&1
  mountpoint -q "$work/bpf" && umount "$work/bpf"
  [ -d "$tree" ] && find "$tree" -depth -type d -exec rmdir {} + 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

mkdir -p "$work/bpf" "$tree/user@0.service/app-iperf-1.scope"
mount -t bpf bpf "$work/bpf"
ip netns add "$ns_a"
ip netns add "$ns_b"
ip link add kba netns "$ns_a" type veth peer name kbb netns "$ns_b"
ip -n "$ns_a" addr add 10.213.79.1/30 dev kba
ip -n "$ns_b" addr add 10.213.79.2/30 dev kbb
ip -n "$ns_a" link set kba up
ip -n "$ns_b" link set kbb up
in_tree() { sh -c 'echo $$ > "$1/cgroup.procs" && shift && exec "$@"' run "$tree/$1" "${@:2}"; }

# Started without a function, whose subshell would be the process the cleanup stops.
sh -c 'echo $$ > "$1/cgroup.procs" && shift && exec "$@"' run "$tree/user@0.service/app-iperf-1.scope" \
  ip netns exec "$ns_b" iperf3 -s -B 10.213.79.2 >/dev/null 2>&1 &
pids+=($!)
sleep 0.5

start_service() {
  "$service" --cgroup-root "$tree" --socket "$work/run/socket" --pin-dir "$work/bpf/kestrio" \
    >>"$work/service.log" 2>&1 &
  service_pid=$!
  for _ in $(seq 100); do [ -S "$work/run/socket" ] && return 0; sleep 0.05; done
  echo "the service did not start: $(cat "$work/service.log")" >&2
  exit 1
}
stop_and_detach() {
  kill "$service_pid"; wait "$service_pid" || true; service_pid=
  "$service" --pin-dir "$work/bpf/kestrio" --detach >/dev/null 2>&1
}
throughput() {  # bits per second of 5 seconds of TCP from A to B
  in_tree user@0.service/app-iperf-1.scope ip netns exec "$ns_a" iperf3 -c 10.213.79.2 -t 5 -J |
    "$python" -c 'import json, sys; print(int(json.load(sys.stdin)["end"]["sum_received"]["bits_per_second"]))'
}

echo "TCP over veth, $runs runs of 5 s each, without and with the program in turn:"
without=()
with=()
for ((i = 0; i < runs; i++)); do
  without+=("$(throughput)")
  start_service
  with+=("$(throughput)")
  stop_and_detach
done
median() { printf '%s\n' "$@" | sort -n | awk '{a[NR] = $1} END {print (NR % 2) ? a[(NR + 1) / 2] : (a[NR / 2] + a[NR / 2 + 1]) / 2}'; }
m_without=$(median "${without[@]}")
m_with=$(median "${with[@]}")
awk -v a="$m_without" -v b="$m_with" 'BEGIN {
  printf "  without: %.2f Gbit/s   with: %.2f Gbit/s   ratio: %.3f\n", a / 1e9, b / 1e9, b / a }'

start_service
# 200 applications, each with one datagram sent.
for ((i = 1; i <= 200; i++)); do
  mkdir -p "$tree/user@0.service/app-bench-$i.scope"
  in_tree "user@0.service/app-bench-$i.scope" ip netns exec "$ns_a" \
    "$python" -c 'import socket; socket.socket(socket.AF_INET, socket.SOCK_DGRAM).sendto(b"x" * 100, ("10.213.79.2", 9))'
done
"$python" - "$work/run/socket" <<'PY'
import socket, sys, time
times = []
for _ in range(50):
    start = time.perf_counter()
    s = socket.socket(socket.AF_UNIX)
    s.connect(sys.argv[1])
    s.sendall(b"kestrio-accountd 1 counters\n")
    data = b""
    while chunk := s.recv(65536):
        data += chunk
    times.append(time.perf_counter() - start)
lines = data.count(b"\n") - 2
times.sort()
print(f"one reading over the socket: {lines} counters, median {times[len(times) // 2] * 1e3:.2f} ms")
PY

ticks=$(getconf CLK_TCK)
cpu() { awk '{print $14 + $15}' "/proc/$service_pid/stat"; }
switches() { awk '/^voluntary_ctxt_switches/ {print $2}' "/proc/$service_pid/status"; }
cpu0=$(cpu)
switches0=$(switches)
sleep "$rest"
cpu1=$(cpu)
switches1=$(switches)
dirty=$(awk '/^Private_Dirty/ {s += $2} END {print s}' "/proc/$service_pid/smaps_rollup")
peak=$(awk '/^VmHWM/ {print $2}' "/proc/$service_pid/status")
awk -v c=$((cpu1 - cpu0)) -v t="$ticks" -v w=$((switches1 - switches0)) -v r="$rest" \
  -v d="$dirty" -v p="$peak" 'BEGIN {
  printf "at rest over %d s: %.1f ms processor time per hour, %.0f wake-ups per hour, %d kB private dirty, %d kB peak\n",
    r, c * 1000 / t * 3600 / r, w * 3600 / r, d, p }'
