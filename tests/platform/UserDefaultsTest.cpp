#include <gtest/gtest.h>

#include "platform/PropertyList.h"
#include "platform/UserDefaults.h"
#include "support/FakeFileSystem.h"

namespace kestrio {
namespace {

using testing::FakeFileSystem;

class UserDefaultsTest : public ::testing::Test {
 protected:
  static constexpr const char* kPath = "/home/defaults.plist";
  static constexpr const char* kLock = "/home/kestrio.lock";

  UserDefaults open() {
    return UserDefaults(
        files, kPath, kLock, [this](std::string_view l) { log.emplace_back(l); },
        [] { return Date::fromSecondsSince1970(1800000000); });
  }

  FakeFileSystem files;
  std::vector<std::string> log;
};

TEST_F(UserDefaultsTest, ValuesSurviveARoundTripThroughTheFile) {
  auto a = open();
  a.setBool("flag", true);
  a.setInteger("count", 42);
  a.setDouble("cap", 2.5);
  a.setString("unit", "GB");
  a.setObject("when", PlistValue(Date::fromSecondsSince1970(1767225600.0)));
  a.setObject("names", PlistValue(PlistValue::Array{PlistValue("wwan*"), PlistValue(7)}));
  ASSERT_TRUE(a.synchronize());

  auto b = open();
  EXPECT_TRUE(b.boolForKey("flag"));
  EXPECT_EQ(b.integerForKey("count"), 42);
  EXPECT_DOUBLE_EQ(b.doubleForKey("cap"), 2.5);
  EXPECT_EQ(b.stringForKey("unit"), "GB");
  EXPECT_EQ(b.dateForKey("when"), Date::fromSecondsSince1970(1767225600.0));
  EXPECT_EQ(b.stringArrayForKey("names"), std::vector<std::string>{"wwan*"});
}

TEST_F(UserDefaultsTest, TypedReadersConvertOrAnswerTheEmptyValue) {
  auto d = open();
  d.setString("numeric", "15");
  d.setString("word", "abc");
  d.setDouble("real", 30.9);
  EXPECT_EQ(d.integerForKey("numeric"), 15);
  EXPECT_EQ(d.integerForKey("word"), 0);
  EXPECT_EQ(d.integerForKey("real"), 30);
  EXPECT_TRUE(d.boolForKey("numeric"));
  EXPECT_FALSE(d.boolForKey("missing"));
  EXPECT_FALSE(d.stringForKey("real").has_value());
  EXPECT_FALSE(d.arrayForKey("word").has_value());
  d.setDouble("huge", 1e300);
  EXPECT_EQ(d.integerForKey("huge"), INT64_MAX);
}

TEST_F(UserDefaultsTest, SynchronizeMergesWhatAnotherProcessStoredKeyByKey) {
  auto a = open();
  auto b = open();
  a.setInteger("shared", 1);
  a.setInteger("onlyA", 1);
  ASSERT_TRUE(a.synchronize());
  EXPECT_EQ(b.integerForKey("shared"), 1);  // b reads the file at its first access

  // Both change the store; neither has seen the other's change.
  a.setInteger("shared", 2);
  a.removeObjectForKey("onlyA");
  b.setString("onlyB", "b");
  ASSERT_TRUE(a.synchronize());
  ASSERT_TRUE(b.synchronize());

  auto c = open();
  EXPECT_EQ(c.integerForKey("shared"), 2);  // b did not touch it: a's value stands
  EXPECT_FALSE(c.objectForKey("onlyA"));    // a's removal is kept
  EXPECT_EQ(c.stringForKey("onlyB"), "b");  // b's change is kept
  // And a picks up b's change at its next synchronize.
  ASSERT_TRUE(a.synchronize());
  EXPECT_EQ(a.stringForKey("onlyB"), "b");
}

TEST_F(UserDefaultsTest, TheLaterWriterOfTheSameKeyWins) {
  auto a = open();
  auto b = open();
  a.setInteger("k", 1);
  b.setInteger("k", 2);
  ASSERT_TRUE(a.synchronize());
  ASSERT_TRUE(b.synchronize());
  EXPECT_EQ(open().integerForKey("k"), 2);
}

TEST_F(UserDefaultsTest, SynchronizeHoldsTheLockAndWritesOnlyWhenSomethingChanged) {
  auto a = open();
  a.setInteger("k", 1);
  ASSERT_TRUE(a.synchronize());
  const int writes = files.writeCount();
  const int locks = files.locksTaken();
  ASSERT_TRUE(a.synchronize());
  EXPECT_EQ(files.writeCount(), writes);
  EXPECT_GT(files.locksTaken(), locks);
  EXPECT_EQ(files.lockDepth(kLock), 0);
}

TEST_F(UserDefaultsTest, AFailedWriteKeepsTheChangesPendingAndTheOldFile) {
  auto a = open();
  a.setInteger("k", 1);
  ASSERT_TRUE(a.synchronize());
  const std::string before = files.contents().at(kPath);

  a.setInteger("k", 2);
  files.failWrites(FakeFileSystem::Failure::DiskFull);
  EXPECT_FALSE(a.synchronize());
  EXPECT_EQ(files.contents().at(kPath), before);
  EXPECT_EQ(a.integerForKey("k"), 2);

  ASSERT_TRUE(a.synchronize());  // the disk has room again
  EXPECT_EQ(open().integerForKey("k"), 2);
}

TEST_F(UserDefaultsTest, AnUnparsableStoreIsMovedAsideNotOverwritten) {
  files.put(kPath, "<?xml garbage");
  auto a = open();
  EXPECT_FALSE(a.objectForKey("k"));
  a.setInteger("k", 1);
  ASSERT_TRUE(a.synchronize());
  bool keptAside = false;
  for (const auto& [path, content] : files.contents()) {
    if (path.find("defaults.plist.unreadable-") != std::string::npos) {
      keptAside = content == "<?xml garbage";
    }
  }
  EXPECT_TRUE(keptAside);
  EXPECT_FALSE(log.empty());
}

TEST_F(UserDefaultsTest, AStoreThatCannotBeReadIsNeverWrittenOver) {
  auto a = open();
  a.setInteger("k", 1);
  ASSERT_TRUE(a.synchronize());
  files.makeUnreadable(kPath);
  auto b = open();
  b.setInteger("other", 2);
  EXPECT_FALSE(b.synchronize());
  auto stored = plist::parse(files.contents().at(kPath));
  ASSERT_TRUE(stored);
  EXPECT_EQ(stored->get<PlistValue::Dictionary>()->count("k"), 1u);
}

}  // namespace
}  // namespace kestrio
