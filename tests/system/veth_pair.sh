# Sourced by the tests that count real traffic on a veth pair between the network namespaces
# $ns_a and $ns_b: the link $link_a in A (address $addr_a) to $link_b in B ($addr_b), /30.
in_a() { ip netns exec "$ns_a" "$@"; }
in_b() { ip netns exec "$ns_b" "$@"; }

# Nothing but the test's own datagrams and their answers may cross the link: no IPv6
# autoconfiguration, static neighbours instead of ARP, and every datagram answered by one
# ICMP "port unreachable" (no rate limit), so more datagrams always mean more bytes both ways.
quiet_namespaces() {
  local ns
  for ns in "$ns_a" "$ns_b"; do
    ip netns exec "$ns" sh -c 'echo 0 > /proc/sys/net/ipv4/icmp_ratemask'
    ip netns exec "$ns" sh -c \
      'echo 1 > /proc/sys/net/ipv6/conf/default/disable_ipv6; echo 1 > /proc/sys/net/ipv6/conf/all/disable_ipv6' \
      2>/dev/null || true
  done
}

make_link() {
  ip link add "$link_a" netns "$ns_a" type veth peer name "$link_b" netns "$ns_b"
  set_up_link
}

set_up_link() {
  in_a ip addr add "$addr_a/30" dev "$link_a"
  in_b ip addr add "$addr_b/30" dev "$link_b"
  in_a ip neigh replace "$addr_b" lladdr "$(in_b cat "/sys/class/net/$link_b/address")" \
    dev "$link_a" nud permanent
  in_b ip neigh replace "$addr_a" lladdr "$(in_a cat "/sys/class/net/$link_a/address")" \
    dev "$link_b" nud permanent
  in_a ip link set "$link_a" up
  in_b ip link set "$link_b" up
}

# Sends COUNT datagrams of 600 bytes each way, to a port where nothing listens.
traffic() {
  local send='for ((i = 0; i < $1; i++)); do printf "%0600d" 0 >"/dev/udp/$2/9"; done'
  in_a bash -c "$send" traffic "$1" "$addr_b"
  in_b bash -c "$send" traffic "$1" "$addr_a"
  sleep 0.3
}

# What the kernel counted on $link_a, both ways.
kernel_bytes() {
  local rx tx
  rx=$(in_a cat "/sys/class/net/$link_a/statistics/rx_bytes")
  tx=$(in_a cat "/sys/class/net/$link_a/statistics/tx_bytes")
  echo $((rx + tx))
}
