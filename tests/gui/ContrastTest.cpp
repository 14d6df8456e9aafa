#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QHash>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollArea>
#include <QStyleOptionButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTableView>
#include <QTest>
#include <QToolButton>
#include <memory>

#include "app/Theme.h"
#include "engine/AppData.h"
#include "engine/AppSettings.h"
#include "engine/History.h"
#include "gui/MainWindow.h"
#include "gui/QtApp.h"
#include "gui/ReturningUser.h"
#include "gui/history/HistoryScreen.h"
#include "gui/shell/NavigationStack.h"
#include "gui/shell/QtUi.h"
#include "gui/theme/ThemeStyle.h"
#include "gui/usage/MainScreen.h"
#include "support/FakePlatform.h"
#include "support/Records.h"
#include "support/SettingsBundle.h"

// What the window draws, measured on its pixels: text at least 4.5:1 against what is behind it,
// the check boxes' frames and the keyboard's focus frame at least 3:1.
namespace kestrio::gui {
namespace {

using kestrio::testing::FakePlatform;

constexpr double kMB = 1048576;
constexpr double kText = 4.5;
constexpr double kGraphics = 3.0;

QRect rectIn(const QWidget* widget, const QWidget* top, const QRect& local) {
  return QRect(widget->mapTo(top, local.topLeft()), local.size());
}

// The inks of the text drawn in `region`, against its background (its most frequent colour): the
// colour that stands out most (the core of the glyphs, whatever their colour), and every colour of
// the theme's text that is drawn there (a second, fainter line under a title). The smoothed edges
// of glyphs are shades in between and never count.
struct Inks {
  QColor background;
  std::vector<QColor> inks;
};

Inks inksOf(const QImage& image, const QRect& region, const std::vector<QColor>& textColours) {
  QHash<QRgb, int> counts;
  const QRect area = region.intersected(image.rect());
  for (int y = area.top(); y <= area.bottom(); ++y) {
    for (int x = area.left(); x <= area.right(); ++x) ++counts[image.pixel(x, y) | 0xFF000000];
  }
  Inks found;
  QRgb background = 0;
  int most = -1;
  for (auto it = counts.cbegin(); it != counts.cend(); ++it) {
    if (it.value() > most) {
      most = it.value();
      background = it.key();
    }
  }
  found.background = QColor(background);
  if (counts.size() < 2) return found;
  QColor extreme;
  double best = 0;
  for (auto it = counts.cbegin(); it != counts.cend(); ++it) {
    const double ratio = contrastRatio(QColor(it.key()), found.background);
    if (it.key() != background && ratio > best) {
      best = ratio;
      extreme = QColor(it.key());
    }
  }
  found.inks.push_back(extreme);
  for (const QColor& colour : textColours) {
    if (colour != extreme && colour.rgb() != background && counts.value(colour.rgb()) >= 3) {
      found.inks.push_back(colour);
    }
  }
  return found;
}

// Every colour the theme draws text in.
std::vector<QColor> themeTextColours(kestrio::Platform& platform) {
  std::vector<QColor> colours;
  for (const kestrio::Rgba& colour :
       {KestrioColors::appForegroundColor(), KestrioColors::appSubheaderColor(),
        KestrioColors::tableCellForegroundColor(), KestrioColors::tableCellDetailForegroundColor(),
        KestrioColors::progressColor1(), KestrioColors::progressColor2(),
        KestrioColors::progressColor3(), KestrioColors::appTintColor(),
        KestrioColors::cellularProgressColor(platform),
        KestrioColors::wifiProgressColor(platform)}) {
    colours.push_back(toQColor(colour));
  }
  return colours;
}

// Scrolls every scroll area around `widget` so that it is in sight.
void bringIntoView(QWidget* widget) {
  for (QWidget* w = widget->parentWidget(); w; w = w->parentWidget()) {
    if (auto* area = qobject_cast<QScrollArea*>(w)) area->ensureWidgetVisible(widget);
  }
  QCoreApplication::processEvents();
}

class ContrastTest : public ::testing::Test {
 protected:
  ContrastTest() {
    kestrio::testing::qtApp();
    kestrio::testing::putSettingsBundle(platform);
    platform.setBoot(1000, "boot-1");
    platform.setNow(2026, 3, 10, 12, 0, 0);
    platform.setCounters("wwan0", 0, 0, InterfaceKind::Cellular);
    platform.setCounters("wlan0", 0, 0, InterfaceKind::Wifi);
    kestrio::testing::returningUser(platform);
    UserDefaults& store = platform.userDefaults();
    store.setInteger(AppSettings::kCellularDataLimit, 1000);
    store.setString(AppSettings::kCellularDataLimitUnit, "MB");
    store.setInteger(AppSettings::kWifiDataLimit, 4000);
    store.setString(AppSettings::kWifiDataLimitUnit, "MB");
    store.synchronize();
    kestrio::testing::threeClosedPeriods(platform);
  }

  // The window with the cellular network over its quota (red) and the Wi-Fi one in its safe band
  // (green): the values take both colours.
  MainWindow& start() {
    for (const auto& [file, used] : {std::pair{AppData::kCellularFileName, 1200.0},
                                     std::pair{AppData::kWifiFileName, 100.0}}) {
      kestrio::testing::putRecord(platform, file,
                                  {{"dataThisMonth", PlistValue(used * kMB)},
                                   {"lastBillingDate", PlistValue(platform.at(2026, 3, 1))},
                                   {"nextBillingDate", PlistValue(platform.at(2026, 4, 1))}});
    }
    window = std::make_unique<MainWindow>(platform);
    window->resize(540, 820);
    window->show();
    EXPECT_TRUE(QTest::qWaitForWindowActive(window.get()));
    window->launch();
    window->becameActive();
    // The over-quota alert stands in front of the window: answered, the window is active again.
    for (QDialog* alert : window->ui().openDialogs()) alert->reject();
    QCoreApplication::processEvents();
    window->activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(window.get()));
    return *window;
  }

  void selectTab(int index) {
    QTabBar* bar = window->tabs()->tabBar();
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(index).center());
    QCoreApplication::processEvents();
  }

  // Every visible label's text and every cell of the tables in the window as it is now.
  void checkText(const QString& name) {
    QCoreApplication::processEvents();
    const QImage image = window->grab().toImage();
    image.save(kestrio::testing::screenshotDirectory() + "/contrast-" + name + ".png");
    int measured = 0;
    const auto measure = [&](const QString& what, const QRect& region, double least) {
      const Inks found = inksOf(image, region, themeTextColours(platform));
      for (const QColor& ink : found.inks) {
        ++measured;
        const double ratio = contrastRatio(ink, found.background);
        EXPECT_GE(ratio, least) << name.toStdString() << ": " << what.toStdString() << " "
                                << ink.name().toStdString() << " on "
                                << found.background.name().toStdString();
      }
    };
    for (QLabel* label : window->findChildren<QLabel*>()) {
      if (!label->isVisible() || label->text().isEmpty() || label->window() != window.get())
        continue;
      // A mark without letters or digits (a chevron) is a graphic: 3:1.
      const bool words = label->text().contains(QRegularExpression(QStringLiteral("[\\w]")));
      measure("label \"" + label->text().left(30) + "\"",
              rectIn(label, window.get(), label->contentsRect()), words ? kText : kGraphics);
    }
    for (QTableView* table : window->findChildren<QTableView*>()) {
      if (!table->isVisible() || table->window() != window.get()) continue;
      QWidget* viewport = table->viewport();
      for (int row = 0; row < table->model()->rowCount(); ++row) {
        for (int column = 0; column < table->model()->columnCount(); ++column) {
          const QRect cell = table->visualRect(table->model()->index(row, column));
          if (!cell.isValid() || !viewport->rect().contains(cell)) continue;
          measure(QStringLiteral("%1 row %2").arg(table->objectName()).arg(row),
                  rectIn(viewport, window.get(), cell), kText);
        }
      }
    }
    EXPECT_GT(measured, 0) << name.toStdString() << ": no text found to measure";
  }

  FakePlatform platform;
  std::unique_ptr<MainWindow> window;
};

TEST_F(ContrastTest, TextStandsOutOnEveryScreen) {
  MainWindow& w = start();
  const char* names[] = {"cellular", "wifi", "custom", "history", "settings"};
  for (int tab = 0; tab < MainWindow::kTabCount; ++tab) {
    selectTab(tab);
    checkText(names[tab]);
  }
  selectTab(3);
  QTableView* list = w.historyList().table();
  list->setFocus();
  list->setCurrentIndex(list->model()->index(2, 0));
  QTest::keyClick(list, Qt::Key_Return);
  ASSERT_EQ(w.stack(3)->depth(), 2);
  checkText("history-detail");
}

// The frame of an unchecked check box, against what is around it.
TEST_F(ContrastTest, CheckBoxFramesStandOut) {
  MainWindow& w = start();
  selectTab(4);
  int measured = 0;
  for (QCheckBox* box : w.findChildren<QCheckBox*>()) {
    if (!box->isVisible() || box->window() != &w) continue;
    box->setChecked(false);
    bringIntoView(box);
    const QImage unchecked = w.grab().toImage();
    QStyleOptionButton option;
    option.initFrom(box);
    const QRect indicator =
        rectIn(box, &w, box->style()->subElementRect(QStyle::SE_CheckBoxIndicator, &option, box));
    // What is around the box: the pixel left of the indicator's middle.
    const QColor around = unchecked.pixelColor(indicator.left() - 1, indicator.center().y());
    double best = 1;
    for (int y = indicator.top(); y <= indicator.bottom(); ++y) {
      for (int x = indicator.left(); x <= indicator.right(); ++x) {
        best = std::max(best, contrastRatio(unchecked.pixelColor(x, y), around));
      }
    }
    ++measured;
    EXPECT_GE(best, kGraphics) << box->objectName().toStdString() << " on "
                               << around.name().toStdString();
  }
  EXPECT_GT(measured, 0);
}

// The keyboard's place: focusing a control changes its pixels to a colour at least 3:1 against
// what they were.
TEST_F(ContrastTest, TheFocusFrameStandsOutOnEveryKindOfControl) {
  MainWindow& w = start();
  const auto check = [&](QWidget* control, const char* what) {
    ASSERT_NE(control, nullptr) << what;
    bringIntoView(control);
    w.setFocus();
    QCoreApplication::processEvents();
    const QRect area = rectIn(control, &w, control->rect());
    const QImage before = w.grab(area).toImage();
    control->setFocus(Qt::TabFocusReason);
    ASSERT_TRUE(QTest::qWaitFor([control] { return control->hasFocus(); })) << what;
    QCoreApplication::processEvents();
    const QImage after = w.grab(area).toImage();
    before.save(kestrio::testing::screenshotDirectory() + "/focus-" + what + "-before.png");
    after.save(kestrio::testing::screenshotDirectory() + "/focus-" + what + "-after.png");
    double best = 1;
    for (int y = 0; y < std::min(before.height(), after.height()); ++y) {
      for (int x = 0; x < std::min(before.width(), after.width()); ++x) {
        best = std::max(best, contrastRatio(before.pixelColor(x, y), after.pixelColor(x, y)));
      }
    }
    EXPECT_GE(best, kGraphics) << what;
  };
  selectTab(0);
  check(w.cellularScreen().editButton(), "tool button");
  check(w.cellularScreen().resetButton(), "push button");
  check(w.tabs()->tabBar(), "tab bar");
  selectTab(4);
  QCheckBox* box = nullptr;
  for (QCheckBox* candidate : w.findChildren<QCheckBox*>()) {
    if (candidate->isVisible()) box = candidate;
  }
  check(box, "check box");
  QComboBox* combo = nullptr;
  for (QComboBox* candidate : w.findChildren<QComboBox*>()) {
    if (candidate->isVisible()) combo = candidate;
  }
  if (combo) check(combo, "choice");
  QLineEdit* field = nullptr;
  for (QLineEdit* candidate : w.findChildren<QLineEdit*>()) {
    if (candidate->isVisible()) field = candidate;
  }
  if (field) check(field, "text field");
  selectTab(3);
  check(w.historyList().table(), "list");
}

}  // namespace
}  // namespace kestrio::gui
