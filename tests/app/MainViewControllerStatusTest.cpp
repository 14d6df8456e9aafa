#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/MainView.h"
#include "app/MainViewController.h"
#include "engine/AppData.h"
#include "engine/AppSettings.h"
#include "services/NotificationCenter.h"
#include "support/FakePlatform.h"
#include "support/RecordingUi.h"
#include "support/Records.h"

namespace kestrio {
namespace {

using testing::FakePlatform;
using testing::RecordingUi;

constexpr double kGiB = 1073741824.0;

// A controller whose amounts are shown in GB, with records the tests fill in by hand. The
// period runs from Jan 1 to Jan 30 (30 days, the next one starts on Jan 31) unless a test says
// otherwise; the clock stands at `elapsed` whole days into it.
class StatusTest : public ::testing::Test {
 protected:
  void SetUp() override {
    AppSettings(platform).getSettings();
    platform.userDefaults().setString(AppSettings::kDisplayUnit, "GB");
    controller.appSettings().getSettings();
  }

  void setBadge(const std::string& setting) {
    platform.userDefaults().setString(AppSettings::kAppBadgeSetting, setting);
    controller.appSettings().getSettings();
  }

  AppData& arrange(const std::string& type, double usedGiB, int elapsed, int hour = 0,
                   int minute = 0) {
    AppData& data = type == "wifi" ? wifiData : cellularData;
    data.setAppDataType(type);
    data.setLastBillingDate(platform.at(2026, 1, 1));
    data.setNextBillingDate(platform.at(2026, 1, 31));
    data.setBillingDaysTotal(30);
    data.setBillingDaysElapsed(elapsed);
    data.setDataThisMonth(usedGiB * kGiB);
    data.setDataThisMonthSent(usedGiB * kGiB / 4);
    data.setDataThisMonthRecd(usedGiB * kGiB * 3 / 4);
    platform.setNow(2026, 1, 1 + elapsed, hour, minute, 30);
    return data;
  }

  NetworkStatus& render(AppData& data, std::optional<float> limit) {
    const bool isCellular = data.appDataType() == "cellular";
    NetworkStatus& status = isCellular ? controller.cellular : controller.wifi;
    controller.renderMonthlyData(data, limit, status.visualView);
    return status;
  }

  FakePlatform platform;
  RecordingUi ui;
  NotificationCenter center;
  MainViewController controller{platform, ui, center};
  AppData cellularData{platform};
  AppData wifiData{platform};
};

TEST_F(StatusTest, UsageAheadOfTheIdealLineIsCautionWithARunOutDate) {
  NetworkStatus& s = render(arrange("cellular", 1.2, 15), 2.0f);

  EXPECT_EQ(s.lblIdealActualDiff.text, "CAUTION");
  EXPECT_EQ(s.statusImage.text, "caution.png");
  EXPECT_EQ(s.detailValues[1], "0.2 GB more");
  // 2.0 / (1.2 / 15) = 25 days from Jan 1, though float division lands a hair below 25.
  EXPECT_EQ(s.lblQuotaOverDate.text, "YES ON 1/26/26");
  EXPECT_EQ(s.lblProjected.text, "2 GB");          // 2.4 without decimals
  EXPECT_EQ(s.lblRemainingUsage.text, "0.80 GB");  // never rounded up to 1
  EXPECT_EQ(s.lblDailySuggested.text, "0.05 GB");  // 0.8 / 15 = 0.053
  EXPECT_EQ(s.lblIdealUsage.text, "1.0 GB (50.0%)");
  EXPECT_EQ(s.lblAvailable.text, "OF 2.0 GB USED");
  EXPECT_EQ(s.lblMonthlyUsage.text, "1.20");
  EXPECT_EQ(s.detailValues[8], "0.30 GB");
  EXPECT_EQ(s.detailValues[7], "0.90 GB");
  EXPECT_EQ(s.lblDays.text, "15");
  EXPECT_EQ(s.detailValues[2], "1/1/26 - 1/30/26");
  EXPECT_EQ(s.detailValues[3], "1/31/26");
  EXPECT_EQ(s.visualView.usageText, "60.0%");
  EXPECT_EQ(s.visualView.diffText, "0.2 GB more");
  EXPECT_NEAR(s.visualView.currentUsagePercent, 60.0f, 1e-3f);
  EXPECT_NEAR(s.visualView.idealUsagePercent, 50.0f, 1e-3f);
  EXPECT_EQ(s.visualView.dataType, 1);
}

TEST_F(StatusTest, UsageBelowTheIdealLineIsSafe) {
  NetworkStatus& s = render(arrange("cellular", 0.5, 15), 2.0f);

  EXPECT_EQ(s.lblIdealActualDiff.text, "SAFE");
  EXPECT_EQ(s.statusImage.text, "ok.png");
  EXPECT_EQ(s.detailValues[1], "0.5 GB less");
  EXPECT_EQ(s.lblQuotaOverDate.text, "NO");
  EXPECT_EQ(s.lblIdealUsage.text, "1.0 GB (50.0%)");
  EXPECT_EQ(s.visualView.usageText, "25.0%");
}

TEST_F(StatusTest, OverageSaysQuotaOverAndTheScreensWordTheRemainderDifferently) {
  NetworkStatus& cell = render(arrange("cellular", 2.5, 20), 2.0f);
  NetworkStatus& wifi = render(arrange("wifi", 2.5, 20), 2.0f);

  for (NetworkStatus* s : {&cell, &wifi}) {
    EXPECT_EQ(s->lblIdealActualDiff.text, "OVERAGE");
    EXPECT_EQ(s->statusImage.text, "danger.png");
    EXPECT_EQ(s->lblQuotaOverDate.text, "QUOTA OVER");
    EXPECT_EQ(s->detailValues[1], "1.2 GB more");  // |1.33 - 2.5|
    EXPECT_EQ(s->lblDailySuggested.text, "0 GB");  // a negative suggestion shows as zero
    EXPECT_EQ(s->lblProjected.text, "4 GB");       // 2.5 / 20 * 30 = 3.75
  }
  EXPECT_EQ(cell.lblRemainingUsage.text, "0 GB");
  EXPECT_EQ(wifi.lblRemainingUsage.text, "NONE");
  EXPECT_EQ(wifi.visualView.dataType, 2);
}

TEST_F(StatusTest, AQuotaUsedExactlyUpIsCautionNotOverage) {
  NetworkStatus& s = render(arrange("wifi", 2.0, 20), 2.0f);

  EXPECT_EQ(s.lblIdealActualDiff.text, "CAUTION");
  EXPECT_EQ(s.statusImage.text, "caution.png");
  EXPECT_EQ(s.visualView.usageText, "100.0%");
  EXPECT_EQ(s.lblRemainingUsage.text, "0 GB");  // nothing left is not "NONE": it is not negative
}

TEST_F(StatusTest, FirstMinuteOfAPeriodHasNoIdealAndNoProjection) {
  NetworkStatus& s = render(arrange("cellular", 0.1, 0, 0, 0), 2.0f);

  EXPECT_EQ(s.lblIdealActualDiff.text, "CAUTION");
  EXPECT_EQ(s.lblIdealUsage.text, "0.0 GB (0.0%)");
  EXPECT_EQ(s.lblProjected.text, "0 GB");
  EXPECT_EQ(s.lblQuotaOverDate.text, "YES ON 1/1/26");  // run-out after 0 days
  EXPECT_EQ(s.lblDailySuggested.text, "0.06 GB");       // 1.9 / 30 = 0.063
  EXPECT_EQ(s.visualView.idealUsagePercent, 0.0f);
}

TEST_F(StatusTest, ElapsedTimeCountsTheMinutesOfToday) {
  NetworkStatus& s = render(arrange("cellular", 0.1, 14, 12, 0), 2.0f);

  // T = 14.5 days of 30.
  EXPECT_EQ(s.lblIdealUsage.text, "1.0 GB (48.3%)");
  EXPECT_EQ(s.detailValues[1], "0.9 GB less");
}

TEST_F(StatusTest, LastDaySuggestsTheWholeRemainderAndAfterTheEndNothing) {
  NetworkStatus& s = render(arrange("cellular", 1.5, 29, 12, 0), 2.0f);
  EXPECT_EQ(s.lblDailySuggested.text, "0.50 GB");  // not 0.5 / 0.5 days
  EXPECT_EQ(s.lblDays.text, "1");

  render(arrange("cellular", 1.5, 30, 6, 0), 2.0f);
  EXPECT_EQ(s.lblDailySuggested.text, "");
  EXPECT_EQ(s.lblDays.text, "0");
}

TEST_F(StatusTest, PeriodEndsOnTheDayBeforeTheNextStart) {
  AppData& data = arrange("cellular", 0.5, 5);
  const auto periodFor = [&](Date last, Date next) {
    data.setLastBillingDate(last);
    data.setNextBillingDate(next);
    return render(data, 2.0f).lblCurrentPeriod.text;
  };
  EXPECT_EQ(periodFor(platform.at(2026, 2, 1), platform.at(2026, 3, 1)), "2/1/26 - 2/28/26");
  EXPECT_EQ(periodFor(platform.at(2028, 2, 1), platform.at(2028, 3, 1)), "2/1/28 - 2/29/28");
  EXPECT_EQ(periodFor(platform.at(2025, 12, 1), platform.at(2026, 1, 1)), "12/1/25 - 12/31/25");
}

TEST_F(StatusTest, APeriodWithoutLengthShowsNoInfiniteFigures) {
  AppData& data = arrange("cellular", 0.5, 0, 10, 0);
  data.setBillingDaysTotal(0);
  NetworkStatus& s = render(data, 2.0f);
  // The whole quota counts as the ideal usage, as at the end of a period.
  EXPECT_EQ(s.lblIdealUsage.text, "2.0 GB (100.0%)");
  EXPECT_EQ(s.lblIdealActualDiff.text, "SAFE");
  EXPECT_EQ(s.lblDailySuggested.text, "");
}

TEST_F(StatusTest, WithoutAUsableLimitTheUnlimitedTextsShowAndTheIconStays) {
  AppData& data = arrange("cellular", 2.5, 20);
  setBadge("CELL_REM_PERCENT");
  for (std::optional<float> limit :
       {std::optional<float>(), std::optional<float>(0.0f), std::optional<float>(-1.0f)}) {
    NetworkStatus& s = render(data, 2.0f);
    ASSERT_EQ(s.statusImage.text, "danger.png");
    ASSERT_TRUE(controller.appBadgeNumber.has_value());

    EXPECT_EQ(s.lblPlanHint.text, "");
    render(data, limit);
    EXPECT_EQ(s.lblPlanHint.text, "No quota set: Settings › Cellular Plan › Quota sets one.");
    EXPECT_EQ(s.lblAvailable.text, "OF UNLIMITED");
    EXPECT_EQ(s.lblRemainingUsage.text, "NO LIMIT");
    EXPECT_EQ(s.lblDailySuggested.text, "NO LIMIT");
    EXPECT_EQ(s.lblQuotaOverDate.text, "--");
    EXPECT_EQ(s.lblIdealUsage.text, "--");
    EXPECT_EQ(s.lblIdealActualDiff.text, "SAFE");
    EXPECT_EQ(s.lblProjected.text, "--");
    EXPECT_EQ((std::vector<std::string>{s.detailValues[0], s.detailValues[1], s.detailValues[4],
                                        s.detailValues[5]}),
              (std::vector<std::string>{"--", "SAFE", "--", "--"}));
    EXPECT_EQ(s.statusImage.text, "danger.png");
    EXPECT_EQ(s.visualView.usageText, "0%");
    EXPECT_EQ(s.visualView.diffText, "");
    EXPECT_EQ(s.visualView.currentUsagePercent, 0.0f);
    EXPECT_EQ(s.visualView.idealUsagePercent, 0.0f);
    EXPECT_FALSE(controller.appBadgeNumber.has_value());
    EXPECT_EQ(s.lblMonthlyUsage.text, "2.50");  // the period itself is still shown
  }
}

TEST_F(StatusTest, BadgeShowsTheFigureTheSettingNames) {
  const auto badgeFor = [&](const std::string& setting, const std::string& type, double used) {
    setBadge(setting);
    controller.appBadgeNumber.reset();
    render(arrange(type, used, 15), 2.0f);
    return controller.appBadgeNumber;
  };
  EXPECT_NEAR(*badgeFor("CELLQUOTA", "cellular", 1.2), 1.2f, 1e-5f);
  EXPECT_NEAR(*badgeFor("CELLPERCENT", "cellular", 1.2), 60.0f, 1e-3f);
  EXPECT_NEAR(*badgeFor("CELL_REM_PERCENT", "cellular", 1.2), 40.0f, 1e-3f);
  EXPECT_NEAR(*badgeFor("CELL_PROJ_PERCENT", "cellular", 1.2), 120.0f, 1e-3f);
  EXPECT_NEAR(*badgeFor("CELL_REM_PERCENT", "cellular", 2.4), -20.0f, 1e-3f);
  EXPECT_NEAR(*badgeFor("WIFIQUOTA", "wifi", 0.5), 0.5f, 1e-5f);
  EXPECT_NEAR(*badgeFor("WIFI_PROJ_PERCENT", "wifi", 0.5), 50.0f, 1e-3f);
  EXPECT_FALSE(badgeFor("WIFIQUOTA", "cellular", 1.2).has_value());
  EXPECT_FALSE(badgeFor("CELLPERCENT", "wifi", 1.2).has_value());
  EXPECT_FALSE(badgeFor("BILLINGRESET", "cellular", 1.2).has_value());

  setBadge("WIFI_REM_PERCENT");  // another network's badge survives an unlimited render
  controller.appBadgeNumber = 7.0f;
  render(arrange("cellular", 1.0, 10), std::nullopt);
  EXPECT_EQ(controller.appBadgeNumber, 7.0f);
}

TEST_F(StatusTest, ARecordWithoutAPeriodHidesThePeriodLabelsAndChangesNothingElse) {
  AppData& data = arrange("cellular", 1.2, 15);
  NetworkStatus& s = render(data, 2.0f);
  const std::vector<std::string> before = s.detailValues;

  data.setNextBillingDate(std::nullopt);
  data.setDataThisMonth(0.1 * kGiB);
  render(data, 2.0f);

  EXPECT_TRUE(s.lblNextBillingDate.hidden);
  EXPECT_TRUE(s.lblCurrentPeriod.hidden);
  EXPECT_TRUE(s.lblDays.hidden);
  EXPECT_FALSE(s.lblMonthlyUsage.hidden);
  EXPECT_EQ(s.lblMonthlyUsage.text, "1.20");
  EXPECT_EQ(s.detailValues, before);

  data.setNextBillingDate(platform.at(2026, 1, 31));
  render(data, 2.0f);
  EXPECT_FALSE(s.lblCurrentPeriod.hidden);
  EXPECT_EQ(s.lblMonthlyUsage.text, "0.10");
}

// The detail list reads the texts the status and the counters computed.
TEST_F(StatusTest, DetailRowsShowTheScreensNetwork) {
  render(arrange("cellular", 1.2, 15), 2.0f);
  render(arrange("wifi", 0.5, 15), 2.0f);
  controller.wifi.detailValues[6] = "Berlin, Berlin";
  wifiData.setDataToday(0.25 * kGiB);
  wifiData.setDataAllTime(3 * kGiB);
  controller.renderStandardCountersForType(wifiData, 2.0f, std::nullopt);

  controller.isCellularMode = false;
  EXPECT_EQ(controller.detailValue(1), "0.5 GB less");
  EXPECT_EQ(controller.detailValue(2), "0.25 GB");
  EXPECT_EQ(controller.detailValue(7), "NO");
  EXPECT_EQ(controller.detailValue(9), "Berlin, Berlin");
  EXPECT_EQ(controller.detailValue(10), "0.38 GB");
  EXPECT_EQ(controller.detailValue(11), "0.12 GB");  // 0.125 rounds to even, as printf does
  EXPECT_EQ(controller.detailValue(12), "3.00 GB");

  controller.isCellularMode = true;
  EXPECT_EQ(controller.detailValue(1), "0.2 GB more");
  EXPECT_EQ(controller.detailValue(7), "YES ON 1/26/26");
  EXPECT_EQ(controller.detailValue(9), "");  // no place known
  EXPECT_EQ(controller.detailValue(12), "3.00 GB");
}

TEST_F(StatusTest, DetailCountersMarkAMissingTodayFigure) {
  AppData& data = arrange("cellular", 1.0, 15);
  data.setDataToday(-1);
  data.setDataSinceAppLastRun(0.5 * kGiB);
  controller.renderStandardCountersForType(data, std::nullopt, std::nullopt);

  EXPECT_EQ(controller.detailValue(2), "-- GB");
  EXPECT_EQ(controller.detailValue(3), "0.50 GB");
  EXPECT_EQ(controller.detailValue(6), "1/16/26");
  EXPECT_EQ(controller.detailValue(13), "0.00 GB");  // no figure since the last boot
}

TEST_F(StatusTest, DetailRowsWithoutALimitOrAPeriod) {
  AppData& data = arrange("cellular", 1.0, 15);
  render(data, std::nullopt);
  EXPECT_EQ(controller.detailValue(0), "--");
  EXPECT_EQ(controller.detailValue(1), "SAFE");
  EXPECT_EQ(controller.detailValue(7), "--");
  EXPECT_EQ(controller.detailValue(8), "--");

  // A refresh starts from empty lists; a record without a period writes none of its rows.
  controller.cellular.detailValues = std::vector<std::string>(9);
  data.setNextBillingDate(std::nullopt);
  render(data, 2.0f);
  for (int row : {0, 1, 4, 5, 7, 8, 10, 11}) EXPECT_EQ(controller.detailValue(row), "") << row;
}

// A view that counts redraws and may have a landscape screen stacked on it.
class FakeView final : public MainView {
 public:
  std::string layoutName() const override { return "CellularUsageView"; }
  void setNeedsDisplay() override { ++redraws; }
  void selectTab(int) override {}
  void setContentSize(int, int) override {}
  MainViewController* stackedLandscapeScreen() override { return stacked; }
  int redraws = 0;
  MainViewController* stacked = nullptr;
};

class RepaintTest : public StatusTest {
 protected:
  FakeView view;
  MainViewController screen{platform, ui, center, &view};
  MainViewController landscape{platform, ui, center};
};

TEST_F(RepaintTest, RedrawsFromTheStoreWithoutCountingTraffic) {
  platform.setNow(2026, 1, 15, 12, 0);
  testing::putRecord(platform, AppData::kWifiFileName,
                     {{"dataThisMonth", 1.5 * kGiB}, {"lastUpdate", platform.at(2026, 1, 15, 11)}});
  platform.setCounters("wlan0", 5 * kGiB, 0, InterfaceKind::Wifi);

  screen.isCellularMode = false;
  screen.repaintView(false);

  EXPECT_EQ(screen.titleLabel.text, "Wi-Fi");
  EXPECT_EQ(screen.wifi.lblMonthlyUsage.text, "1.50");
  EXPECT_EQ(screen.wifi.lblCurrentPeriod.text, "1/1/26 - 1/31/26");
  EXPECT_EQ(screen.wifi.lblDays.text, "17");
  EXPECT_EQ(screen.wifi.lblAvailable.text, "OF UNLIMITED");  // the default limit is 0
  EXPECT_FALSE(screen.wifi.lblMonthlyUsage.hidden);
  EXPECT_TRUE(screen.cellular.lblMonthlyUsage.hidden);
  EXPECT_TRUE(screen.cellular.visualView.hidden);
  EXPECT_EQ(testing::storedRecord(platform, AppData::kWifiFileName).at("dataThisMonth").number(),
            1.5 * kGiB);
  EXPECT_GE(view.redraws, 1);
}

TEST_F(RepaintTest, AStackedLandscapeScreenIsRepaintedOncePerAppearance) {
  view.stacked = &landscape;
  landscape.isCellularMode = true;
  screen.repaintView(true);
  EXPECT_EQ(screen.titleLabel.text, "CELLULAR");
  EXPECT_FALSE(screen.cellular.lblMonthlyUsage.hidden);
  EXPECT_TRUE(screen.wifi.lblMonthlyUsage.hidden);
  EXPECT_EQ(landscape.titleLabel.text, "CELLULAR");
  EXPECT_TRUE(screen.isLSViewUpdated);

  landscape.titleLabel.text = "";
  screen.repaintView(true);
  EXPECT_EQ(landscape.titleLabel.text, "");

  screen.isLSViewUpdated = false;  // the screen is about to appear again
  screen.repaintView(true);
  EXPECT_EQ(landscape.titleLabel.text, "CELLULAR");
}

class RatingTest : public StatusTest {
 protected:
  void SetUp() override {
    StatusTest::SetUp();
    platform.userDefaults().setObject("firstRun", PlistValue(platform.at(2026, 1, 1, 9, 0)));
  }
  // A fresh reader of the store's file, as another process would see it.
  bool storedAskedForRating() {
    UserDefaults reader(
        platform.files(), platform.documentPath(Platform::kDefaultsFileName),
        platform.documentPath(Platform::kLockFileName), [](std::string_view) {},
        [this] { return platform.now(); });
    return reader.boolForKey("askedForRating");
  }
};

TEST_F(RatingTest, OfferedOnceFromTheEleventhDay) {
  platform.setNow(2026, 1, 12, 8, 59, 59);  // 10 days and 23:59:59
  controller.solicitRating();
  EXPECT_TRUE(ui.shown.empty());
  EXPECT_FALSE(storedAskedForRating());

  platform.setNow(2026, 1, 12, 9, 0, 0);
  controller.solicitRating();
  ASSERT_EQ(ui.shown.size(), 1u);
  EXPECT_EQ(ui.latest().title, "Rate Kestrio");
  EXPECT_EQ(ui.latest().message,
            "If you enjoy using Kestrio, would you mind taking a moment to rate it with five "
            "stars? It won't take more than a minute. \n Thanks for your support!!");
  EXPECT_EQ(ui.latest().cancelButton, "No, Thanks");
  EXPECT_EQ(ui.latest().otherButtons, std::vector<std::string>{"Rate It!"});
  EXPECT_EQ(ui.shown.back().delegate, &controller);
  EXPECT_TRUE(storedAskedForRating());

  platform.setNow(2026, 3, 1);
  controller.solicitRating();
  EXPECT_EQ(ui.shown.size(), 1u);
}

TEST_F(RatingTest, NotOfferedWithoutAKnownFirstLaunch) {
  platform.userDefaults().removeObjectForKey("firstRun");
  platform.setNow(2027, 1, 1);
  controller.solicitRating();
  EXPECT_TRUE(ui.shown.empty());
  EXPECT_FALSE(storedAskedForRating());
}

}  // namespace
}  // namespace kestrio
