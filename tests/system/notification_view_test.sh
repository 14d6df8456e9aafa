#!/usr/bin/env bash
# The "View" action of a usage alert, against python-dbusmock's notification service on a private
# session bus: the daemon shows the alert with the action, and when the user chooses it (or
# clicks the alert) starts the window on the alert's network, for the daemon's data directory and
# with the activation token the service gave; an action of a notification the daemon did not
# show, or of one already closed, starts nothing. The window is a stand-in beside a copy of
# kestrio, where the daemon looks for it. Runs itself under dbus-run-session.
# Usage: notification_view_test.sh KESTRIO
set -euo pipefail
kestrio="$1"
here="$(cd "$(dirname "$0")" && pwd)"
source "$here/private_bus.sh"
mock=""
daemon=""
cleanup() {
  [[ -n "$daemon" ]] && kill "$daemon" 2>/dev/null
  [[ -n "$mock" ]] && kill "$mock" 2>/dev/null
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "FAIL: $*" >&2
  [[ -f "$work/daemon.log" ]] && sed 's/^/daemon: /' "$work/daemon.log" >&2
  exit 1
}

# The daemon finds the window's program beside its own.
mkdir "$work/bin"
cp "$kestrio" "$work/bin/kestrio"
export WINDOW_LOG="$work/window.log"
cat >"$work/bin/kestrio-gui" <<'SH'
#!/bin/sh
echo "$KESTRIO_HOME|${XDG_ACTIVATION_TOKEN:-}|$*" >>"$WINDOW_LOG"
SH
chmod +x "$work/bin/kestrio-gui"
: >"$WINDOW_LOG"

"$python" -m dbusmock --template notification_daemon >"$work/mock.log" 2>&1 &
mock=$!
# mock CALL ARGS...: a method of the mock's own interface, through python-dbus.
mock() {
  "$python" - "$@" <<'PY'
import sys, dbus
bus = dbus.SessionBus()
mock = dbus.Interface(bus.get_object("org.freedesktop.Notifications",
                                     "/org/freedesktop/Notifications"), "org.freedesktop.DBus.Mock")
if sys.argv[1] == "notified":  # ID ACTIONS of every Notify call, a line each
    for _, method, args in mock.GetCalls():
        if method == "Notify":
            print(int(args[1]) or "new", " ".join(str(a) for a in args[5]))
else:  # emit MEMBER SIGNATURE ARGS...
    member, signature = sys.argv[2], sys.argv[3]
    args = [int(a) if t == "u" else a for t, a in zip(signature, sys.argv[4:])]
    mock.EmitSignal("org.freedesktop.Notifications", member, signature, args)
PY
}
for _ in $(seq 50); do
  mock notified >/dev/null 2>&1 && break
  sleep 0.1
done
mock notified >/dev/null || { cat "$work/mock.log" >&2; fail "the notification service did not start"; }

write_counters wwan7 1000
"$work/bin/kestrio" plan quota 1 MB >/dev/null
"$work/bin/kestrio" -v daemon --interval 0.05 2>"$work/daemon.log" &
daemon=$!
for _ in $(seq 50); do
  grep -q "updated" "$work/daemon.log" && break
  sleep 0.1
done
write_counters wwan7 2000000  # past the quota: the alert of 100 %

notified=""
for _ in $(seq 100); do
  notified=$(mock notified)
  [[ -n "$notified" ]] && break
  sleep 0.1
done
[[ -n "$notified" ]] || fail "no alert was shown"
[[ $notified == *"default View view View"* ]] || fail "the alert has no View action: $notified"
echo "ok: the alert carries the View action"

# The service numbers its notifications from 1: the alert is the first.
# window_started COUNT: waits for the window's stand-in to have been started COUNT times.
window_started() {
  for _ in $(seq 50); do
    (($(wc -l <"$WINDOW_LOG") >= $1)) && return 0
    sleep 0.1
  done
  return 1
}
mock emit ActivationToken us 1 token-42
mock emit ActionInvoked us 1 view
window_started 1 || fail "choosing View started no window"
[[ $(sed -n 1p "$WINDOW_LOG") == "$KESTRIO_HOME|token-42|--show cellular" ]] ||
  fail "the window was started as: $(sed -n 1p "$WINDOW_LOG")"
echo "ok: View starts the window on the alert's network with the token"

mock emit ActionInvoked us 1 default
window_started 2 || fail "a click on the alert started no window"
[[ $(sed -n 2p "$WINDOW_LOG") == "$KESTRIO_HOME||--show cellular" ]] ||
  fail "the click started the window as: $(sed -n 2p "$WINDOW_LOG")"
echo "ok: a click on the alert does the same"

# Another application's notification, an unknown action, and a closed alert start nothing; the
# daemon is still there to count.
mock emit ActionInvoked us 7 view
mock emit ActionInvoked us 1 reply
mock emit NotificationClosed uu 1 2
mock emit ActionInvoked us 1 view
sleep 1
(($(wc -l <"$WINDOW_LOG") == 2)) || fail "a window was started for nothing: $(cat "$WINDOW_LOG")"
kill -0 "$daemon" || fail "the daemon ended"
echo "ok: nothing else starts the window"
