#!/usr/bin/env bash
# Kestrio against the kernel's own counters, on a veth pair between two network namespaces made
# for this test: ordinary traffic, the link deleted and created again with more traffic than
# before, the interface choice changed for one pass, the link moved to another namespace and
# back under a new index, and three processes updating at once.
# After every step the Wi-Fi record's all-time total must equal, to the byte, what the kernel
# counted on the link while it was chosen.
#   veth_counting_test.sh KESTRIO_BINARY
# Exits 77 (skipped) without root, without ip or where namespaces cannot be made.
set -euo pipefail

kestrio=$(realpath "$1")
skip() {
  echo "skipped: $1"
  exit 77
}
((EUID == 0)) || skip "needs root"
command -v ip >/dev/null || skip "needs ip (iproute2)"
command -v python3 >/dev/null || skip "needs python3"

tag="kx$$"
ns_a="${tag}a"
ns_b="${tag}b"
ns_c="${tag}c"
home=$(mktemp -d)
cleanup() {
  ip netns del "$ns_a" 2>/dev/null || true
  ip netns del "$ns_b" 2>/dev/null || true
  ip netns del "$ns_c" 2>/dev/null || true
  rm -rf "$home"
}
trap cleanup EXIT
ip netns add "$ns_a" 2>/dev/null || skip "cannot create network namespaces"
ip netns add "$ns_b"
ip netns exec "$ns_a" true 2>/dev/null || skip "cannot enter network namespaces"

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

link_a=kxa link_b=kxb addr_a=10.213.77.1 addr_b=10.213.77.2
source "$(dirname "$0")/veth_pair.sh"
quiet_namespaces

run() { in_a env KESTRIO_HOME="$home" "$kestrio" "$@" >/dev/null; }

counted() {
  python3 -c 'import plistlib, sys; print(int(plistlib.load(open(sys.argv[1], "rb"))["dataAllTime"]))' \
    "$home/app_data_wifi.plist"
}

# The traffic of earlier incarnations of the link, which the kernel no longer shows.
earlier=0
expect_exact() {
  local want got
  want=$((earlier + $(kernel_bytes)))
  got=$(counted)
  [[ "$got" == "$want" ]] || fail "$1: Kestrio counted $got bytes, the kernel $want"
  echo "ok: $1 ($got bytes)"
}

make_link
run settings set wifiInterfaces kxa
traffic 20
run update
expect_exact "first pass"
traffic 50
run update
expect_exact "ordinary traffic"

# Deleted and created again: the new link carries more than the old one ever did.
old_index=$(in_a cat /sys/class/net/kxa/ifindex)
earlier=$((earlier + $(kernel_bytes)))
in_a ip link del kxa
make_link
[[ "$(in_a cat /sys/class/net/kxa/ifindex)" != "$old_index" ]] || fail "the new link kept its index"
traffic 150
run update
expect_exact "link created again"

# The link is not chosen for one pass, then chosen again: its past is not counted twice. The
# traffic before an update counts where the link counted at the update before it, so the update
# that sees the choice comes before the traffic, as the daemon's would.
run settings set wifiInterfaces kxnone
run update
expect_exact "link left out for one pass"
run settings set wifiInterfaces kxa
run update
traffic 30
run update
expect_exact "link chosen again"

# Moved to another namespace and back, where another link took its index meanwhile: the same
# link under a new index, with its address and its counters.
ip netns add "$ns_c"
old_index=$(in_a cat /sys/class/net/kxa/ifindex)
in_a ip link set kxa netns "$ns_c"
in_a ip link add kxhold index "$old_index" type veth peer name kxhold2
ip netns exec "$ns_c" ip link set kxa netns "$ns_a"
in_a ip link del kxhold
[[ "$(in_a cat /sys/class/net/kxa/ifindex)" != "$old_index" ]] || fail "the moved link kept its index"
in_b ip addr flush dev kxb
set_up_link
traffic 40
run update
expect_exact "link moved to another namespace and back"

# Three processes updating while traffic flows; a last update once it has stopped.
traffic 200 &
sender=$!
pids=()
for _ in 1 2 3; do
  (for _ in 1 2 3 4; do run update || exit 1; done) &
  pids+=($!)
done
for pid in "${pids[@]}"; do wait "$pid" || fail "a concurrent update failed"; done
wait "$sender"
run update
expect_exact "three processes at once"
