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

# Each run's wall-clock time and processor time (user + system), in ms.
TIMEFORMAT='%3R %3U %3S'
timed() { { time "$@" >/dev/null 2>&1; } 2>&1 | awk '{ printf "%.3f %.3f\n", $1 * 1000, ($2 + $3) * 1000 }'; }
: >"$work/kestrio.times"
: >"$work/vnstat.times"
for _ in $(seq "$runs"); do
  timed "$kestrio" update >>"$work/kestrio.times"
  timed vnstat --config "$config" --oneline >>"$work/vnstat.times"
done
median() {
  cut -d' ' -f"$1" | sort -n | awk '{ t[NR] = $1 } END {
    printf "%.2f", (NR % 2) ? t[(NR + 1) / 2] : (t[NR / 2] + t[NR / 2 + 1]) / 2 }'
}
kw=$(median 1 <"$work/kestrio.times")
kc=$(median 2 <"$work/kestrio.times")
vw=$(median 1 <"$work/vnstat.times")
vc=$(median 2 <"$work/vnstat.times")
echo "medians over $runs runs each, in turn (ms):  wall   processor"
printf "  kestrio update                           %7.2f %7.2f\n" "$kw" "$kc"
printf "  vnstat --oneline                         %7.2f %7.2f\n" "$vw" "$vc"
awk -v kw="$kw" -v vw="$vw" -v kc="$kc" -v vc="$vc" 'BEGIN {
  printf "ratio kestrio update / vnstat --oneline: wall %.2f, processor %.2f\n", kw / vw,
         (vc > 0 ? kc / vc : 0) }'

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
