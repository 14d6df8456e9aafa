#include <gtest/gtest.h>

#include <algorithm>

#include "history/HistoryChartViewController.h"
#include "services/StringFormatter.h"
#include "support/FakePlatform.h"
#include "support/RecordingUi.h"

namespace kestrio {
namespace {

using testing::FakePlatform;
using testing::RecordingUi;

constexpr double kMB = 1048576;

class Chart : public ::testing::Test {
 protected:
  // `count` day records of one network; record i holds (i + 1) MB.
  std::vector<History> days(int count) {
    std::vector<History> records;
    for (int i = 0; i < count; ++i) {
      records.emplace_back(platform, platform.at(2026, 1, i + 1), platform.at(2026, 1, i + 2), 0, 0,
                           (i + 1) * kMB, 1, 2);
    }
    return records;
  }
  HistoryChartViewController chart(std::vector<History> records, const std::string& unit,
                                   bool daily = true, bool tablet = false) {
    HistoryChartViewController c(platform, ui, std::move(records), unit, daily, "title", tablet);
    c.viewDidLoad();
    return c;
  }
  std::string dayMonth(int month, int day) {
    return StringFormatter::getLocalizedShortDateMonthFromDate(platform,
                                                               platform.at(2026, month, day));
  }

  FakePlatform platform;
  RecordingUi ui;
};

TEST_F(Chart, NoRecordsShowOnlyTheNoDataLabel) {
  auto c = chart({}, "MB");
  EXPECT_FALSE(c.hasChartData());
  EXPECT_EQ(c.numberOfRecordsForPlot(), 0);
  EXPECT_STREQ(HistoryChartViewController::kNoDataText, "No Chart Data Available");
  EXPECT_TRUE(c.layout().xLabels.empty());
}

TEST_F(Chart, OneRecordStandsAtOneWithItsLabelUnderIt) {
  auto c = chart(days(1), "MB");
  const ChartLayout& l = c.layout();
  EXPECT_EQ(l.xRangeLocation, 0);
  EXPECT_EQ(l.xRangeLength, 2);
  EXPECT_FLOAT_EQ(static_cast<float>(l.yRangeLength), 1.25f);
  EXPECT_EQ(c.numberForPlot(0, 0) + l.barOffset, 1.0);
  EXPECT_EQ(c.numberForPlot(1, 0), 1.0);
  ASSERT_EQ(l.xLabels.size(), 1u);
  EXPECT_EQ(l.xLabels[0].tickLocation, 1.0f);
  EXPECT_EQ(l.xLabels[0].text, dayMonth(1, 2));  // a day is named by its end
  EXPECT_EQ(l.xLabels[0].offset, l.xLabelOffset + l.xMajorTickLength);
  EXPECT_EQ(l.xTitle, "title");
  EXPECT_EQ(l.xTitleLocation, 0.5);
  EXPECT_EQ(l.plotRangeLocation, -0.5);
  EXPECT_EQ(l.plotRangeLength, 1);
}

// Handed over newest first, as the history lists them, the bars still read left to right in
// time, each label under its own bar.
TEST_F(Chart, BarsStandInTimeOrderEachWithItsLabelUnderIt) {
  auto records = days(4);
  std::reverse(records.begin(), records.end());
  auto c = chart(records, "MB");
  std::vector<float> ticks;
  std::vector<std::string> texts;
  for (const auto& label : c.layout().xLabels) {
    ticks.push_back(label.tickLocation);
    texts.push_back(label.text);
  }
  EXPECT_EQ(ticks, (std::vector<float>{1, 2, 3, 4}));
  EXPECT_EQ(texts, (std::vector<std::string>{dayMonth(1, 2), dayMonth(1, 3), dayMonth(1, 4),
                                             dayMonth(1, 5)}));
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(c.numberForPlot(0, i) + c.layout().barOffset, ticks[static_cast<std::size_t>(i)]);
  }
  EXPECT_EQ(c.numberForPlot(0, 3), 3.0);
  EXPECT_FLOAT_EQ(static_cast<float>(c.layout().yRangeLength), 5.0f);
}

TEST_F(Chart, AllTotalsZeroGiveAnEmptyYRange) {
  auto records = days(3);
  for (auto& r : records) r.setDataTotal(0.0);
  records[1].setDataTotal(std::nullopt);
  EXPECT_EQ(chart(records, "MB").layout().yRangeLength, 0);
}

TEST_F(Chart, BillingLabelsNameBothDatesAndTheNetworkOnASecondLine) {
  std::vector<History> periods{
      History(platform, platform.at(2026, 1, 5), platform.at(2026, 2, 4), 0, 0, 0, 1, 1),
      History(platform, platform.at(2026, 1, 5), platform.at(2026, 2, 4), 0, 0, 0, 2, 1)};
  auto c = chart(periods, "MB", false, true);
  const std::string dates = dayMonth(1, 5) + "-" + dayMonth(2, 4);
  EXPECT_EQ(c.layout().xLabels[0].text, dates + "\n   (Cellular)");
  EXPECT_EQ(c.layout().xLabels[1].text, dates + "\n    (WiFi)");
  EXPECT_EQ(c.layout().xLabels[0].fontSize, 14);
  EXPECT_EQ(c.layout().xLabels[0].rotation, 0);
}

struct LabelCase {
  const char* name;
  int count;
  const char* unit;
  bool daily;
  bool tablet;
  bool rotated;
  float paddingLeft;
  std::optional<std::string> firstValue;  // nothing: no value above the bars
  float valueFontSize;
};

void PrintTo(const LabelCase& c, std::ostream* os) {
  *os << c.name;
}

class ChartLabels : public Chart, public ::testing::WithParamInterface<LabelCase> {};

TEST_P(ChartLabels, FollowTheCountTheUnitAndTheIdiom) {
  const LabelCase& p = GetParam();
  auto c = chart(days(p.count), p.unit, p.daily, p.tablet);
  EXPECT_EQ(c.layout().paddingLeft, p.paddingLeft);
  EXPECT_EQ(c.layout().xLabels.back().rotation, p.rotated ? 1.5707964f : 0.0f);
  EXPECT_EQ(c.layout().xLabels.back().fontSize, p.tablet ? 14 : 10);
  auto label = c.dataLabelForPlot(0);
  ASSERT_EQ(label.has_value(), p.firstValue.has_value());
  if (label) {
    EXPECT_EQ(label->text, *p.firstValue);
    EXPECT_EQ(label->fontSize, p.valueFontSize);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ChartLabels,
    ::testing::Values(
        LabelCase{"SixDays", 6, "MB", true, false, false, 60, "1.0 MB", 12},
        LabelCase{"SevenDaysRotate", 7, "MB", true, false, true, 60, "1.0 MB", 12},
        LabelCase{"SevenPeriodsDoNot", 7, "MB", false, false, false, 60, "1.0 MB", 12},
        LabelCase{"TenWithUnit", 10, "MB", true, false, true, 60, "1.0 MB", 12},
        LabelCase{"ElevenWithoutUnit", 11, "MB", true, false, true, 60, "1.0", 10},
        LabelCase{"TwentyOneWhole", 21, "MB", true, false, true, 60, "1", 8},
        LabelCase{"KilobytesOnAPhone", 3, "KB", true, false, false, 90, std::nullopt, 0},
        LabelCase{"KilobytesOnATablet", 3, "KB", true, true, false, 90, "1024.0 KB", 12},
        LabelCase{"ManyGigabytesOnAPhone", 21, "GB", true, false, true, 60, std::nullopt, 0},
        LabelCase{"TwentyGigabytesOnAPhone", 20, "GB", true, false, true, 60, "0.0", 10},
        LabelCase{"ManyGigabytesOnATablet", 21, "GB", true, true, true, 60, "0", 8}),
    [](const auto& c) { return std::string(c.param.name); });

TEST_F(Chart, PortraitClosesTheChartOtherOrientationsDoNot) {
  auto c = chart(days(2), "MB");
  for (auto o :
       {DeviceOrientation::LandscapeLeft, DeviceOrientation::LandscapeRight,
        DeviceOrientation::FaceUp, DeviceOrientation::FaceDown, DeviceOrientation::Unknown}) {
    c.deviceOrientationDidChange(o);
  }
  EXPECT_TRUE(ui.dismissed.empty());
  c.deviceOrientationDidChange(DeviceOrientation::PortraitUpsideDown);
  ASSERT_EQ(ui.dismissed.size(), 1u);
  EXPECT_EQ(ui.dismissed[0], &c);
}

TEST_F(Chart, LayoutFollowsTheIdiomAndThePhoneHeight) {
  EXPECT_EQ(HistoryChartViewController::layoutNameFor(true, 568), "HistoryChartView-iPad");
  EXPECT_EQ(HistoryChartViewController::layoutNameFor(false, 568), "HistoryChartView5");
  EXPECT_EQ(HistoryChartViewController::layoutNameFor(false, 480), "HistoryChartView");
}

}  // namespace
}  // namespace kestrio
