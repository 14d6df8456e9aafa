#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

struct kestrio_accountd_bpf;
struct ring_buffer;
struct bpf_link;

namespace kestrio::accountd {

// One entry of the kernel's counting map, summed over the processors.
struct KernelCounter {
  std::uint64_t cgroup = 0;
  std::uint64_t netnsCookie = 0;
  std::uint32_t ifindex = 0;
  std::uint64_t received = 0;
  std::uint64_t sent = 0;
};

// The eBPF program on the cgroup hierarchy's root and its maps, pinned under a directory of
// the BPF file system. The links stay pinned when the service ends, so the program goes on
// counting while the service restarts or is upgraded, and the next run takes the same maps and
// links over (a newer program replaces the old one in place); only `detach` removes them.
class Counting {
 public:
  // Loads the program and attaches it to `cgroupRoot`, or takes over what an earlier run left
  // in `pinDirectory`. Nothing, with the reason in `error`, when that failed.
  static std::unique_ptr<Counting> start(const std::string& cgroupRoot,
                                         const std::string& pinDirectory, std::string& error);
  // Removes the pinned links and maps: the kernel detaches the program and frees its counts.
  static bool detach(const std::string& pinDirectory, std::string& error);

  ~Counting();
  Counting(const Counting&) = delete;
  Counting& operator=(const Counting&) = delete;

  // Every counter the kernel holds now; nothing when the map could not be read.
  std::optional<std::vector<KernelCounter>> read();

  // Readable when the program has counted for a cgroup it had not seen before.
  int newCgroupsDescriptor() const;
  // The cgroups counted for the first time since the last call.
  std::vector<std::uint64_t> takeNewCgroups();

  // The path stored for a cgroup (see storePath); nothing when none is.
  std::optional<std::string> storedPath(std::uint64_t cgroup);
  bool storePath(std::uint64_t cgroup, const std::string& path);

 private:
  Counting() = default;

  kestrio_accountd_bpf* skeleton_ = nullptr;
  bpf_link* ingress_ = nullptr;
  bpf_link* egress_ = nullptr;
  ring_buffer* newCgroups_ = nullptr;
  std::vector<std::uint64_t> seen_;
  bool warnedFull_ = false;
};

}  // namespace kestrio::accountd
