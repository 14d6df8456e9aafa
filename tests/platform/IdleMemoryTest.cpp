#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

#include "platform/IdleMemory.h"

namespace kestrio {
namespace {

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

// A file of its own, mapped by this test alone, stands for the daemon's code and its relocated
// data.
class IdleMemoryTest : public ::testing::Test {
 protected:
  static constexpr std::size_t kLength = 64 * 4096;

  void SetUp() override {
    const char* base = std::getenv("TMPDIR");
    std::string path =
        std::string(base != nullptr && *base != '\0' ? base : "/tmp") + "/kestrio-idle-XXXXXX";
    fd = ::mkstemp(path.data());
    ASSERT_GE(fd, 0) << std::strerror(errno);
    ::unlink(path.c_str());
    content.resize(kLength);
    for (std::size_t i = 0; i < kLength; ++i) content[i] = static_cast<char>(i * 31 % 251);
    ASSERT_EQ(::write(fd, content.data(), kLength), static_cast<ssize_t>(kLength));
  }
  void TearDown() override {
    if (mapped != MAP_FAILED) ::munmap(mapped, kLength);
    if (fd >= 0) ::close(fd);
  }
  // Maps the file privately and reads every page, as running code does.
  void mapAndTouch(int protection) {
    mapped = ::mmap(nullptr, kLength, protection, MAP_PRIVATE, fd, 0);
    ASSERT_NE(mapped, MAP_FAILED);
    const auto* bytes = static_cast<const volatile unsigned char*>(mapped);
    for (std::size_t i = 0; i < kLength; i += 4096) (void)bytes[i];
    ASSERT_GE(residentKb(mapped), static_cast<long>(kLength / 1024 / 2));
  }

  int fd = -1;
  std::string content;
  void* mapped = MAP_FAILED;
};

TEST_F(IdleMemoryTest, LetsGoOfUnchangedFilePagesThatReadBackAsTheyWere) {
  mapAndTouch(PROT_READ);
  EXPECT_GE(releaseIdleMemory(), kLength);
  EXPECT_GE(residentKb(mapped), 0) << "the mapping is listed";
  EXPECT_LT(residentKb(mapped), static_cast<long>(kLength / 1024 / 2));
  EXPECT_EQ(std::memcmp(mapped, content.data(), kLength), 0);
}

// Relocated data is written once at start and made read-only: those copies exist nowhere else,
// and letting go of them would put the file's bytes back under running code.
TEST_F(IdleMemoryTest, KeepsPagesThisProcessChangedInAReadOnlyMapping) {
  mapAndTouch(PROT_READ | PROT_WRITE);
  static_cast<char*>(mapped)[4096] = '!';
  content[4096] = '!';
  ASSERT_EQ(::mprotect(mapped, kLength, PROT_READ), 0);
  releaseIdleMemory();
  EXPECT_EQ(std::memcmp(mapped, content.data(), kLength), 0);
}

}  // namespace
}  // namespace kestrio
