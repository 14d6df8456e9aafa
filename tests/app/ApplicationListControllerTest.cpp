#include <gtest/gtest.h>

#include <string>

#include "app/ApplicationListController.h"
#include "engine/AppData.h"
#include "engine/ApplicationUsage.h"
#include "support/FakePlatform.h"

namespace kestrio {
namespace {

using testing::FakePlatform;

constexpr double kMB = 1048576;

ApplicationUsage used(const std::string& name, double periodMB, double allTimeMB) {
  return {name, "", periodMB * kMB, 0, periodMB * kMB, allTimeMB * kMB, 0, allTimeMB * kMB};
}

void store(FakePlatform& platform, int dataType, ApplicationUsageMap applications,
           bool withReading) {
  ApplicationUsageStore store(platform);
  store.load();
  if (withReading) {
    // A pass that read the service leaves its reading in the store.
    AppData cellular(platform);
    AppData wifi(platform);
    store.update({ApplicationCounters::State::Read, "", {}}, cellular, wifi);
  }
  store.setApplications(dataType, std::move(applications));
  ASSERT_TRUE(store.save().ok());
}

// The period's applications, the most used first with their share of the network's applications;
// those of earlier periods only are left out, and those beyond the tenth are summed into one row.
TEST(ApplicationListControllerTest, ListsThePeriodsApplicationsMostUsedFirst) {
  FakePlatform platform;
  const auto day = [&](int d) {
    return static_cast<std::int64_t>(platform.at(2026, 1, d).secondsSince1970);
  };
  ApplicationUsageMap wifi{{"firefox",
                            {"Firefox",
                             "firefox",
                             300 * kMB,
                             0,
                             0,
                             900 * kMB,
                             0,
                             0,
                             {{day(14), 100 * kMB}, {day(15), 200 * kMB}}}},
                           {"System", used("System", 90, 90)},
                           {"old", used("Old", 0, 5000)}};
  for (int i = 0; i < 11; ++i) wifi["app" + std::to_string(i)] = used("App", 10, 10);
  store(platform, 2, wifi, true);
  store(platform, 1, {{"maps", used("Maps", 1.5, 1.5)}}, false);

  ApplicationListController list(platform, false);
  list.reload("GB");
  ASSERT_EQ(list.rows.size(), 11u);
  EXPECT_EQ(list.rows[0].name, "Firefox");
  EXPECT_EQ(list.rows[0].icon, "firefox");
  EXPECT_EQ(list.rows[0].amountText, "0.29 GB");
  EXPECT_FLOAT_EQ(list.rows[0].share, 0.6f);
  EXPECT_EQ(list.rows[0].days, (std::vector<ApplicationDay>{{"Thu, Jan 15th", "0.20 GB"},
                                                            {"Wed, Jan 14th", "0.10 GB"}}));
  EXPECT_EQ(list.rows[1].name, "System");
  EXPECT_FLOAT_EQ(list.rows[1].share, 0.18f);
  EXPECT_EQ(list.rows[10].name, "3 more");
  EXPECT_FLOAT_EQ(list.rows[10].share, 0.06f);
  EXPECT_FALSE(list.title.hidden);
  EXPECT_EQ(list.title.text, "Apps");
  EXPECT_TRUE(list.hint.hidden);

  ApplicationListController cellular(platform, true);
  cellular.reload("MB");
  ASSERT_EQ(cellular.rows.size(), 1u);
  EXPECT_EQ(cellular.rows[0].amountText, "1.50 MB");
  EXPECT_FLOAT_EQ(cellular.rows[0].share, 1.0f);
}

// Without the service, and nothing ever counted, the windows open then show the hint on both
// screens; windows opened later do not. A service that once counted needs no hint.
TEST(ApplicationListControllerTest, TheHintShowsInTheFirstWindowThatFindsNoService) {
  FakePlatform platform;
  platform.applicationCounters = {ApplicationCounters::State::ServiceMissing, "no socket", {}};
  ApplicationListController cellular(platform, true);
  ApplicationListController wifi(platform, false);
  for (int refresh = 0; refresh < 2; ++refresh) {
    cellular.reload("MB");
    wifi.reload("MB");
    EXPECT_FALSE(cellular.hint.hidden);
    EXPECT_FALSE(wifi.hint.hidden);
    EXPECT_FALSE(wifi.title.hidden);
    EXPECT_EQ(wifi.hint.text,
              "To count per application: sudo systemctl enable --now kestrio-accountd");
  }
  EXPECT_TRUE(
      platform.userDefaults().boolForKey(ApplicationListController::kApplicationsHintShownKey));

  ApplicationListController later(platform, false);
  later.reload("MB");
  EXPECT_TRUE(later.hint.hidden);
  EXPECT_TRUE(later.title.hidden);

  FakePlatform counted;
  counted.applicationCounters.state = ApplicationCounters::State::ServiceMissing;
  store(counted, 2, {}, true);
  ApplicationListController afterCounting(counted, false);
  afterCounting.reload("MB");
  EXPECT_TRUE(afterCounting.hint.hidden);
  EXPECT_TRUE(afterCounting.title.hidden);
}

}  // namespace
}  // namespace kestrio
