#include "accountd/Counting.h"

#include <bpf/bpf.h>
#include <bpf/libbpf.h>
#include <fcntl.h>
#include <linux/magic.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <utility>

#include "accountd/Log.h"
#include "kestrio_accountd.skel.h"
#include "kestrio_accountd_map.h"

namespace kestrio::accountd {
namespace {

constexpr const char* kMapNames[] = {"kestrio_counts", "kestrio_new_cgroups",
                                     "kestrio_cgroup_paths"};

std::string linkPath(const std::string& pinDirectory, bpf_attach_type type) {
  return pinDirectory + (type == BPF_CGROUP_INET_INGRESS ? "/ingress" : "/egress");
}

std::string errnoText(int error) {
  return std::strerror(error < 0 ? -error : error);
}

bool onBpfFileSystem(const std::string& directory) {
  struct statfs info {};
  return ::statfs(directory.c_str(), &info) == 0 &&
         static_cast<unsigned long>(info.f_type) == BPF_FS_MAGIC;
}

// The pinned link an earlier run left for `type`, when it still holds the program on `root`;
// a link on another root (the service was told a new one) is unpinned, and the program is
// attached afresh.
bpf_link* pinnedLink(const std::string& path, bpf_attach_type type, std::uint64_t root) {
  if (::access(path.c_str(), F_OK) != 0) return nullptr;
  bpf_link* link = bpf_link__open(path.c_str());
  if (link == nullptr) {
    log(LogPriority::Warning, "the pinned link " + path + " cannot be opened: " + errnoText(errno) +
                                  "; attaching the program again");
    ::unlink(path.c_str());
    return nullptr;
  }
  bpf_link_info info{};
  __u32 size = sizeof info;
  if (bpf_obj_get_info_by_fd(bpf_link__fd(link), &info, &size) == 0 &&
      info.type == BPF_LINK_TYPE_CGROUP && info.cgroup.cgroup_id == root &&
      info.cgroup.attach_type == type) {
    return link;
  }
  log(LogPriority::Notice,
      "the pinned link " + path + " counts another cgroup tree; attaching the program to this one");
  bpf_link__unpin(link);
  bpf_link__destroy(link);
  return nullptr;
}

// The program counting for `type` on the root: the earlier run's link given the new program,
// so not one packet goes uncounted or is counted twice, or a new link, pinned.
bpf_link* attach(bpf_program* program, bpf_attach_type type, int rootFd, std::uint64_t root,
                 const std::string& pinDirectory, std::string& error) {
  const std::string path = linkPath(pinDirectory, type);
  if (bpf_link* link = pinnedLink(path, type, root)) {
    if (const int failed = bpf_link__update_program(link, program); failed != 0) {
      error = "cannot give the pinned link " + path + " the new program: " + errnoText(failed);
      bpf_link__destroy(link);
      return nullptr;
    }
    return link;
  }
  bpf_link* link = bpf_program__attach_cgroup(program, rootFd);
  if (link == nullptr) {
    error = "cannot attach the program to the cgroup tree: " + errnoText(errno);
    return nullptr;
  }
  if (const int failed = bpf_link__pin(link, path.c_str()); failed != 0) {
    error = "cannot pin the link at " + path + ": " + errnoText(failed);
    bpf_link__destroy(link);
    return nullptr;
  }
  return link;
}

int noteNewCgroup(void* context, void* data, size_t size) {
  auto* seen = static_cast<std::vector<std::uint64_t>*>(context);
  std::uint64_t cgroup = 0;
  if (size == sizeof cgroup) {
    std::memcpy(&cgroup, data, sizeof cgroup);
    seen->push_back(cgroup);
  }
  return 0;
}

// libbpf's own messages, at warning priority: its information lines only say what it probes.
int libbpfMessage(libbpf_print_level level, const char* format, va_list arguments) {
  if (level != LIBBPF_WARN) return 0;
  char line[512];
  std::vsnprintf(line, sizeof line, format, arguments);
  log(LogPriority::Warning, std::string("libbpf: ") + line);
  return 0;
}

}  // namespace

std::unique_ptr<Counting> Counting::start(const std::string& cgroupRoot,
                                          const std::string& pinDirectory, std::string& error) {
  libbpf_set_print(libbpfMessage);
  if (::mkdir(pinDirectory.c_str(), 0700) != 0 && errno != EEXIST) {
    error = "cannot create " + pinDirectory + ": " + errnoText(errno);
    return nullptr;
  }
  if (!onBpfFileSystem(pinDirectory)) {
    error = pinDirectory + " is not on a BPF file system (mount -t bpf bpf /sys/fs/bpf)";
    return nullptr;
  }
  const int rootFd = ::open(cgroupRoot.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  struct stat rootInfo {};
  if (rootFd < 0 || ::fstat(rootFd, &rootInfo) != 0) {
    error = "cannot open the cgroup tree " + cgroupRoot + ": " + errnoText(errno);
    if (rootFd >= 0) ::close(rootFd);
    return nullptr;
  }

  std::unique_ptr<Counting> counting(new Counting());
  LIBBPF_OPTS(bpf_object_open_opts, options, .pin_root_path = pinDirectory.c_str());
  counting->skeleton_ = kestrio_accountd_bpf__open_opts(&options);
  if (counting->skeleton_ == nullptr) {
    error = "cannot open the counting program: " + errnoText(errno);
  } else if (const int failed = kestrio_accountd_bpf__load(counting->skeleton_); failed != 0) {
    error = "cannot load the counting program (" + errnoText(failed) +
            "); maps an older version left in " + pinDirectory +
            " are removed by kestrio-accountd --detach";
  } else {
    kestrio_accountd_bpf* skeleton = counting->skeleton_;
    counting->ingress_ = attach(skeleton->progs.kestrio_ingress, BPF_CGROUP_INET_INGRESS, rootFd,
                                rootInfo.st_ino, pinDirectory, error);
    if (counting->ingress_ != nullptr) {
      counting->egress_ = attach(skeleton->progs.kestrio_egress, BPF_CGROUP_INET_EGRESS, rootFd,
                                 rootInfo.st_ino, pinDirectory, error);
    }
    if (counting->egress_ != nullptr) {
      counting->newCgroups_ = ring_buffer__new(bpf_map__fd(skeleton->maps.kestrio_new_cgroups),
                                               noteNewCgroup, &counting->seen_, nullptr);
      if (counting->newCgroups_ == nullptr) {
        error = "cannot read the program's new cgroups: " + errnoText(errno);
      }
    }
  }
  ::close(rootFd);
  if (counting->newCgroups_ == nullptr) return nullptr;
  return counting;
}

bool Counting::detach(const std::string& pinDirectory, std::string& error) {
  bool removed = true;
  std::vector<std::string> paths{linkPath(pinDirectory, BPF_CGROUP_INET_INGRESS),
                                 linkPath(pinDirectory, BPF_CGROUP_INET_EGRESS)};
  for (const char* name : kMapNames) paths.push_back(pinDirectory + "/" + name);
  for (const std::string& path : paths) {
    if (::unlink(path.c_str()) != 0 && errno != ENOENT) {
      error = "cannot remove " + path + ": " + errnoText(errno);
      removed = false;
    }
  }
  if (removed && ::rmdir(pinDirectory.c_str()) != 0 && errno != ENOENT) {
    error = "cannot remove " + pinDirectory + ": " + errnoText(errno);
    removed = false;
  }
  return removed;
}

Counting::~Counting() {
  ring_buffer__free(newCgroups_);
  // Closing the links leaves them pinned: the program goes on counting without the service.
  if (ingress_ != nullptr) bpf_link__disconnect(ingress_);
  if (egress_ != nullptr) bpf_link__disconnect(egress_);
  bpf_link__destroy(ingress_);
  bpf_link__destroy(egress_);
  kestrio_accountd_bpf__destroy(skeleton_);
}

std::optional<std::vector<KernelCounter>> Counting::read() {
  const int fd = bpf_map__fd(skeleton_->maps.kestrio_counts);
  const int cpus = libbpf_num_possible_cpus();
  if (cpus <= 0) return std::nullopt;
  std::vector<kestrio_accountd_value> values(static_cast<std::size_t>(cpus));
  std::vector<KernelCounter> counters;
  kestrio_accountd_key key{};
  kestrio_accountd_key next{};
  const void* previous = nullptr;
  while (bpf_map_get_next_key(fd, previous, &next) == 0) {
    key = next;
    previous = &key;
    // A key removed between the two calls is simply gone.
    if (bpf_map_lookup_elem(fd, &key, values.data()) != 0) continue;
    KernelCounter counter{key.cgroup, key.netns, key.ifindex, 0, 0};
    for (const kestrio_accountd_value& value : values) {
      counter.received += value.rx_bytes;
      counter.sent += value.tx_bytes;
    }
    counters.push_back(counter);
  }
  if (errno != ENOENT) return std::nullopt;
  // A full map counts no new cgroup: their bytes would be lost without a word. Counts are kept
  // for closed applications too, so only a long uptime with very many of them fills it.
  const bool nearlyFull = counters.size() >= KESTRIO_ACCOUNTD_MAX_ENTRIES / 10 * 9;
  if (nearlyFull && !warnedFull_) {
    log(LogPriority::Warning,
        "the counting map holds " + std::to_string(counters.size()) + " of " +
            std::to_string(KESTRIO_ACCOUNTD_MAX_ENTRIES) +
            " entries; once it is full new applications are not counted until the next boot or "
            "kestrio-accountd --detach");
  }
  warnedFull_ = nearlyFull;
  return counters;
}

int Counting::newCgroupsDescriptor() const {
  return ring_buffer__epoll_fd(newCgroups_);
}

std::vector<std::uint64_t> Counting::takeNewCgroups() {
  ring_buffer__consume(newCgroups_);
  return std::exchange(seen_, {});
}

std::optional<std::string> Counting::storedPath(std::uint64_t cgroup) {
  kestrio_accountd_path stored{};
  if (bpf_map_lookup_elem(bpf_map__fd(skeleton_->maps.kestrio_cgroup_paths), &cgroup, &stored) !=
      0) {
    return std::nullopt;
  }
  return std::string(stored.path, strnlen(stored.path, sizeof stored.path));
}

bool Counting::storePath(std::uint64_t cgroup, const std::string& path) {
  kestrio_accountd_path stored{};
  if (path.size() >= sizeof stored.path) return false;
  std::memcpy(stored.path, path.data(), path.size());
  return bpf_map_update_elem(bpf_map__fd(skeleton_->maps.kestrio_cgroup_paths), &cgroup, &stored,
                             BPF_ANY) == 0;
}

}  // namespace kestrio::accountd
