#include "platform/IdleMemory.h"

#include <malloc.h>
#include <sys/mman.h>

#include <cstdio>
#include <fstream>
#include <string>

namespace kestrio {

namespace {

// One mapping of /proc/self/smaps: its range, whether it maps a file read-only, and how much of
// it this process changed (copied-on-write pages, which exist nowhere else).
struct Mapping {
  unsigned long start = 0;
  unsigned long end = 0;
  bool readOnlyFile = false;
  long changedKb = -1;  // unknown until its "Anonymous:" line
};

// A header line: "start-end perms offset major:minor inode [path]".
bool parseHeader(const std::string& line, Mapping& mapping) {
  char permissions[5] = {};
  unsigned long long offset = 0;
  unsigned major = 0;
  unsigned minor = 0;
  unsigned long long inode = 0;
  if (std::sscanf(line.c_str(), "%lx-%lx %4s %llx %x:%x %llu", &mapping.start, &mapping.end,
                  permissions, &offset, &major, &minor, &inode) != 7) {
    return false;
  }
  mapping.readOnlyFile = inode != 0 && permissions[1] != 'w';
  mapping.changedKb = -1;
  return true;
}

// Drops this process's hold on the pages of a read-only file mapping it never changed: they stay
// in the page cache, and a later access maps them again from there. A mapping with changed pages
// (relocated data made read-only afterwards) is left alone, as dropping those would lose them.
std::size_t release(const Mapping& mapping) {
  if (!mapping.readOnlyFile || mapping.changedKb != 0 || mapping.end <= mapping.start) return 0;
  // NOLINTNEXTLINE(performance-no-int-to-ptr): the kernel's own addresses of this process
  void* address = reinterpret_cast<void*>(mapping.start);
  const std::size_t length = mapping.end - mapping.start;
  return ::madvise(address, length, MADV_DONTNEED) == 0 ? length : 0;
}

}  // namespace

std::size_t releaseIdleMemory() {
  ::malloc_trim(0);
  std::ifstream smaps("/proc/self/smaps");
  std::string line;
  Mapping mapping;
  bool inMapping = false;
  std::size_t released = 0;
  while (std::getline(smaps, line)) {
    Mapping next;
    if (parseHeader(line, next)) {
      if (inMapping) released += release(mapping);
      mapping = next;
      inMapping = true;
    } else if (inMapping && line.rfind("Anonymous:", 0) == 0) {
      mapping.changedKb = std::strtol(line.c_str() + 10, nullptr, 10);
    }
  }
  if (inMapping) released += release(mapping);
  return released;
}

}  // namespace kestrio
