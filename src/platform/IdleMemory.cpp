#include "platform/IdleMemory.h"

#include <malloc.h>
#include <sys/mman.h>

#include <cstdio>
#include <fstream>
#include <string>

namespace kestrio {

std::size_t releaseIdleMemory() {
  ::malloc_trim(0);
  // Only mappings of files: their clean pages can always be read back. The kernel keeps what
  // cannot be: pages this process wrote (relocated data) without swap to take them, and pages
  // other processes map too.
  std::ifstream maps("/proc/self/maps");
  std::string line;
  std::size_t asked = 0;
  while (std::getline(maps, line)) {
    unsigned long start = 0;
    unsigned long end = 0;
    char permissions[5] = {};
    unsigned long long offset = 0;
    unsigned device[2] = {};
    unsigned long long inode = 0;
    if (std::sscanf(line.c_str(), "%lx-%lx %4s %llx %x:%x %llu", &start, &end, permissions, &offset,
                    &device[0], &device[1], &inode) != 7 ||
        inode == 0) {
      continue;
    }
    // NOLINTNEXTLINE(performance-no-int-to-ptr): the kernel's own addresses of this process
    void* address = reinterpret_cast<void*>(start);
    // A mapping the kernel will not reclaim (locked, or a kernel before 5.4) is left as it is.
    if (::madvise(address, end - start, MADV_PAGEOUT) == 0) asked += end - start;
  }
  return asked;
}

}  // namespace kestrio
