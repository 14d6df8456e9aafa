#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <QWidget>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <string>
#include <vector>

#include "app/Theme.h"
#include "engine/AppSettings.h"
#include "engine/UsageVisualView.h"
#include "gui/QtApp.h"
#include "gui/theme/Icons.h"
#include "gui/theme/ThemeStyle.h"
#include "gui/usage/UsageGaugeWidget.h"
#include "services/NotificationCenter.h"
#include "support/FakePlatform.h"

namespace kestrio::gui {
namespace {

using kestrio::testing::FakePlatform;

// 302 × 46 leaves an inner rectangle of 300 × 44 at (1, 1): one percent is three pixels.
constexpr int kWidth = 302;
constexpr int kHeight = 46;
// Rows above the usage text, where only the bar and the marker are drawn.
constexpr int kBarRow = 3;

QRgb rgb(const Rgba& colour) {
  return toQColor(colour).rgb();
}

// A gauge as the usage screen's controller gives it, its band decided by the rules the fixture
// stores (yellow above the ideal share, red above the quota).
UsageGauge gauge(float current, float ideal, const std::string& text = "", int dataType = 1) {
  UsageGauge g;
  g.currentUsagePercent = current;
  g.idealUsagePercent = ideal;
  g.usageText = text;
  g.dataType = dataType;
  g.colourLetter = UsageVisualView::colourLetter(current, ideal, "AVG", "USE100");
  return g;
}

class UsageGaugeWidgetTest : public ::testing::Test {
 protected:
  UsageGaugeWidgetTest() {
    AppSettings(platform).getSettings();
    platform.userDefaults().setString(AppSettings::kProgressYellow, "AVG");
    platform.userDefaults().setString(AppSettings::kProgressRed, "USE100");
    center.addObserver(
        kProgressBarMileStoneNotification, [this](const NotificationCenter::UserInfo& info) {
          milestones.push_back(NotificationCenter::integer(info, "dataType").value_or(-1));
        });
    widget.resize(kWidth, kHeight);
  }

  QImage draw(const UsageGauge& g) {
    widget.setGauge(g);
    return widget.grab().toImage().convertToFormat(QImage::Format_RGB32);
  }

  static QRgb at(const QImage& image, int x, int y) { return image.pixel(x, y) & 0xffffffu; }

  const QRgb grey = rgb(KestrioColors::progressBarBackgroundColor()) & 0xffffffu;
  const QRgb green = rgb(KestrioColors::progressColor1()) & 0xffffffu;
  const QRgb yellow = rgb(KestrioColors::progressColor2()) & 0xffffffu;
  const QRgb red = rgb(KestrioColors::progressColor3()) & 0xffffffu;
  const QRgb white = 0xffffffu;

  // The application object exists before the widget below is constructed.
  QApplication& app = kestrio::testing::qtApp();
  FakePlatform platform;
  NotificationCenter center;
  std::vector<int> milestones;
  UsageGaugeWidget widget;
};

TEST_F(UsageGaugeWidgetTest, FillsTheUsageShareOfTheInnerRectangle) {
  const QImage image = draw(gauge(50, 80));
  ASSERT_EQ(image.size(), QSize(kWidth, kHeight));
  for (int y : {kBarRow, kHeight / 2 + 12}) {
    // The clip is as wide as the share plus the inset: pixels 1 to 151 are filled.
    EXPECT_EQ(at(image, 1, y), green) << y;
    EXPECT_EQ(at(image, 151, y), green) << y;
    EXPECT_EQ(at(image, 152, y), grey) << y;
    EXPECT_EQ(at(image, 0, y), grey) << "the border stays background";
  }
  EXPECT_EQ(at(image, 60, 0), grey) << "top border";
  EXPECT_EQ(at(image, 60, kHeight - 1), grey) << "bottom border";
}

TEST_F(UsageGaugeWidgetTest, AnEmptyBarShowsOnlyTheInsetSliver) {
  const QImage image = draw(gauge(0, 80));
  EXPECT_EQ(at(image, 1, kBarRow), green);
  EXPECT_EQ(at(image, 2, kBarRow), grey);
}

TEST_F(UsageGaugeWidgetTest, UsageAboveTheQuotaFillsTheBarButNotItsBorder) {
  const QImage image = draw(gauge(150, 50));
  EXPECT_EQ(at(image, 1, kBarRow), red);
  EXPECT_EQ(at(image, kWidth - 2, kBarRow), red) << "the last column of the inner rectangle";
  EXPECT_EQ(at(image, kWidth - 1, kBarRow), grey) << "the right border";
  EXPECT_EQ(at(image, kWidth - 10, 0), grey) << "nothing above the inner rectangle";
}

// The white rows of one column, top to bottom, as (first row, length) runs.
std::vector<std::pair<int, int>> whiteRuns(const QImage& image, int x) {
  std::vector<std::pair<int, int>> runs;
  for (int y = 0; y < image.height(); ++y) {
    if ((image.pixel(x, y) & 0xffffffu) != 0xffffffu) continue;
    if (!runs.empty() && runs.back().first + runs.back().second == y) {
      ++runs.back().second;
    } else {
      runs.emplace_back(y, 1);
    }
  }
  return runs;
}

TEST_F(UsageGaugeWidgetTest, TheIdealMarkerIsADashedWhiteLineAtTheIdealShare) {
  // At 50 % the marker stands at 1 + 150; no usage text, so the whole column can be read.
  const QImage image = draw(gauge(20, 50));
  const auto runs = whiteRuns(image, 151);
  // Three on, four off, begun two rows into the pattern at the inner top (row 1), and ended
  // at row 44, the inner height.
  const std::vector<std::pair<int, int>> dashes = {{1, 1},  {6, 3},  {13, 3}, {20, 3},
                                                   {27, 3}, {34, 3}, {41, 3}};
  EXPECT_EQ(runs, dashes);
  EXPECT_TRUE(whiteRuns(image, 150).empty());
  EXPECT_TRUE(whiteRuns(image, 152).empty());
}

TEST_F(UsageGaugeWidgetTest, TheMarkerRunsFromTheStartToTheEndOfTheQuota) {
  EXPECT_FALSE(whiteRuns(draw(gauge(0, 0)), 1).empty()) << "0 % stands at the inner left edge";
  EXPECT_FALSE(whiteRuns(draw(gauge(0, 100)), kWidth - 1).empty())
      << "100 % stands at the inner right edge, which is the border column";
  const QImage quarter = draw(gauge(0, 25));
  EXPECT_FALSE(whiteRuns(quarter, 76).empty());
  EXPECT_TRUE(whiteRuns(quarter, 75).empty());
  EXPECT_TRUE(whiteRuns(quarter, 77).empty());
}

TEST_F(UsageGaugeWidgetTest, ANumberThatIsNotAShareDrawsAnEmptyBar) {
  const QImage image =
      draw(gauge(std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity()));
  EXPECT_EQ(at(image, 10, kBarRow), grey);
  EXPECT_EQ(at(image, 200, kBarRow), grey);
  EXPECT_FALSE(whiteRuns(image, 1).empty()) << "an unknown ideal share marks the start";
  for (int x = 2; x < kWidth; ++x) ASSERT_TRUE(whiteRuns(image, x).empty()) << x;
}

TEST_F(UsageGaugeWidgetTest, EachBandPaintsItsColour) {
  struct Case {
    const char* band;
    float current, ideal;
    QRgb colour;
    const char* text;
  };
  const std::vector<Case> cases = {
      {"green", 30, 50, green, "1.2 GB / 4 GB"},
      {"yellow", 60, 50, yellow, "2.4 GB / 4 GB"},
      {"red", 120, 50, red, "4.8 GB / 4 GB"},
  };
  for (const Case& c : cases) {
    const QImage image = draw(gauge(c.current, c.ideal, c.text));
    EXPECT_EQ(at(image, 20, kBarRow), c.colour) << c.band;
    ASSERT_TRUE(image.save(kestrio::testing::screenshotDirectory() +
                           QStringLiteral("/gauge-%1.png").arg(c.band)));
  }
}

TEST_F(UsageGaugeWidgetTest, TheUsageTextIsDrawnInWhiteRightOfThirtyPercent) {
  const QImage blank = draw(gauge(10, 5));
  const QImage text = draw(gauge(10, 5, "1.2 GB"));
  auto whiteIn = [](const QImage& image, int left, int right, int top, int bottom) {
    int count = 0;
    for (int y = top; y < bottom; ++y) {
      for (int x = left; x < right; ++x) count += (image.pixel(x, y) & 0xffffffu) == 0xffffffu;
    }
    return count;
  };
  // The text starts at 1 + 90 and sits on the baseline at (44 + 20) / 2 = 32.
  EXPECT_EQ(whiteIn(blank, 80, kWidth - 1, 1, kHeight - 1), 0);
  EXPECT_GT(whiteIn(text, 91, kWidth - 1, 10, 33), 20);
  EXPECT_EQ(whiteIn(text, 40, 90, 1, kHeight - 1), 0) << "nothing left of the text's start";
  // Digits and capitals stand on the baseline: the lowest white row is just above it.
  int lowest = -1;
  for (int y = 1; y < kHeight - 1; ++y) {
    if (whiteIn(text, 91, kWidth - 1, y, y + 1) > 0) lowest = y;
  }
  EXPECT_GE(lowest, 30);
  EXPECT_LE(lowest, 32);
}

// The white usage text is edged in a dark colour: against that edge it has the contrast normal
// text needs, and on every fill no white pixel touches the fill itself.
TEST_F(UsageGaugeWidgetTest, TheUsageTextIsLegibleOnEveryFill) {
  const QColor edge = UsageGaugeWidget::textOutlineColor();
  EXPECT_GE(contrastRatio(QColor(Qt::white), edge), 4.5);
  // Without the edge, white on the green and yellow fills is below it.
  EXPECT_LT(contrastRatio(QColor(Qt::white), QColor(green)), 4.5);
  EXPECT_LT(contrastRatio(QColor(Qt::white), QColor(yellow)), 4.5);

  // Below the ideal green, above it yellow, above the quota red (the AVG and USE100 rules).
  struct Case {
    float current;
    float ideal;
    QRgb fill;
  };
  for (const Case& c :
       {Case{99.0f, 99.5f, green}, Case{99.0f, 10.0f, yellow}, Case{120.0f, 10.0f, red}}) {
    const QImage image = draw(gauge(c.current, c.ideal, "999.99 MB"));
    const QRgb fill = c.fill;
    // The dashed ideal marker is white on the fill by design; only the text counts here.
    const int marker = 1 + static_cast<int>(300 * c.ideal / 100);
    int whites = 0;
    int touching = 0;
    for (int y = 2; y < kHeight - 2; ++y) {
      for (int x = 2; x < kWidth - 2; ++x) {
        if (std::abs(x - marker) <= 2 || at(image, x, y) != white) continue;
        ++whites;
        for (int dy = -1; dy <= 1; ++dy) {
          for (int dx = -1; dx <= 1; ++dx) touching += at(image, x + dx, y + dy) == fill;
        }
      }
    }
    EXPECT_GT(whites, 20) << std::hex << fill;
    EXPECT_EQ(touching, 0) << std::hex << fill;
  }
}

// Painting only paints: the band's letter comes with the gauge, so no paint reads the settings,
// stores a letter or announces a change of band, whatever the figures do.
TEST_F(UsageGaugeWidgetTest, PaintingAcrossBandsStoresAndAnnouncesNothing) {
  const int writes = platform.fakeFiles().writeCount();
  const int locks = platform.fakeFiles().locksTaken();
  for (int i = 0; i < 100; ++i) {
    const QImage image = draw(gauge(i % 2 ? 120 : 30, 50, "", i % 3 ? 1 : 2));
    ASSERT_EQ(at(image, 20, kBarRow), i % 2 ? red : green) << i;
  }
  EXPECT_TRUE(milestones.empty());
  EXPECT_FALSE(platform.userDefaults().stringForKey(UsageVisualView::kCellularColorKey));
  EXPECT_FALSE(platform.userDefaults().stringForKey(UsageVisualView::kWifiColorKey));
  EXPECT_EQ(platform.fakeFiles().writeCount(), writes);
  EXPECT_EQ(platform.fakeFiles().locksTaken(), locks);
}

// --- Icons ---

int paintedPixels(const QImage& image) {
  int count = 0;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) count += qAlpha(image.pixel(x, y)) > 0;
  }
  return count;
}

int pixelsOfColour(const QImage& image, QRgb colour) {
  int count = 0;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      count += (image.pixel(x, y) | 0xff000000u) == (colour | 0xff000000u) &&
               qAlpha(image.pixel(x, y)) == 255;
    }
  }
  return count;
}

class IconsTest : public ::testing::Test {
 protected:
  IconsTest() { kestrio::testing::qtApp(); }
};

TEST_F(IconsTest, EveryIconDrawsSomethingAtSmallAndLargeSizes) {
  const std::vector<std::pair<const char*, QIcon>> all = {
      {"cellular", icons::cellular()},
      {"wifi", icons::wifi()},
      {"edit", icons::edit()},
      {"counters", icons::counters()},
      {"history", icons::history()},
      {"settings", icons::settings()},
      {"application", icons::application()},
      {"ok", icons::status("ok.png")},
      {"caution", icons::status("caution.png")},
      {"danger", icons::status("danger.png")},
  };
  QImage sheet(64 * static_cast<int>(all.size()), 64, QImage::Format_ARGB32);
  sheet.fill(toQColor(KestrioColors::appBackgroundColor()));
  QPainter painter(&sheet);
  int column = 0;
  for (const auto& [name, icon] : all) {
    ASSERT_FALSE(icon.isNull()) << name;
    for (int side : {16, 64}) {
      const QImage image = icon.pixmap(side, side).toImage();
      ASSERT_EQ(image.size(), QSize(side, side)) << name;
      const int painted = paintedPixels(image);
      // Something is drawn, and not merely a filled square.
      EXPECT_GT(painted, side * side / 20) << name << " at " << side;
      EXPECT_LT(painted, side * side) << name << " at " << side;
    }
    icon.paint(&painter, QRect(64 * column++, 0, 64, 64));
  }
  painter.end();
  ASSERT_TRUE(sheet.save(kestrio::testing::screenshotDirectory() + "/icons.png"));
}

TEST_F(IconsTest, LargeIconsAreDrawnAtTheirSizeNotScaledUp) {
  // A scaled-up 16 px picture has its edges in steps of four; a drawn one has fine edges, so a
  // 64 px rendering has more distinct partly covered pixels than a 16 px one.
  const QImage small = icons::wifi().pixmap(16, 16).toImage();
  const QImage large = icons::wifi().pixmap(64, 64).toImage();
  EXPECT_GT(paintedPixels(large), paintedPixels(small) * 8);
}

TEST_F(IconsTest, StatusIconsCarryTheirBandColour) {
  const QRgb green = toQColor(KestrioColors::progressColor1()).rgb();
  const QRgb yellow = toQColor(KestrioColors::progressColor2()).rgb();
  const QRgb red = toQColor(KestrioColors::progressColor3()).rgb();
  const QImage ok = icons::status("ok.png").pixmap(64, 64).toImage();
  const QImage caution = icons::status("caution.png").pixmap(64, 64).toImage();
  const QImage danger = icons::status("danger.png").pixmap(64, 64).toImage();
  EXPECT_GT(pixelsOfColour(ok, green), 64 * 64 / 4);
  EXPECT_EQ(pixelsOfColour(ok, red), 0);
  EXPECT_GT(pixelsOfColour(caution, yellow), 64 * 64 / 6);
  EXPECT_GT(pixelsOfColour(danger, red), 64 * 64 / 4);
  EXPECT_EQ(pixelsOfColour(danger, green), 0);
}

TEST_F(IconsTest, UnknownStatusNamesHaveNoIcon) {
  EXPECT_TRUE(icons::status("").isNull());
  EXPECT_TRUE(icons::status("ok").isNull());
  EXPECT_TRUE(icons::status("warning.png").isNull());
}

// --- Theme ---

TEST(ThemeStyleTest, ColoursConvertToTheirByteValues) {
  EXPECT_EQ(toQColor(KestrioColors::progressColor1()), QColor(62, 242, 140));
  EXPECT_EQ(toQColor(KestrioColors::appBackgroundColor()), QColor(50, 55, 60));
  EXPECT_EQ(toQColor({1, 0, 0, 0.5f}).alpha(), 128);
}

TEST(ThemeStyleTest, TheSheetFollowsTheStoredBandOfItsNetwork) {
  FakePlatform platform;
  platform.userDefaults().setString(UsageVisualView::kCellularColorKey, "R");
  platform.userDefaults().setString(UsageVisualView::kWifiColorKey, "Y");
  const QString cellular = styleSheet(platform, true);
  const QString wifi = styleSheet(platform, false);
  EXPECT_TRUE(cellular.contains("#e73e3e")) << "red for the cellular screen";
  EXPECT_FALSE(cellular.contains("#ffe347"));
  EXPECT_TRUE(wifi.contains("#ffe347")) << "yellow for the Wi-Fi screen";
  EXPECT_FALSE(wifi.contains("#e73e3e"));
  EXPECT_TRUE(cellular.contains("#dataTypeLine"));
  EXPECT_TRUE(wifi.contains("#lblDaysWifi"));
  EXPECT_TRUE(wifi.contains("#32373c")) << "the app background";
}

TEST(ThemeStyleTest, ApplyingTheThemeDarkensTheWidgetAndItsChildren) {
  kestrio::testing::qtApp();
  FakePlatform platform;
  platform.userDefaults().setString(UsageVisualView::kCellularColorKey, "Y");
  QWidget root;
  QWidget* child = new QWidget(&root);
  applyTheme(&root, platform, true);
  EXPECT_EQ(root.palette().color(QPalette::Window), QColor(50, 55, 60));
  EXPECT_EQ(root.palette().color(QPalette::Highlight), QColor(255, 227, 71));
  EXPECT_TRUE(root.styleSheet().contains("#ffe347"));
  root.resize(40, 40);
  const QImage image = root.grab().toImage();
  EXPECT_EQ(image.pixel(20, 20) & 0xffffffu, QColor(50, 55, 60).rgb() & 0xffffffu);
  EXPECT_EQ(child->parentWidget(), &root);
}

}  // namespace
}  // namespace kestrio::gui
