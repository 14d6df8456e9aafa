// SPDX-License-Identifier: GPL-2.0-only
// Counts the bytes every socket's cgroup receives and sends, per network namespace and
// interface. Attached to the cgroup v2 hierarchy's root for ingress and egress, it sees each
// packet's length (from the IP header on, as the cgroup hooks see it) and never its payload.
// The kernel's types first: libbpf's helper declarations use them.
// clang-format off
#include <linux/bpf.h>
#include <bpf/bpf_helpers.h>
// clang-format on

#include "kestrio_accountd_map.h"

// Pinned by name, so that a restarted service and a newer program count into the same totals.
struct {
  __uint(type, BPF_MAP_TYPE_PERCPU_HASH);
  __uint(max_entries, KESTRIO_ACCOUNTD_MAX_ENTRIES);
  __type(key, struct kestrio_accountd_key);
  __type(value, struct kestrio_accountd_value);
  __uint(pinning, LIBBPF_PIN_BY_NAME);
} kestrio_counts SEC(".maps");

// The cgroup of every key the program adds, so the service names a short-lived application's
// cgroup while its directory still exists.
struct {
  __uint(type, BPF_MAP_TYPE_RINGBUF);
  __uint(max_entries, 4096 * 4);
  __uint(pinning, LIBBPF_PIN_BY_NAME);
} kestrio_new_cgroups SEC(".maps");

// Written by the service only; allocated as entries come, not all at once.
struct {
  __uint(type, BPF_MAP_TYPE_HASH);
  __uint(max_entries, KESTRIO_ACCOUNTD_MAX_ENTRIES);
  __uint(map_flags, BPF_F_NO_PREALLOC);
  __type(key, __u64);
  __type(value, struct kestrio_accountd_path);
  __uint(pinning, LIBBPF_PIN_BY_NAME);
} kestrio_cgroup_paths SEC(".maps");

static __always_inline int count(struct __sk_buff* skb, int egress) {
  struct kestrio_accountd_key key = {};
  key.cgroup = bpf_skb_cgroup_id(skb);
  key.netns = bpf_get_netns_cookie(skb);
  key.ifindex = skb->ifindex;

  struct kestrio_accountd_value* value = bpf_map_lookup_elem(&kestrio_counts, &key);
  if (!value) {
    struct kestrio_accountd_value zero = {};
    // Another CPU may add the same key at once: BPF_NOEXIST lets only one of them win, and
    // both count into the entry that is there afterwards.
    if (bpf_map_update_elem(&kestrio_counts, &key, &zero, BPF_NOEXIST) == 0)
      bpf_ringbuf_output(&kestrio_new_cgroups, &key.cgroup, sizeof(key.cgroup), 0);
    value = bpf_map_lookup_elem(&kestrio_counts, &key);
    if (!value) return 1;
  }
  // The map holds one value per CPU: no other program touches this one while it runs.
  if (egress) {
    value->tx_bytes += skb->len;
    value->tx_packets += 1;
  } else {
    value->rx_bytes += skb->len;
    value->rx_packets += 1;
  }
  return 1;  // counting never drops a packet
}

SEC("cgroup_skb/ingress")
int kestrio_ingress(struct __sk_buff* skb) {
  return count(skb, 0);
}

SEC("cgroup_skb/egress")
int kestrio_egress(struct __sk_buff* skb) {
  return count(skb, 1);
}

char LICENSE[] SEC("license") = "GPL";
