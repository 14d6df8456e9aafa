# Sourced by the system tests that mock NetworkManager or ModemManager with python-dbusmock. Runs
# the test again under a dbus-run-session of its own, whose bus stands in for the system bus too,
# and skips it (77) without dbus-run-session or python-dbusmock. Gives `python` (Debian's
# interpreter, which has python-dbusmock whatever PATH prefers), a temporary `work` directory
# (the caller removes it), KESTRIO_HOME in it, and scripted counters written by `write_counters`.
python=/usr/bin/python3
[[ -x "$python" ]] || python=python3
if [[ -z "${KESTRIO_PRIVATE_BUS:-}" ]]; then
  command -v dbus-run-session >/dev/null || { echo "no dbus-run-session" >&2; exit 77; }
  "$python" -c 'import dbusmock' 2>/dev/null || { echo "no python3-dbusmock" >&2; exit 77; }
  exec env KESTRIO_PRIVATE_BUS=1 dbus-run-session -- "$0" "$@"
fi

work="$(mktemp -d)"
export DBUS_SYSTEM_BUS_ADDRESS="$DBUS_SESSION_BUS_ADDRESS"
export TZ=UTC LANG=C KESTRIO_HOME="$work/home" KESTRIO_COUNTERS="$work/net_dev"

# write_counters IFACE RECEIVED: the counters file with one interface that received RECEIVED
# bytes and sent one, replaced whole so that a daemon reading it never sees half of it.
write_counters() {
  printf 'Inter-|   Receive                                                |  Transmit\n face |bytes    packets errs drop fifo frame compressed multicast|bytes    packets errs drop fifo colls carrier compressed\n  %s: %d 1 0 0 0 0 0 0 0 1 0 0 0 0 0 0\n' \
    "$1" "$2" >"$KESTRIO_COUNTERS.new"
  mv "$KESTRIO_COUNTERS.new" "$KESTRIO_COUNTERS"
}
