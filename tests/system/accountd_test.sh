#!/usr/bin/env bash
# kestrio-accountd against the kernel: processes in cgroups of a tree made for this test send and
# receive UDP datagrams over a veth pair between two network namespaces, and the service's
# counters must equal, to the byte, what their sockets sent and received (each datagram counted
# with its IP and UDP headers, as the program sees it). Two applications at once; a second user
# reads none of the first's; a closed application keeps its bytes; the service restarted in
# the middle of traffic loses and doubles nothing; malformed requests and a client that says
# nothing hold nobody up. The service runs with only the capabilities its unit gives it.
# With KESTRIO, Kestrio's own passes run in the namespace against the service: an application's
# figures are its socket's bytes, and System holds the rest of the link's, to the byte.
#   accountd_test.sh KESTRIO_ACCOUNTD [KESTRIO]
# Exits 77 (skipped) without root, cgroup v2, a BPF file system, ip or setpriv.
set -euo pipefail

service=$(realpath "$1")
kestrio=${2:+$(realpath "$2")}
skip() {
  echo "skipped: $1"
  exit 77
}
((EUID == 0)) || skip "needs root (loads an eBPF program)"
for tool in ip setpriv; do
  command -v "$tool" >/dev/null || skip "needs $tool"
done
# The system's interpreter: another one on root's PATH may be one other users cannot run.
python=/usr/bin/python3
[[ -x $python ]] || skip "needs /usr/bin/python3"
cgroot=
for candidate in /sys/fs/cgroup /sys/fs/cgroup/unified; do
  if [[ $(stat -f -c %T "$candidate" 2>/dev/null) == cgroup2fs ]]; then
    cgroot=$candidate
    break
  fi
done
[[ -n $cgroot ]] || skip "needs a cgroup v2 hierarchy at /sys/fs/cgroup or /sys/fs/cgroup/unified"

tag="kac$$"
work=$(mktemp -d)
chmod 755 "$work"  # the other users the test runs as read its scripts
tree=$cgroot/kestrio-test-$$
ns_a="${tag}a"
ns_b="${tag}b"
user_a=61001
user_b=61002
service_pid=
pids=()
cleanup() {
  set +e
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; done
  [[ -n $service_pid ]] && kill "$service_pid" 2>/dev/null && wait "$service_pid" 2>/dev/null
  ip netns del "$ns_a" 2>/dev/null
  ip netns del "$ns_b" 2>/dev/null
  if [[ -d $tree ]]; then
    find "$tree" -depth -type d -exec rmdir {} + 2>/dev/null
  fi
  [[ -d $work/bpf/kestrio ]] && "$service" --pin-dir "$work/bpf/kestrio" --detach >/dev/null 2>&1
  mountpoint -q "$work/bpf" && umount "$work/bpf"
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "FAIL: $*" >&2
  [[ -f $work/service.log ]] && sed 's/^/service: /' "$work/service.log" >&2
  exit 1
}

mkdir "$work/bpf"
mount -t bpf bpf "$work/bpf" 2>/dev/null || skip "cannot mount a BPF file system"
mkdir -p "$tree" || skip "cannot create a cgroup under $cgroot"
ip netns add "$ns_a" 2>/dev/null || skip "cannot create network namespaces"
ip netns add "$ns_b"
for ns in "$ns_a" "$ns_b"; do
  ip netns exec "$ns" sh -c \
    'echo 1 > /proc/sys/net/ipv6/conf/default/disable_ipv6; echo 1 > /proc/sys/net/ipv6/conf/all/disable_ipv6' \
    2>/dev/null || true
done
ip link add kxa netns "$ns_a" type veth peer name kxb netns "$ns_b"
ip -n "$ns_a" addr add 10.213.78.1/30 dev kxa
ip -n "$ns_b" addr add 10.213.78.2/30 dev kxb
ip -n "$ns_a" neigh replace 10.213.78.2 lladdr "$(ip netns exec "$ns_b" cat /sys/class/net/kxb/address)" \
  dev kxa nud permanent
ip -n "$ns_b" neigh replace 10.213.78.1 lladdr "$(ip netns exec "$ns_a" cat /sys/class/net/kxa/address)" \
  dev kxb nud permanent
ip -n "$ns_a" link set kxa up
ip -n "$ns_b" link set kxb up
ifindex_a=$(ip netns exec "$ns_a" cat /sys/class/net/kxa/ifindex)

# Echoes every datagram with a reply of 3 bytes more, so received and sent differ.
cat >"$work/echo.py" <<'PY'
import socket
s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
s.bind(("10.213.78.2", 7000))
while True:
    data, peer = s.recvfrom(65536)
    s.sendto(data + b"abc", peer)
PY
# COUNT datagrams of SIZE bytes, each waiting for its echo, and more until SECONDS have passed;
# prints the bytes its socket sent and received, each datagram with its 28 bytes of IPv4 and UDP
# header.
cat >"$work/app.py" <<'PY'
import socket, sys, time
count, size = int(sys.argv[1]), int(sys.argv[2])
until = time.monotonic() + (float(sys.argv[3]) if len(sys.argv) > 3 else 0)
s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
s.settimeout(1.0)
sent = received = i = 0
while i < count or time.monotonic() < until:
    i += 1
    s.sendto(b"x" * size, ("10.213.78.2", 7000))
    sent += size + 28
    try:
        received += len(s.recv(65536)) + 28
    except socket.timeout:
        pass
print(sent, received)
PY
# Asks the service, as the calling user, and prints CGROUP NETNS IFINDEX RECEIVED SENT per line.
cat >"$work/ask.py" <<'PY'
import socket, sys
s = socket.socket(socket.AF_UNIX)
s.settimeout(10)
s.connect(sys.argv[1])
s.sendall(sys.argv[2].encode().decode("unicode_escape").encode("latin-1") if len(sys.argv) > 2
          else b"kestrio-accountd 1 counters\n")
if sys.argv[3:] == ["end"]:  # the client ends its sending: the request is whole
    s.shutdown(socket.SHUT_WR)
data = b""
while True:
    chunk = s.recv(65536)
    if not chunk:
        break
    data += chunk
lines = data.decode().split("\n")
if lines[0] != "ok 1":
    print(lines[0])
    sys.exit(0)
assert lines[-2] == "end" and lines[-1] == "", data
for line in lines[1:-2]:
    print(" ".join(line.split("\t")))
PY
cookie_a=$(ip netns exec "$ns_a" "$python" -c \
  'import socket; print(int.from_bytes(socket.socket().getsockopt(socket.SOL_SOCKET, 71, 8), "little"))')

ip netns exec "$ns_b" "$python" "$work/echo.py" &
pids+=($!)

start_service() {
  # Only the capabilities the unit gives it.
  setpriv --bounding-set -all,+bpf,+net_admin,+perfmon --inh-caps -all \
    "$service" --cgroup-root "$tree" --socket "$work/run/socket" --pin-dir "$work/bpf/kestrio" \
    >>"$work/service.log" 2>&1 &
  service_pid=$!
  # The socket is made before the program is attached (a service that cannot answer attaches
  # nothing), so only its first answer says the counting has begun.
  for _ in $(seq 100); do
    if [[ -S $work/run/socket ]]; then
      local answer
      answer=$(ask "kestrio-accountd 1 counters\n" end) || fail "the service did not answer"
      [[ $answer != error* ]] || fail "the service's first answer: $answer"
      return 0
    fi
    kill -0 "$service_pid" 2>/dev/null || fail "the service did not start"
    sleep 0.05
  done
  fail "the service did not listen"
}
stop_service() {
  kill "$service_pid"
  wait "$service_pid" || fail "the service ended with status $?"
  service_pid=
}

# Runs app.py in a new cgroup (its path below the tree) as a process of namespace A; prints
# what its socket sent and received.
app() {  # CGROUP COUNT SIZE [SECONDS]
  mkdir -p "$tree/$1"
  local cgroup=$1
  shift
  sh -c 'echo $$ > "$1/cgroup.procs" && shift && exec "$@"' app "$tree/$cgroup" \
    ip netns exec "$ns_a" "$python" "$work/app.py" "$@"
}

ask() { "$python" "$work/ask.py" "$work/run/socket" "$@"; }
ask_as() {  # UID [REQUEST]
  local uid=$1
  shift
  setpriv --reuid "$uid" --regid "$uid" --clear-groups "$python" "$work/ask.py" "$work/run/socket" "$@"
}

# The counters of one cgroup, summed over its entries: "RECEIVED SENT"; all entries must be on
# the veth link in namespace A.
counted() {  # CGROUP [ANSWER]
  local answer=${2:-$(ask)}
  awk -v path="/$1" -v cookie="$cookie_a" -v ifindex="$ifindex_a" '
    $1 == path { if ($2 != cookie || $3 != ifindex) bad = 1; rx += $4; tx += $5; n++ }
    END { if (bad) print "elsewhere"; else if (n == 0) print "none"; else print rx, tx }' <<<"$answer"
}
expect() {  # CGROUP "SENT RECEIVED" WHAT
  local sent received
  read -r sent received <<<"$2"
  local got
  got=$(counted "$1")
  [[ $got == "$received $sent" ]] ||
    fail "$3: $1 counted '$got' (received sent), its socket $received $sent"
  echo "ok: $3 ($1: received $received, sent $sent)"
}

# What another user could have put where the socket goes is never used, nor removed.
mkdir -m 1777 "$work/shared"
"$service" --cgroup-root "$tree" --socket "$work/shared/socket" --pin-dir "$work/bpf/kestrio" \
  >"$work/refused.log" 2>&1 && fail "the service used a directory every user may write"
grep -q "not a directory of this service's own" "$work/refused.log" || fail "$(cat "$work/refused.log")"
mkdir "$work/squatted"
echo planted >"$work/squatted/socket"
"$service" --cgroup-root "$tree" --socket "$work/squatted/socket" --pin-dir "$work/bpf/kestrio" \
  >"$work/refused.log" 2>&1 && fail "the service replaced a file it did not make"
[[ $(cat "$work/squatted/socket") == planted ]] || fail "the service changed a file it did not make"
[[ ! -e $work/bpf/kestrio/ingress ]] || fail "a service that cannot answer attached its program"
echo "ok: a socket path another user could have prepared is refused"

start_service
[[ $(stat -c %a "$work/run/socket") == 666 ]] || fail "the socket is not open to every user"

first=$(app "user@$user_a.service/app-test-1.scope" 200 1000)
expect "user@$user_a.service/app-test-1.scope" "$first" "one application"

# Two applications of the same user at once, each with its own figures.
app "user@$user_a.service/app-one-1.scope" 300 700 >"$work/one" &
one=$!
app "user@$user_a.service/app-two-1.scope" 150 1400 >"$work/two" &
two=$!
wait "$one" "$two"
expect "user@$user_a.service/app-one-1.scope" "$(cat "$work/one")" "two applications at once (first)"
expect "user@$user_a.service/app-two-1.scope" "$(cat "$work/two")" "two applications at once (second)"

# Another user's application: each user reads only their own cgroups; root reads all.
second=$(app "user@$user_b.service/app-second-1.scope" 50 500)
expect "user@$user_b.service/app-second-1.scope" "$second" "another user's application"
mine=$(ask_as "$user_a")
theirs=$(ask_as "$user_b")
[[ $(counted "user@$user_a.service/app-test-1.scope" "$mine") != none ]] ||
  fail "a user cannot read their own application"
[[ $(counted "user@$user_b.service/app-second-1.scope" "$mine") == none ]] ||
  fail "a user reads another user's application"
! grep -q "user@$user_a.service" <<<"$theirs" || fail "the second user reads the first's applications"
[[ $(counted "user@$user_b.service/app-second-1.scope" "$theirs") != none ]] ||
  fail "the second user cannot read their own application"
[[ -z $(ask_as 65534) ]] || fail "a user with no applications reads some: $(ask_as 65534)"
echo "ok: each user reads only their own applications"

# Refused requests, and a client that connects and says nothing, hold nobody up.
[[ $(ask "kestrio-accountd 9 counters\n") == "error unsupported version" ]] ||
  fail "a request of another version was not refused: $(ask "kestrio-accountd 9 counters\n")"
[[ $(ask "\x1b[2J\x00garbage" end) == error* ]] || fail "garbage was not refused"
[[ $(ask "kestrio-accountd 1 counters" wait) == "error request not sent in time" ]] ||
  fail "a request left unfinished was not refused"
"$python" -c 'import socket, sys, time
s = socket.socket(socket.AF_UNIX); s.connect(sys.argv[1]); time.sleep(8)' "$work/run/socket" &
silent=$!
pids+=("$silent")
sleep 0.2
started=$(date +%s%N)
[[ $(counted "user@$user_a.service/app-test-1.scope") != none ]] || fail "the service stopped answering"
(($(date +%s%N) - started < 2000000000)) || fail "a silent client held up another"
kill "$silent" 2>/dev/null || true
echo "ok: malformed requests refused, a silent client holds nobody up"

# A closed application's cgroup is removed; its bytes stay, named, across a restart.
gone=$(app "user@$user_a.service/app-gone-1.scope" 80 900)
expect "user@$user_a.service/app-gone-1.scope" "$gone" "an application about to close"
rmdir "$tree/user@$user_a.service/app-gone-1.scope"

# The service restarted while an application sends: nothing lost, nothing counted twice.
app "user@$user_a.service/app-busy-1.scope" 1000 600 2.5 >"$work/busy" &
busy=$!
sleep 0.5
kill -0 "$busy" 2>/dev/null || fail "the application ended before the service stopped"
stop_service
sleep 0.5
start_service
kill -0 "$busy" 2>/dev/null || fail "the application ended before the service was back"
wait "$busy"
expect "user@$user_a.service/app-busy-1.scope" "$(cat "$work/busy")" "the service restarted mid-traffic"
expect "user@$user_a.service/app-gone-1.scope" "$gone" "a closed application after a restart"
expect "user@$user_a.service/app-test-1.scope" "$first" "the first application after a restart"

# --detach removes the program: the counts are gone with it.
stop_service
"$service" --pin-dir "$work/bpf/kestrio" --detach >>"$work/service.log" 2>&1 || fail "--detach failed"
[[ ! -e $work/bpf/kestrio ]] || fail "--detach left pins: $(ls "$work/bpf/kestrio")"
start_service
[[ $(counted "user@$user_a.service/app-test-1.scope") == none ]] || fail "counts survived --detach"
echo "ok: --detach removes the program and its counts"

[[ -n $kestrio ]] || exit 0
# Kestrio's passes in namespace A, where the link is its Wi-Fi: the first sets the starting
# point, the next counts an application started between them.
kx() {
  ip netns exec "$ns_a" env KESTRIO_HOME="$work/kestrio" KESTRIO_ACCOUNTD_SOCKET="$work/run/socket" \
    TZ=UTC LANG=C "$kestrio" "$@"
}
link_bytes() {
  echo $(($(ip netns exec "$ns_a" cat /sys/class/net/kxa/statistics/rx_bytes) +
    $(ip netns exec "$ns_a" cat /sys/class/net/kxa/statistics/tx_bytes)))
}
kx settings set wifiInterfaces kxa >/dev/null
kx update >/dev/null
before=$(link_bytes)
sleep 1.1
read -r sent received <<<"$(app "user@$user_a.service/app-counted-1.scope" 120 800)"
kx update >/dev/null
link=$(($(link_bytes) - before))
figures=$(kx apps --network wifi --period all --json | "$python" -c '
import json, sys
rows = json.load(sys.stdin)["applications"]
apps = [r for r in rows if r["key"] != "System"]
system = [r for r in rows if r["key"] == "System"]
print(sum(int(r["dataAllTimeSent"]) for r in apps), sum(int(r["dataAllTimeRecd"]) for r in apps),
      sum(int(r["dataAllTime"]) for r in system), len(apps))')
read -r app_sent app_received system count <<<"$figures"
[[ $count == 1 && $app_sent == "$sent" && $app_received == "$received" ]] ||
  fail "kestrio apps: $count applications sent $app_sent and received $app_received; the socket $sent and $received"
((system == link - sent - received)) ||
  fail "System holds $system bytes; the link carried $link, the application $((sent + received))"
echo "ok: Kestrio's figures: the application's bytes are its socket's, System the link's rest ($system)"

