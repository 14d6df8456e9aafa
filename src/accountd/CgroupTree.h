#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>

namespace kestrio::accountd {

// Whether a directory is the root or a member of a cgroup v2 hierarchy.
bool isCgroup2(const std::string& directory);

// Where the cgroup v2 hierarchy is mounted: /sys/fs/cgroup on a unified system,
// /sys/fs/cgroup/unified on a hybrid one; empty when there is none.
std::string findCgroupRoot();

// Every cgroup below `root` (itself included, as "/") by its id, the inode number of its
// directory, with its path relative to `root`. A directory that vanishes during the walk is left
// out; paths longer than the protocol carries are too.
std::unordered_map<std::uint64_t, std::string> walkCgroups(const std::string& root);

}  // namespace kestrio::accountd
