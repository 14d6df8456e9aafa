#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "platform/InotifyWatch.h"

namespace kestrio {
namespace {

namespace fs = std::filesystem;

TEST(StoredFileNameTest, OnlyFinalPropertyListsAndArchivesCount) {
  const std::pair<const char*, bool> cases[] = {
      {"app_data_cellular.plist", true},
      {"customcounters.archive", true},
      {"defaults.plist", true},
      {"defaults.plist.tmp-Xa9f2Q", false},
      {"history.archive.kestrio-new", false},
      {"kestrio.lock", false},
      {"kestrio.csv", false},
      {".plist", false},
  };
  for (const auto& [name, stored] : cases) EXPECT_EQ(isStoredFileName(name), stored) << name;
}

class InotifyWatchTest : public ::testing::Test {
 protected:
  InotifyWatchTest() {
    dir = fs::temp_directory_path() /
          ("kestrio-watch-" + std::to_string(::getpid()) + "-" +
           ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir);
    fs::create_directories(dir);
  }
  ~InotifyWatchTest() override { fs::remove_all(dir); }

  // As every store replaces a file: a temporary in the same directory, renamed over it.
  void replace(const std::string& name, const std::string& content) {
    const fs::path temporary = dir / (name + ".tmp-Q1w2E3");
    std::ofstream(temporary) << content;
    fs::rename(temporary, dir / name);
  }

  static bool readable(const DirectoryWatch& watch) {
    pollfd p{watch.descriptor(), POLLIN, 0};
    return ::poll(&p, 1, 0) == 1;
  }

  fs::path dir;
};

// The directory is watched, not the file: a file replaced twice by a rename is seen both times.
TEST_F(InotifyWatchTest, SeesEveryReplacementOfAStoredFile) {
  auto watch = watchDirectoryWithInotify(dir.string());
  ASSERT_NE(watch, nullptr);
  EXPECT_FALSE(watch->takeChanges());

  for (int round = 0; round < 2; ++round) {
    replace("app_data_wifi.plist", "<plist/>" + std::to_string(round));
    EXPECT_TRUE(readable(*watch)) << round;
    EXPECT_TRUE(watch->takeChanges()) << round;
    EXPECT_FALSE(watch->takeChanges()) << "everything pending was read";
  }
  fs::remove(dir / "app_data_wifi.plist");
  EXPECT_TRUE(watch->takeChanges());
}

TEST_F(InotifyWatchTest, TemporariesAndOtherFilesAreNotChanges) {
  auto watch = watchDirectoryWithInotify(dir.string());
  ASSERT_NE(watch, nullptr);
  std::ofstream(dir / "defaults.plist.tmp-Zz") << "half";
  std::ofstream(dir / "kestrio.lock") << "";
  replace("kestrio.csv", "a,b");
  EXPECT_FALSE(watch->takeChanges());
}

TEST_F(InotifyWatchTest, NoWatchOnAMissingDirectory) {
  EXPECT_EQ(watchDirectoryWithInotify((dir / "missing").string()), nullptr);
}

}  // namespace
}  // namespace kestrio
