#include "accountd/CgroupTree.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/magic.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <unistd.h>

#include <utility>
#include <vector>

#include "platform/AccountingProtocol.h"

namespace kestrio::accountd {

bool isCgroup2(const std::string& directory) {
  struct statfs info {};
  return ::statfs(directory.c_str(), &info) == 0 &&
         static_cast<unsigned long>(info.f_type) == CGROUP2_SUPER_MAGIC;
}

std::string findCgroupRoot() {
  for (const char* candidate : {"/sys/fs/cgroup", "/sys/fs/cgroup/unified"}) {
    if (isCgroup2(candidate)) return candidate;
  }
  return {};
}

std::unordered_map<std::uint64_t, std::string> walkCgroups(const std::string& root) {
  std::unordered_map<std::uint64_t, std::string> names;
  const int rootFd = ::open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (rootFd < 0) return names;
  struct stat info {};
  if (::fstat(rootFd, &info) == 0) names.emplace(info.st_ino, "/");
  // Paths still to read; one directory is open at a time, however wide the tree.
  std::vector<std::string> pending{""};
  while (!pending.empty()) {
    const std::string path = std::move(pending.back());
    pending.pop_back();
    const int fd = path.empty() ? ::dup(rootFd)
                                : ::openat(rootFd, path.c_str() + 1,
                                           O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) continue;
    DIR* directory = ::fdopendir(fd);
    if (directory == nullptr) {
      ::close(fd);
      continue;
    }
    while (const dirent* item = ::readdir(directory)) {
      if (item->d_type != DT_DIR) continue;
      const std::string_view name = item->d_name;
      if (name == "." || name == "..") continue;
      std::string child = path + "/" + item->d_name;
      if (child.size() > accounting::kMaxPathBytes) continue;
      if (::fstatat(::dirfd(directory), item->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0) continue;
      names.emplace(info.st_ino, child);
      pending.push_back(std::move(child));
    }
    ::closedir(directory);
  }
  ::close(rootFd);
  return names;
}

}  // namespace kestrio::accountd
