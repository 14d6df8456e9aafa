#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

#include "platform/IdleMemory.h"

namespace kestrio {
namespace {

constexpr long kTmpfsMagic = 0x01021994;

// The resident size of this process's mapping that starts at `start`, in kB.
long residentKb(const void* start) {
  std::ifstream smaps("/proc/self/smaps");
  char prefix[32];
  std::snprintf(prefix, sizeof prefix, "%lx-", reinterpret_cast<unsigned long>(start));
  std::string line;
  bool inMapping = false;
  while (std::getline(smaps, line)) {
    if (line.rfind(prefix, 0) == 0) inMapping = true;
    if (inMapping && line.rfind("Rss:", 0) == 0) return std::strtol(line.c_str() + 4, nullptr, 10);
  }
  return -1;
}

// A daemon's waits must hand back the code pages only it holds, and they must read back as they
// were: a file mapped by this test alone stands for them.
TEST(IdleMemoryTest, HandsBackFilePagesOnlyThisProcessHoldsAndReadsThemBack) {
  const char* base = std::getenv("TMPDIR");
  std::string path =
      std::string(base != nullptr && *base != '\0' ? base : "/tmp") + "/kestrio-idle-XXXXXX";
  const int fd = ::mkstemp(path.data());
  ASSERT_GE(fd, 0) << std::strerror(errno);
  ::unlink(path.c_str());
  struct statfs filesystem {};
  ASSERT_EQ(::fstatfs(fd, &filesystem), 0);
  // Memory file systems have no file to read pages back from: nothing is reclaimed there.
  if (filesystem.f_type == kTmpfsMagic) GTEST_SKIP() << "the temporary directory is in memory";

  constexpr std::size_t kLength = 64 * 4096;
  std::string content(kLength, '\0');
  for (std::size_t i = 0; i < kLength; ++i) content[i] = static_cast<char>(i * 31 % 251);
  ASSERT_EQ(::write(fd, content.data(), kLength), static_cast<ssize_t>(kLength));
  ASSERT_EQ(::fsync(fd), 0);  // clean pages: only those can go back to the file
  void* mapped = ::mmap(nullptr, kLength, PROT_READ, MAP_PRIVATE, fd, 0);
  ASSERT_NE(mapped, MAP_FAILED);
  const auto* bytes = static_cast<const volatile unsigned char*>(mapped);
  unsigned sum = 0;
  for (std::size_t i = 0; i < kLength; i += 4096) sum += bytes[i];  // touch every page
  ASSERT_GE(residentKb(mapped), static_cast<long>(kLength / 1024 / 2));

  EXPECT_GE(releaseIdleMemory(), kLength);
  EXPECT_LT(residentKb(mapped), static_cast<long>(kLength / 1024 / 2));
  EXPECT_GE(residentKb(mapped), 0) << "the mapping is listed";
  EXPECT_EQ(std::memcmp(mapped, content.data(), kLength), 0);
  (void)sum;
  ::munmap(mapped, kLength);
  ::close(fd);
}

}  // namespace
}  // namespace kestrio
