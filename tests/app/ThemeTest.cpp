#include <gtest/gtest.h>

#include <vector>

#include "app/Theme.h"
#include "engine/AppSettings.h"
#include "engine/UsageVisualView.h"
#include "services/NotificationCenter.h"
#include "support/FakePlatform.h"

namespace kestrio {
namespace {

using testing::FakePlatform;

// --- The colour band chosen by the thresholds ---

TEST(ColourLetterTest, AverageTurnsYellowOnlyAboveTheIdealLine) {
  EXPECT_EQ(UsageVisualView::colourLetter(40, 40, "AVG", "USE100"), "G");
  EXPECT_EQ(UsageVisualView::colourLetter(40.01f, 40, "AVG", "USE100"), "Y");
  EXPECT_EQ(UsageVisualView::colourLetter(39.9f, 40, "AVG", "USE100"), "G");
}

TEST(ColourLetterTest, FixedYellowThresholdsAreStrict) {
  EXPECT_EQ(UsageVisualView::colourLetter(80, 0, "USE80", "USE100"), "G");
  EXPECT_EQ(UsageVisualView::colourLetter(80.5f, 0, "USE80", "USE100"), "Y");
  EXPECT_EQ(UsageVisualView::colourLetter(90, 0, "USE90", "USE100"), "G");
  EXPECT_EQ(UsageVisualView::colourLetter(90.5f, 0, "USE90", "USE100"), "Y");
  // The ideal line plays no part in a fixed threshold.
  EXPECT_EQ(UsageVisualView::colourLetter(85, 10, "USE90", "USE100"), "G");
}

TEST(ColourLetterTest, RedWinsWhateverTheYellowSettingSays) {
  for (const char* yellow : {"AVG", "USE80", "USE90", "USE95", "", "unknown"}) {
    EXPECT_EQ(UsageVisualView::colourLetter(96, 99, yellow, "USE95"), "R") << yellow;
  }
  EXPECT_EQ(UsageVisualView::colourLetter(95, 0, "USE90", "USE95"), "Y");
}

TEST(ColourLetterTest, RedAtFullQuotaIsStrict) {
  EXPECT_EQ(UsageVisualView::colourLetter(100, 0, "USE90", "USE100"), "Y");
  EXPECT_EQ(UsageVisualView::colourLetter(101, 0, "USE90", "USE100"), "R");
}

TEST(ColourLetterTest, UnknownSettingsNeverColourTheBar) {
  // "USE95" and "USE100" are not yellow settings; unknown red settings never turn red.
  EXPECT_EQ(UsageVisualView::colourLetter(99, 0, "USE95", "USE100"), "G");
  EXPECT_EQ(UsageVisualView::colourLetter(500, 0, "USE100", ""), "G");
  EXPECT_EQ(UsageVisualView::colourLetter(500, 0, "USE80", "AVG"), "Y");
}

// --- Named colours ---

// Each named colour against its n/255 value, so a mistyped digit shows.
TEST(KestrioColorsTest, NamedColoursMatchTheirByteValues) {
  struct Case {
    const char* name;
    Rgba color;
    int red, green, blue;
  };
  const std::vector<Case> cases = {
      {"progressColor1", KestrioColors::progressColor1(), 62, 242, 140},
      {"progressColor2", KestrioColors::progressColor2(), 255, 227, 71},
      {"progressColor3", KestrioColors::progressColor3(), 231, 62, 62},
      {"appTintColor", KestrioColors::appTintColor(), 120, 200, 228},
      {"appNavBarColor", KestrioColors::appNavBarColor(), 32, 106, 136},
      {"appBlockBackgroundColor", KestrioColors::appBlockBackgroundColor(), 68, 75, 82},
      {"appBackgroundColor", KestrioColors::appBackgroundColor(), 50, 55, 60},
      {"appSubheaderColor", KestrioColors::appSubheaderColor(), 192, 194, 197},
  };
  for (const auto& c : cases) {
    EXPECT_FLOAT_EQ(c.color.red, static_cast<float>(c.red) / 255) << c.name;
    EXPECT_FLOAT_EQ(c.color.green, static_cast<float>(c.green) / 255) << c.name;
    EXPECT_FLOAT_EQ(c.color.blue, static_cast<float>(c.blue) / 255) << c.name;
    EXPECT_EQ(c.color.alpha, 1.0f) << c.name;
  }
}

TEST(KestrioColorsTest, ProgressColoursReadTheStoredLetterOnEveryCall) {
  FakePlatform platform;
  UserDefaults& store = platform.userDefaults();
  EXPECT_EQ(KestrioColors::cellularProgressColor(platform), KestrioColors::progressColor1());

  store.setString(UsageVisualView::kCellularColorKey, "Y");
  EXPECT_EQ(KestrioColors::cellularProgressColor(platform), KestrioColors::progressColor2());
  store.setString(UsageVisualView::kCellularColorKey, "R");
  EXPECT_EQ(KestrioColors::cellularProgressColor(platform), KestrioColors::progressColor3());
  // Each network has its own letter.
  EXPECT_EQ(KestrioColors::wifiProgressColor(platform), KestrioColors::progressColor1());
  store.setString(UsageVisualView::kWifiColorKey, "Y");
  EXPECT_EQ(KestrioColors::wifiProgressColor(platform), KestrioColors::progressColor2());
  EXPECT_EQ(KestrioColors::cellularProgressColor(platform), KestrioColors::progressColor3());
}

TEST(KestrioColorsTest, AnUnknownStoredLetterIsGreen) {
  FakePlatform platform;
  UserDefaults& store = platform.userDefaults();
  store.setString(UsageVisualView::kCellularColorKey, "y");
  store.setObject(UsageVisualView::kWifiColorKey, PlistValue(3));
  EXPECT_EQ(KestrioColors::cellularProgressColor(platform), KestrioColors::progressColor1());
  EXPECT_EQ(KestrioColors::wifiProgressColor(platform), KestrioColors::progressColor1());
}

// --- What settling a gauge's band stores and announces ---

class GaugeBandTest : public ::testing::Test {
 protected:
  GaugeBandTest() {
    AppSettings(platform).getSettings();
    platform.userDefaults().setString(AppSettings::kProgressYellow, "USE80");
    platform.userDefaults().setString(AppSettings::kProgressRed, "USE100");
    center.addObserver(kProgressBarMileStoneNotification,
                       [this](const NotificationCenter::UserInfo& info) { posts.push_back(info); });
  }

  Rgba draw(float used, int dataType = 1) {
    UsageGauge gauge;
    gauge.currentUsagePercent = used;
    gauge.idealUsagePercent = 50;
    gauge.dataType = dataType;
    AppSettings settings(platform);
    settings.getSettings();
    return KestrioColors::progressColorForLetter(
        UsageVisualView::settleBand(platform, center, settings, gauge));
  }

  // The store as another process reads it from its file.
  std::optional<std::string> storedOnDisk(const char* key) {
    UserDefaults other(
        platform.files(), platform.documentPath(Platform::kDefaultsFileName),
        platform.documentPath(Platform::kLockFileName), [](std::string_view) {},
        [this] { return platform.now(); });
    return other.stringForKey(key);
  }

  FakePlatform platform;
  NotificationCenter center;
  std::vector<NotificationCenter::UserInfo> posts;
};

TEST_F(GaugeBandTest, TheFirstSettlingAnnouncesItsBand) {
  EXPECT_EQ(draw(10), KestrioColors::progressColor1());
  ASSERT_EQ(posts.size(), 1u);
  EXPECT_EQ(posts[0], (NotificationCenter::UserInfo{{"dataType", 1}}));
}

TEST_F(GaugeBandTest, OneAnnouncementPerChangeOfBand) {
  draw(10);
  draw(20);
  EXPECT_EQ(posts.size(), 1u);
  EXPECT_EQ(draw(85), KestrioColors::progressColor2());
  EXPECT_EQ(posts.size(), 2u);
  draw(86);
  EXPECT_EQ(posts.size(), 2u);
  EXPECT_EQ(draw(101), KestrioColors::progressColor3());
  EXPECT_EQ(posts.size(), 3u);
  EXPECT_EQ(draw(5), KestrioColors::progressColor1());
  EXPECT_EQ(posts.size(), 4u);
}

TEST_F(GaugeBandTest, TheLetterIsWrittenToDiskAtOnce) {
  draw(85);
  EXPECT_EQ(storedOnDisk(UsageVisualView::kCellularColorKey), "Y");
  EXPECT_EQ(KestrioColors::cellularProgressColor(platform), KestrioColors::progressColor2());
}

TEST_F(GaugeBandTest, TheWifiGaugeKeepsItsOwnLetter) {
  draw(85, 1);
  posts.clear();
  EXPECT_EQ(draw(10, 2), KestrioColors::progressColor1());
  ASSERT_EQ(posts.size(), 1u);
  EXPECT_EQ(posts[0].at("dataType"), 2);
  EXPECT_EQ(platform.userDefaults().stringForKey(UsageVisualView::kWifiColorKey), "G");
  EXPECT_EQ(platform.userDefaults().stringForKey(UsageVisualView::kCellularColorKey), "Y");
}

TEST_F(GaugeBandTest, AStoredUnknownLetterCountsAsAChange) {
  platform.userDefaults().setString(UsageVisualView::kCellularColorKey, "Q");
  draw(10);
  EXPECT_EQ(posts.size(), 1u);
  EXPECT_EQ(platform.userDefaults().stringForKey(UsageVisualView::kCellularColorKey), "G");
}

TEST_F(GaugeBandTest, TheBandFollowsChangedThresholds) {
  EXPECT_EQ(draw(96), KestrioColors::progressColor2());
  platform.userDefaults().setString(AppSettings::kProgressRed, "USE95");
  EXPECT_EQ(draw(96), KestrioColors::progressColor3());
  EXPECT_EQ(posts.size(), 2u);
}

}  // namespace
}  // namespace kestrio
