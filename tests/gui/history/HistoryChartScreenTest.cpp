#include <gtest/gtest.h>
#include <qcustomplot.h>

#include <QTest>
#include <memory>
#include <vector>

#include "engine/History.h"
#include "gui/QtApp.h"
#include "gui/history/HistoryChartScreen.h"
#include "history/HistoryChartViewController.h"
#include "support/CaseNames.h"
#include "support/FakePlatform.h"
#include "support/RecordingUi.h"

// The chart's labels on the screen: each under its own bar, never one over another, however many
// bars and however narrow the window.
namespace kestrio::gui {
namespace {

using kestrio::testing::FakePlatform;

struct LabelCase {
  const char* name;
  int bars;
  int width;
};

class ChartLabelsTest : public ::testing::TestWithParam<LabelCase> {
 protected:
  ChartLabelsTest() { kestrio::testing::qtApp(); }
  FakePlatform platform;
  kestrio::testing::RecordingUi ui;
};

TEST_P(ChartLabelsTest, EachShownLabelIsUnderItsBarAndNoneOverlap) {
  const LabelCase& c = GetParam();
  // Day records handed over newest first, as the history lists them.
  std::vector<History> days;
  for (int i = c.bars - 1; i >= 0; --i) {
    days.emplace_back(platform, platform.at(2026, 1, 1 + i, 23, 50), platform.at(2026, 1, 2 + i), 0,
                      0, (100.0 + 37 * (i % 5)) * 1048576, 1, 2);
  }
  auto controller = std::make_shared<HistoryChartViewController>(platform, ui, days, "MB", true,
                                                                 "Daily Usage", false);
  controller->viewDidLoad();
  HistoryChartScreen screen(controller);
  screen.resize(c.width, 600);
  screen.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&screen));
  screen.grab().save(kestrio::testing::screenshotDirectory() + "/chart-" + c.name + ".png");

  const auto& shown = screen.shownLabels();
  ASSERT_FALSE(shown.isEmpty());
  // The newest day always has its label.
  EXPECT_EQ(shown.back().bar, c.bars - 1);
  for (int i = 0; i < shown.size(); ++i) {
    const auto [left, right] = screen.barSpan(shown[i].bar);
    const double centre = shown[i].rect.center().x();
    EXPECT_GE(centre, left) << "label of bar " << shown[i].bar;
    EXPECT_LE(centre, right) << "label of bar " << shown[i].bar;
    if (i > 0) {
      EXPECT_FALSE(shown[i].rect.intersects(shown[i - 1].rect))
          << "labels of bars " << shown[i - 1].bar << " and " << shown[i].bar;
    }
  }
  // Thinned only as far as needed: twice as many would overlap.
  if (shown.size() < c.bars) {
    const double pitch = screen.barSpan(1).first - screen.barSpan(0).first;
    const int step = shown.size() > 1 ? shown[1].bar - shown[0].bar : c.bars;
    EXPECT_GT(shown[0].rect.width() + 4, (step - 1) * pitch);
  }
  EXPECT_EQ(screen.plot()->yAxis->label(), "MB");
  // The figures over the bars, where shown, fit between their neighbours.
  const double pitch = c.bars > 1 ? screen.barSpan(1).first - screen.barSpan(0).first : c.width;
  for (int i = 0; i < screen.plot()->itemCount(); ++i) {
    auto* text = qobject_cast<QCPItemText*>(screen.plot()->item(i));
    if (!text || !text->visible()) continue;
    EXPECT_LE(QFontMetricsF(text->font()).horizontalAdvance(text->text()), pitch)
        << text->text().toStdString();
  }
}

INSTANTIATE_TEST_SUITE_P(
    Bars, ChartLabelsTest,
    ::testing::Values(LabelCase{"one_at_360", 1, 360}, LabelCase{"one_at_1280", 1, 1280},
                      LabelCase{"week_at_360", 7, 360}, LabelCase{"week_at_1280", 7, 1280},
                      LabelCase{"nineteen_at_360", 19, 360},
                      LabelCase{"nineteen_at_1280", 19, 1280}, LabelCase{"sixty_at_360", 60, 360},
                      LabelCase{"sixty_at_1280", 60, 1280}),
    kestrio::testing::NameField());

}  // namespace
}  // namespace kestrio::gui
