#!/bin/bash
# Kestrio against vnStat and against its own I/O floor, each pair measured in turn in one run,
# every figure given with its ratio:
# - `kestrio status --cached --oneline` (what a status bar runs every few seconds) against
#   `vnstat --oneline`, both as whole processes, and the system calls that would change a file
#   in one cached status (there must be none);
# - `kestrio update` that stores (the counters moved, at least a second after the previous
#   update) against io_floor, a program making the same atomic writes, syncs and journal for
#   the same files and nothing else; with the update's processor time;
# - an idle `kestrio daemon` at its defaults against an idle `vnstatd` at its defaults:
#   processor time and wake-ups (voluntary context switches) over a minute, scaled to an hour,
#   private dirty memory, and the daemon's peak during its refreshes (VmHWM).
# vnStat and strace are installed here when missing (neither is a dependency of Kestrio). Both
# programs keep their data in a temporary directory: the machine's own are untouched. Build
# with -DCMAKE_BUILD_TYPE=Release for the distribution's figures.
#
# Usage: bench/ReferenceBench.sh [BUILD_DIRECTORY] [N]   (defaults: build, 30 runs)
set -euo pipefail
build=$(realpath "${1:-build}")
runs=${2:-30}
kestrio=$build/src/cli/kestrio
io_floor=$build/bench/io_floor
for program in "$kestrio" "$io_floor"; do
  [ -x "$program" ] || { echo "no program at $program (build first)" >&2; exit 1; }
done

missing=()
command -v vnstatd >/dev/null || missing+=(vnstat)
command -v strace >/dev/null || missing+=(strace)
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing ${missing[*]} for this benchmark..." >&2
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo=sudo
  $sudo apt-get install -y --no-install-recommends "${missing[@]}" >/dev/null ||
    { $sudo apt-get update -qq && $sudo apt-get install -y --no-install-recommends "${missing[@]}" >/dev/null; }
fi

work=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT

# vnStat with a database, a log and a pid file of its own, at its defaults otherwise.
config=$work/vnstat.conf
cat >"$config" <<CONFIG
DatabaseDir "$work/vnstat-db"
PidFile "$work/vnstatd.pid"
UseLogging 0
DaemonUser ""
DaemonGroup ""
CreateDirs 1
CONFIG
vnstatd --config "$config" --nodaemon >/dev/null 2>&1 &
vnstatd_pid=$!
pids+=("$vnstatd_pid")
for _ in $(seq 50); do
  vnstat --config "$config" --oneline >/dev/null 2>&1 && break
  sleep 0.2
done
vnstat --config "$config" --oneline >/dev/null ||
  { echo "vnstat --oneline does not answer with the temporary database" >&2; exit 1; }

# Kestrio on this machine's counters, with a home of its own and a plan; its first update makes
# the records.
export KESTRIO_HOME=$work/kestrio-cli
"$kestrio" plan quota 2 GB >/dev/null
"$kestrio" update >/dev/null

echo "== one cached status: system calls that change files (all must be 0)"
strace -f -qq -o "$work/cached.trace" -e trace=openat,rename,renameat,renameat2,unlink,unlinkat,fsync,fdatasync,write,pwrite64,ftruncate \
  "$kestrio" status --cached --oneline >/dev/null
printf '  opened for writing %d, renamed %d, removed %d, synced %d, written other than to standard output %d\n' \
  "$(grep -cE 'openat\(.*O_(WRONLY|RDWR|CREAT)' "$work/cached.trace" || true)" \
  "$(grep -cE ' rename' "$work/cached.trace" || true)" \
  "$(grep -cE ' unlink' "$work/cached.trace" || true)" \
  "$(grep -cE ' f(data)?sync' "$work/cached.trace" || true)" \
  "$(grep -E ' (write|pwrite64|ftruncate)\(' "$work/cached.trace" | grep -cvE ' write\(1,' || true)"

# The files one stored update writes, from its renames into place: the floor writes the same.
"$kestrio" update >/dev/null
sleep 1.1
strace -f -qq -o "$work/update.trace" -e trace=rename,renameat,renameat2 "$kestrio" update >/dev/null
mapfile -t stored < <(grep -oE "\"$KESTRIO_HOME/[^\"]*\.kestrio-new\"" "$work/update.trace" |
                      sed -E "s#\"$KESTRIO_HOME/##; s#\.kestrio-new\"##" | sort -u)
[ ${#stored[@]} -gt 0 ] || { echo "the traced update stored no file" >&2; exit 1; }
floor_dir=$work/floor
mkdir -p "$floor_dir"
for name in "${stored[@]}"; do cp "$KESTRIO_HOME/$name" "$floor_dir/"; done
echo "== a stored update writes: ${stored[*]}"

# Each run's wall-clock and processor time (user + system, from the child's own resource
# usage) in microseconds, the two programs of a pair taking turns.
python3 - "$runs" "$kestrio" "$config" "$io_floor" "$floor_dir" "${stored[@]}" <<'PYTHON'
import os, statistics, sys, time

runs, kestrio, config, io_floor, floor_dir = int(sys.argv[1]), *sys.argv[2:6]
stored = sys.argv[6:]
devnull = os.open(os.devnull, os.O_WRONLY)

def run(argv):
    actions = [(os.POSIX_SPAWN_DUP2, devnull, 1), (os.POSIX_SPAWN_DUP2, devnull, 2)]
    start = time.perf_counter_ns()
    pid = os.posix_spawnp(argv[0], argv, os.environ, file_actions=actions)
    _, status, usage = os.wait4(pid, 0)
    wall = (time.perf_counter_ns() - start) / 1e6
    if os.waitstatus_to_exitcode(status) != 0:
        sys.exit(f"{argv} failed with status {os.waitstatus_to_exitcode(status)}")
    # The child's own processor time; its peak memory is not taken from here, as a spawned
    # child's high-water mark counts this interpreter's pages it shared before exec.
    return wall, (usage.ru_utime + usage.ru_stime) * 1000

def report(title, times, first, second):
    median = {name: tuple(statistics.median(v) for v in zip(*samples)) for name, samples in times.items()}
    print(f"== {title}: medians over {runs} runs each, in turn")
    print(f"  {'':<40} {'wall ms':>8} {'cpu ms':>8}")
    for name, (wall, cpu) in median.items():
        print(f"  {name:<40} {wall:8.2f} {cpu:8.2f}")
    print(f"  ratio {first} / {second}: wall {median[first][0] / median[second][0]:.2f}")

counters = os.environ.get("KESTRIO_COUNTERS")
times = {"kestrio status --cached --oneline": [], "vnstat --oneline": []}
for _ in range(runs):
    times["kestrio status --cached --oneline"].append(run([kestrio, "status", "--cached", "--oneline"]))
    times["vnstat --oneline"].append(run(["vnstat", "--config", config, "--oneline"]))
report("status for a status bar", times, "kestrio status --cached --oneline", "vnstat --oneline")

# An update stores only when something changed: at least a second after the previous one, the
# since-the-last-update figures and the update's time always do.
times = {"kestrio update (stores)": [], "io_floor (same files)": []}
record = os.path.join(os.environ["KESTRIO_HOME"], "app_data_cellular.plist")
last = 0.0
replaced = 0
for _ in range(runs):
    wait = last + 1.05 - time.time()
    if wait > 0:
        time.sleep(wait)
    last = time.time()
    before = os.stat(record).st_ino
    times["kestrio update (stores)"].append(run([kestrio, "update"]))
    replaced += os.stat(record).st_ino != before  # stored files are renamed into place
    times["io_floor (same files)"].append(run([io_floor, floor_dir, *stored]))
report("update that stores", times, "kestrio update (stores)", "io_floor (same files)")
print(f"  updates that replaced the cellular record: {replaced} of {runs}")
PYTHON

# The daemons at their defaults, idle after their first round.
KESTRIO_HOME=$work/kestrio-daemon "$kestrio" daemon >/dev/null 2>&1 &
daemon_pid=$!
pids+=("$daemon_pid")
sleep 3
kill -0 "$daemon_pid" 2>/dev/null || { echo "kestrio daemon did not keep running" >&2; exit 1; }
kill -0 "$vnstatd_pid" 2>/dev/null || { echo "vnstatd did not keep running" >&2; exit 1; }
ticks=$(getconf CLK_TCK)
sample() {  # processor ticks and voluntary context switches of process $1
  awk '{ print $14 + $15 }' "/proc/$1/stat"
  awk '/^voluntary_ctxt_switches:/ { print $2 }' "/proc/$1/status"
}
mapfile -t k0 < <(sample "$daemon_pid")
mapfile -t v0 < <(sample "$vnstatd_pid")
window=${KESTRIO_IDLE_WINDOW:-60}
sleep "$window"
mapfile -t k1 < <(sample "$daemon_pid")
mapfile -t v1 < <(sample "$vnstatd_pid")
dirty() { awk '/^Private_Dirty:/ { print $2 }' "/proc/$1/smaps_rollup"; }
hwm() { awk '/^VmHWM:/ { print $2 }' "/proc/$1/status"; }
echo "== idle daemons at their defaults, over ${window} s (scaled to an hour)"
printf '  %-16s %14s %14s %18s %14s\n' "" "cpu ms/hour" "wake-ups/hour" "private dirty kB" "peak kB"
row() {  # NAME PID TICKS_BEFORE TICKS_AFTER SWITCHES_BEFORE SWITCHES_AFTER
  awk -v name="$1" -v t0="$3" -v t1="$4" -v s0="$5" -v s1="$6" -v hz="$ticks" -v w="$window" \
      -v d="$(dirty "$2")" -v h="$(hwm "$2")" \
      'BEGIN { printf "  %-16s %14.0f %14.0f %18d %14d\n", name, (t1 - t0) * 1000 / hz * 3600 / w,
               (s1 - s0) * 3600 / w, d, h }'
}
row "kestrio daemon" "$daemon_pid" "${k0[0]}" "${k1[0]}" "${k0[1]}" "${k1[1]}"
row "vnstatd" "$vnstatd_pid" "${v0[0]}" "${v1[0]}" "${v0[1]}" "${v1[1]}"
awk -v k="$(dirty "$daemon_pid")" -v v="$(dirty "$vnstatd_pid")" \
  'BEGIN { printf "  ratio private dirty kestrio daemon / vnstatd: %.2f\n", k / v }'
