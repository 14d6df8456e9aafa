// A refresh that is interrupted at any change of its files, or meets a full disk there, must leave
// nothing half done: once the next process has run, every total, the period, the history and
// the custom counters are those of a run that was never interrupted.
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <sstream>
#include <string>

#include "app/KestrioAppDelegate.h"
#include "engine/AppData.h"
#include "engine/AppSettings.h"
#include "engine/CustomCounter.h"
#include "engine/History.h"
#include "support/FakePlatform.h"
#include "support/RecordingUi.h"
#include "support/Records.h"

namespace kestrio {
namespace {

using testing::FakePlatform;
using testing::RecordingUi;
using Files = std::map<std::string, std::string>;

constexpr std::uint64_t kMiB = 1024 * 1024;

// The kernel's counters at a moment: cellular and Wi-Fi, received and sent.
struct Moment {
  int day, hour;
  std::uint64_t cellReceived, cellSent, wifiReceived, wifiSent;
};
// The first refresh sets the scene; the second closes a day and a billing period (the cycle
// starts on the 16th). An interrupted second refresh is followed by the next process's refresh
// at the same moment, which must leave what an uninterrupted one leaves.
const Moment kScene = {15, 12, 100, 10, 200, 20};
const Moment kClosing = {16, 9, 150, 15, 270, 27};

// One Kestrio process: a platform over the files a previous process left.
struct Process {
  FakePlatform platform;
  RecordingUi ui;
  NotificationCenter center;

  Process(const Files& files, const Moment& at) {
    for (const auto& [path, content] : files) platform.fakeFiles().put(path, content);
    platform.setBoot(1000, "boot-1");
    platform.setNow(2026, 1, at.day, at.hour);
    platform.setCounters("wwan0", at.cellReceived * kMiB, at.cellSent * kMiB,
                         InterfaceKind::Cellular);
    platform.setCounters("wlan0", at.wifiReceived * kMiB, at.wifiSent * kMiB, InterfaceKind::Wifi);
  }
  void refresh() {
    KestrioAppDelegate delegate(platform, ui, center, "1.0");
    delegate.performFetchWithCompletionHandler([](int) {});
  }
  const Files& files() { return platform.fakeFiles().contents(); }
};

// What must survive exactly: totals, the period, the history and the custom counters.
std::string snapshot(FakePlatform& platform) {
  std::ostringstream out;
  for (const char* type : {"cellular", "wifi"}) {
    AppData record(platform);
    record.getAppData(type);
    out << type << " all " << record.dataAllTime().value_or(-1) << "/"
        << record.dataAllTimeSent().value_or(-1) << " month " << record.dataThisMonth().value_or(-1)
        << "/" << record.dataThisMonthSent().value_or(-1) << " today "
        << record.dataToday().value_or(-1) << " period "
        << record.lastBillingDate().value_or(Date{}).secondsSince1970 << "-"
        << record.nextBillingDate().value_or(Date{}).secondsSince1970 << "\n";
  }
  for (const History& h : History::getAllHistoryLogs(platform)) {
    out << "history " << h.historyType() << " " << h.dataType() << " "
        << h.startDate().value_or(Date{}).secondsSince1970 << "-"
        << h.endDate().value_or(Date{}).secondsSince1970 << " " << h.dataTotal().value_or(-1)
        << "\n";
  }
  for (const CustomCounter& c : CustomCounter::getAllCustomCounters(platform)) {
    out << "counter " << c.name() << " " << c.cellularDataTotal() << " " << c.wifiDataTotal()
        << "\n";
  }
  return out.str();
}

class RefreshCrashTest : public ::testing::Test {
 protected:
  RefreshCrashTest() {
    Process scene({}, kScene);
    AppSettings(scene.platform).getSettings();
    UserDefaults& store = scene.platform.userDefaults();
    store.setInteger(AppSettings::kFirstDayOfCycle, 16);
    store.setInteger(AppSettings::kCellularDataLimit, 1000);
    store.setString(AppSettings::kCellularDataLimitUnit, "MB");
    store.synchronize();
    (void)CustomCounter::addCustomCounter(scene.platform, CustomCounter(scene.platform, "Trip"));
    scene.refresh();
    before_ = scene.files();

    Process closing(before_, kClosing);
    const int start = closing.platform.fakeFiles().changes();
    closing.refresh();
    closingChanges_ = closing.platform.fakeFiles().changes() - start;
    for (const auto& [path, count] : closing.platform.fakeFiles().writesByPath()) {
      writtenTwice_ += count > 1 ? path + " " : "";
    }
    expected_ = snapshot(closing.platform);
  }

  Files before_;
  int closingChanges_ = 0;
  std::string writtenTwice_;
  std::string expected_;
};

TEST_F(RefreshCrashTest, TheSceneClosesADayAndAPeriodAndWritesEachFileOnce) {
  EXPECT_NE(expected_.find("history 1 1"), std::string::npos) << expected_;
  EXPECT_NE(expected_.find("history 2 2"), std::string::npos) << expected_;
  EXPECT_NE(expected_.find("counter Trip"), std::string::npos) << expected_;
  EXPECT_EQ(writtenTwice_, "");
}

TEST_F(RefreshCrashTest, ACrashAtAnyChangeLosesNothingAndCountsNothingTwice) {
  ASSERT_GT(closingChanges_, 5);
  for (int crash = 0; crash <= closingChanges_; ++crash) {
    SCOPED_TRACE("crash after " + std::to_string(crash) + " changes");
    Process interrupted(before_, kClosing);
    interrupted.platform.fakeFiles().crashAfterChanges(crash);
    interrupted.refresh();
    Process next(interrupted.files(), kClosing);
    next.refresh();
    EXPECT_EQ(snapshot(next.platform), expected_);
  }
}

TEST_F(RefreshCrashTest, AFullDiskAtAnyChangeStoresNothingAndTheNextRefreshCountsIt) {
  for (int failing = 0; failing < closingChanges_; ++failing) {
    SCOPED_TRACE("full disk at change " + std::to_string(failing));
    Process failed(before_, kClosing);
    failed.platform.fakeFiles().failChange(failing);
    failed.refresh();
    Process next(failed.files(), kClosing);
    next.refresh();
    EXPECT_EQ(snapshot(next.platform), expected_);
  }
}

}  // namespace
}  // namespace kestrio
