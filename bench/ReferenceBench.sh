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

micros() { local t=$EPOCHREALTIME; echo "${t/./}"; }
median_ms() {
  sort -n | awk '{ t[NR] = $1 } END {
    m = (NR % 2) ? t[(NR + 1) / 2] : (t[NR / 2] + t[NR / 2 + 1]) / 2
    printf "%.2f", m / 1000 }'
}
: >"$work/kestrio.times"
: >"$work/vnstat.times"
for _ in $(seq "$runs"); do
  start=$(micros)
  "$kestrio" update >/dev/null
  middle=$(micros)
  vnstat --config "$config" --oneline >/dev/null
  end=$(micros)
  echo $((middle - start)) >>"$work/kestrio.times"
  echo $((end - middle)) >>"$work/vnstat.times"
done
k=$(median_ms <"$work/kestrio.times")
v=$(median_ms <"$work/vnstat.times")
echo "kestrio update: median $k ms; vnstat --oneline: median $v ms (over $runs runs each, in turn)"
awk -v k="$k" -v v="$v" 'BEGIN { printf "ratio kestrio update / vnstat --oneline: %.2f\n", k / v }'

# The daemons, idle after their first round.
KESTRIO_HOME=$work/kestrio-daemon "$kestrio" daemon >/dev/null 2>&1 &
daemon_pid=$!
pids+=("$daemon_pid")
sleep 3
kill -0 "$daemon_pid" 2>/dev/null || { echo "kestrio daemon did not keep running" >&2; exit 1; }
kill -0 "$vnstatd_pid" 2>/dev/null || { echo "vnstatd did not keep running" >&2; exit 1; }
memory() {
  awk '/^Rss:/ { r = $2 } /^Pss:/ { p = $2 } /^Private_(Clean|Dirty):/ { q += $2 }
       END { print r, p, q }' "/proc/$1/smaps_rollup"
}
read -r k_rss k_pss k_private < <(memory "$daemon_pid")
read -r v_rss v_pss v_private < <(memory "$vnstatd_pid")
printf "idle daemon memory (kB)  %8s %8s %8s\n" RSS PSS private
printf "  kestrio daemon         %8d %8d %8d\n" "$k_rss" "$k_pss" "$k_private"
printf "  vnstatd                %8d %8d %8d\n" "$v_rss" "$v_pss" "$v_private"
awk -v k="$k_private" -v v="$v_private" \
  'BEGIN { printf "ratio private memory kestrio daemon / vnstatd: %.2f\n", k / v }'
