// The counting map's key and value, as the eBPF program writes them and the service reads them.
#pragma once

#include <linux/types.h>

#define KESTRIO_ACCOUNTD_MAX_ENTRIES 65536

struct kestrio_accountd_key {
  __u64 cgroup;   // the cgroup's id: the inode number of its directory
  __u64 netns;    // the network namespace's cookie (interface indexes repeat across namespaces)
  __u32 ifindex;  // the interface, in that namespace
  __u32 pad;
};

struct kestrio_accountd_value {
  __u64 rx_bytes;
  __u64 tx_bytes;
  __u64 rx_packets;
  __u64 tx_packets;
};

// The path of every cgroup the service has named, kept in the kernel beside the counts so that
// a restarted service still names the cgroups that closed before it started.
#define KESTRIO_ACCOUNTD_PATH_BYTES 1024

struct kestrio_accountd_path {
  char path[KESTRIO_ACCOUNTD_PATH_BYTES];  // relative to the hierarchy's root, ended by a zero
};
