#!/bin/bash
# Kestrio against vnStat, the reference, measured in the same run on this machine's own counters:
# - `kestrio update` (one whole refresh as a process) against `vnstat --oneline`, run in turn, and
#   the ratio of their medians;
# - the resident memory of an idle `kestrio daemon` against an idle `vnstatd` (RSS, PSS and
#   private memory from /proc/PID/smaps_rollup), and the ratio of their private memory.
# vnStat is installed here when missing (it is no dependency of Kestrio). Both programs keep their
# data in a temporary directory: the machine's own vnStat database and Kestrio data are untouched.
#
# Usage: bench/ReferenceBench.sh [KESTRIO] [N]   (defaults: build/src/cli/kestrio, 30 runs)
set -euo pipefail
kestrio=$(realpath "${1:-build/src/cli/kestrio}")
runs=${2:-30}
[ -x "$kestrio" ] || { echo "no kestrio program at $kestrio (build first)" >&2; exit 1; }

if ! command -v vnstat >/dev/null || ! command -v vnstatd >/dev/null; then
  echo "Installing vnStat, the reference of this benchmark..." >&2
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo=sudo
  $sudo apt-get install -y --no-install-recommends vnstat >/dev/null ||
    { $sudo apt-get update -qq && $sudo apt-get install -y --no-install-recommends vnstat >/dev/null; }
fi

work=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT

# vnStat with a database, a log and a pid file of its own.
config=$work/vnstat.conf
cat >"$config" <<EOF
DatabaseDir "$work/vnstat-db"
PidFile "$work/vnstatd.pid"
UseLogging 0
DaemonUser ""
DaemonGroup ""
CreateDirs 1
EOF
vnstatd --config "$config" --nodaemon >/dev/null 2>&1 &
vnstatd_pid=$!
pids+=("$vnstatd_pid")
for _ in $(seq 50); do
  vnstat --config "$config" --oneline >/dev/null 2>&1 && break
  sleep 0.2
done
vnstat --config "$config" --oneline >/dev/null ||
  { echo "vnstat --oneline does not answer with the temporary database" >&2; exit 1; }

# Kestrio's command line with a home of its own; its first run makes the records.
export KESTRIO_HOME=$work/kestrio-cli
"$kestrio" update >/dev/null

# Each run's wall-clock time and processor time (user + system, from the child's own resource
# usage), in microseconds, the two programs taking turns. The shell's `time` counts whole
# milliseconds, too coarse for programs that run for two or three.
python3 - "$runs" "$kestrio" "$config" <<'PYTHON'
import os, statistics, sys, time

runs, kestrio, config = int(sys.argv[1]), sys.argv[2], sys.argv[3]
programs = {
    "kestrio update": [kestrio, "update"],
    "vnstat --oneline": ["vnstat", "--config", config, "--oneline"],
}
devnull = os.open(os.devnull, os.O_WRONLY)
times = {name: ([], []) for name in programs}
for _ in range(runs):
    for name, argv in programs.items():
        actions = [(os.POSIX_SPAWN_DUP2, devnull, 1), (os.POSIX_SPAWN_DUP2, devnull, 2)]
        start = time.perf_counter_ns()
        pid = os.posix_spawnp(argv[0], argv, os.environ, file_actions=actions)
        _, status, usage = os.wait4(pid, 0)
        wall = (time.perf_counter_ns() - start) / 1e6
        if os.waitstatus_to_exitcode(status) != 0:
            sys.exit(f"{name} failed with status {os.waitstatus_to_exitcode(status)}")
        times[name][0].append(wall)
        times[name][1].append((usage.ru_utime + usage.ru_stime) * 1000)
median = {name: (statistics.median(w), statistics.median(c)) for name, (w, c) in times.items()}
print(f"medians over {runs} runs each, in turn (ms):  wall   processor")
for name, (wall, cpu) in median.items():
    print(f"  {name:<40} {wall:7.2f} {cpu:7.2f}")
(kw, kc), (vw, vc) = median["kestrio update"], median["vnstat --oneline"]
print(f"ratio kestrio update / vnstat --oneline: wall {kw / vw:.2f}, processor {kc / vc:.2f}")
PYTHON

# The daemons, idle after their first round.
KESTRIO_HOME=$work/kestrio-daemon "$kestrio" daemon >/dev/null 2>&1 &
daemon_pid=$!
pids+=("$daemon_pid")
sleep 3
kill -0 "$daemon_pid" 2>/dev/null || { echo "kestrio daemon did not keep running" >&2; exit 1; }
kill -0 "$vnstatd_pid" 2>/dev/null || { echo "vnstatd did not keep running" >&2; exit 1; }
# Private memory counts the pages of a library only this process maps at the moment as its own;
# the dirty part is what the program itself wrote (its heap, stacks and data).
memory() {
  awk '/^Rss:/ { r = $2 } /^Pss:/ { p = $2 } /^Private_(Clean|Dirty):/ { q += $2 }
       /^Private_Dirty:/ { d = $2 } END { print r, p, q, d }' "/proc/$1/smaps_rollup"
}
read -r k_rss k_pss k_private k_dirty < <(memory "$daemon_pid")
read -r v_rss v_pss v_private v_dirty < <(memory "$vnstatd_pid")
printf "idle daemon memory (kB)  %8s %8s %8s %14s\n" RSS PSS private "private dirty"
printf "  kestrio daemon         %8d %8d %8d %14d\n" "$k_rss" "$k_pss" "$k_private" "$k_dirty"
printf "  vnstatd                %8d %8d %8d %14d\n" "$v_rss" "$v_pss" "$v_private" "$v_dirty"
awk -v k="$k_private" -v v="$v_private" \
  'BEGIN { printf "ratio private memory kestrio daemon / vnstatd: %.2f\n", k / v }'
