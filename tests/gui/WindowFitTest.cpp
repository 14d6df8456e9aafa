#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractSpinBox>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QSlider>
#include <QTabBar>
#include <QTabWidget>
#include <QTableView>
#include <QTest>
#include <QToolButton>
#include <functional>
#include <memory>

#include "engine/AppData.h"
#include "engine/AppSettings.h"
#include "engine/ApplicationUsage.h"
#include "engine/History.h"
#include "gui/MainWindow.h"
#include "gui/QtApp.h"
#include "gui/ReturningUser.h"
#include "gui/counters/CustomCounterScreen.h"
#include "gui/history/HistoryScreen.h"
#include "gui/shell/NavigationStack.h"
#include "gui/shell/WindowNavigator.h"
#include "gui/usage/ApplicationList.h"
#include "gui/usage/MainScreen.h"
#include "gui/usage/UsageGaugeWidget.h"
#include "support/FakePlatform.h"
#include "support/Records.h"
#include "support/SettingsBundle.h"

// Every screen and dialog the window can show, laid out on each display of this run (a phone held
// upright, a laptop, a desktop; or a phone at scale 2): every control inside its window, the
// window inside the display, no text cut short, nothing to scroll sideways, and on a phone every
// control big enough for a fingertip.
namespace kestrio::gui {
namespace {

using kestrio::testing::FakePlatform;

constexpr double kMB = 1048576;
constexpr int kTouch = 44;

bool isPhone(const QScreen* screen) {
  return screen->availableGeometry().width() < 600;
}

// Whether `widget` lies in a scrolled viewport below `top`: it may then be out of sight
// vertically, never sideways.
const QWidget* scrolledViewport(const QWidget* widget, const QWidget* top) {
  for (const QWidget* w = widget->parentWidget(); w && w != top; w = w->parentWidget()) {
    if (const auto* area = qobject_cast<const QAbstractScrollArea*>(w->parentWidget())) {
      if (area->viewport() == w) return w;
    }
  }
  return nullptr;
}

bool isClickable(const QWidget* w) {
  if (qobject_cast<const QScrollBar*>(w)) return false;  // a finger drags the content itself
  return qobject_cast<const QAbstractButton*>(w) || qobject_cast<const QComboBox*>(w) ||
         qobject_cast<const QAbstractSpinBox*>(w) || qobject_cast<const QSlider*>(w) ||
         qobject_cast<const QLineEdit*>(w);
}

QString describe(const QWidget* w) {
  QString text;
  if (const auto* label = qobject_cast<const QLabel*>(w)) text = label->text();
  if (const auto* button = qobject_cast<const QAbstractButton*>(w)) text = button->text();
  if (text.isEmpty()) text = w->accessibleName();
  return QStringLiteral("%1 \"%2\" \"%3\"")
      .arg(QString::fromLatin1(w->metaObject()->className()), w->objectName(), text.left(40));
}

// What does not fit in the window `top`, one line per fault.
QStringList faults(QWidget* top, bool phone) {
  QStringList found;
  const auto fault = [&](const QWidget* w, const QString& what) {
    found << describe(w) + ": " + what;
  };
  const QRect bounds = top->rect();
  for (QWidget* w : top->findChildren<QWidget*>()) {
    if (!w->isVisible() || w->window() != top || w->width() <= 0 || w->height() <= 0) continue;
    const QRect rect(w->mapTo(top, QPoint(0, 0)), w->size());
    if (const QWidget* viewport = scrolledViewport(w, top)) {
      const QRect view(viewport->mapTo(top, QPoint(0, 0)), viewport->size());
      // Only what is in sight counts; sideways it must never reach past the viewport.
      if (rect.bottom() < view.top() || rect.top() > view.bottom()) continue;
      if (rect.left() < view.left() || rect.right() > view.right()) {
        fault(w, QStringLiteral("reaches past its viewport sideways"));
      }
    } else if (!bounds.contains(rect)) {
      fault(w, QStringLiteral("outside the window (%1,%2 %3x%4)")
                   .arg(rect.x())
                   .arg(rect.y())
                   .arg(rect.width())
                   .arg(rect.height()));
    }
    if (const auto* area = qobject_cast<const QAbstractScrollArea*>(w)) {
      if (area->horizontalScrollBar()->maximum() > 0) fault(w, QStringLiteral("scrolls sideways"));
    }
    if (const auto* label = qobject_cast<const QLabel*>(w); label && !label->text().isEmpty()) {
      if (label->text().contains(QChar(0x2026))) fault(w, QStringLiteral("elided"));
      if (label->wordWrap()) {
        if (label->heightForWidth(label->width()) > label->height() + 1) {
          fault(w, QStringLiteral("wrapped text taller than the label"));
        }
      } else if (label->sizeHint().width() > label->width()) {
        fault(w, QStringLiteral("text %1 px in %2 px")
                     .arg(label->sizeHint().width())
                     .arg(label->width()));
      }
    }
    if (const auto* button = qobject_cast<const QAbstractButton*>(w);
        button && !button->text().isEmpty() &&
        (qobject_cast<const QPushButton*>(w) || qobject_cast<const QToolButton*>(w)) &&
        button->fontMetrics().horizontalAdvance(button->text()) > button->width()) {
      fault(w, QStringLiteral("text wider than the button"));
    }
    if (const auto* bar = qobject_cast<const QTabBar*>(w)) {
      for (int i = 0; i < bar->count(); ++i) {
        const QRect tab = bar->tabRect(i);
        if (bar->fontMetrics().horizontalAdvance(bar->tabText(i)) > tab.width()) {
          fault(w, QStringLiteral("tab %1's name cut short").arg(i));
        }
        if (phone && (tab.width() < kTouch || tab.height() < kTouch)) {
          fault(w, QStringLiteral("tab %1 smaller than a fingertip").arg(i));
        }
      }
    }
    if (phone && isClickable(w) && (w->width() < kTouch || w->height() < kTouch)) {
      fault(w, QStringLiteral("%1x%2, smaller than a fingertip").arg(w->width()).arg(w->height()));
    }
    if (const auto* view = qobject_cast<const QTableView*>(w); view && view->model()) {
      for (int column = 0; column < view->model()->columnCount(); ++column) {
        if (view->isColumnHidden(column)) continue;
        // A table that wraps its text fits when every cell's wrapped text fits its row.
        if (view->wordWrap()) {
          for (int row = 0; row < view->model()->rowCount(); ++row) {
            if (view->columnSpan(row, column) > 1) continue;
            const QModelIndex index = view->model()->index(row, column);
            const QString text = index.data().toString();
            const QVariant font = index.data(Qt::FontRole);
            const QFontMetrics metrics(font.isValid() ? font.value<QFont>() : view->font());
            const QRect room(0, 0, view->columnWidth(column) - 6, 100000);
            const int height =
                metrics.boundingRect(room, Qt::TextWordWrap | Qt::TextWrapAnywhere, text).height();
            if (height > view->rowHeight(row)) {
              fault(w, QStringLiteral("row %1 column %2: text %3 px high in %4 px")
                           .arg(row)
                           .arg(column)
                           .arg(height)
                           .arg(view->rowHeight(row)));
            }
          }
          continue;
        }
        const int needed = static_cast<const QAbstractItemView*>(view)->sizeHintForColumn(column);
        if (needed > view->columnWidth(column)) {
          fault(w, QStringLiteral("column %1: text %2 px in %3 px")
                       .arg(column)
                       .arg(needed)
                       .arg(view->columnWidth(column)));
        }
      }
    }
    if (const auto* view = qobject_cast<const QTableView*>(w);
        phone && view && view->selectionMode() != QAbstractItemView::NoSelection && view->model() &&
        view->model()->rowCount() > 0) {
      for (int row = 0; row < view->model()->rowCount(); ++row) {
        if (!view->isRowHidden(row) && view->rowHeight(row) > 0 && view->rowHeight(row) < kTouch) {
          fault(w, QStringLiteral("row %1 lower than a fingertip").arg(row));
          break;
        }
      }
    }
  }
  return found;
}

// Answers the action sheet shown now with its button `text`.
bool tapSheetButton(const QString& text) {
  for (QWidget* top : QApplication::topLevelWidgets()) {
    if (top->objectName() != "actionSheet" || !top->isVisible()) continue;
    for (auto* button : top->findChildren<QPushButton*>()) {
      if (button->text() == text) {
        button->click();
        return true;
      }
    }
  }
  return false;
}

// Closes what the window's controls opened on their own (action sheets, alerts).
void closeOtherWindows(QWidget* keep) {
  for (QWidget* top : QApplication::topLevelWidgets()) {
    if (top != keep && top->isVisible() && qobject_cast<QDialog*>(top)) top->close();
  }
  QCoreApplication::processEvents();
}

// Each network's connections with the longest names and figures a screen lists in practice.
PlistValue longConnectionNames() {
  const std::pair<const char*, bool> named[] = {
      {"Café Zentral Gäste-WLAN 5 GHz Obergeschoss", false}, {"Pixel 8 Pro hotspot", true}};
  PlistValue::Dictionary connections;
  for (const auto& [name, metered] : named) {
    const double bytes = (metered ? 584 : 3000) * kMB;
    connections[std::string("u-") + name] =
        PlistValue(PlistValue::Dictionary{{"name", PlistValue(name)},
                                          {"metered", PlistValue(metered)},
                                          {"dataThisMonth", PlistValue(bytes)},
                                          {"dataThisMonthSent", PlistValue(0.0)},
                                          {"dataThisMonthRecd", PlistValue(bytes)},
                                          {"dataAllTime", PlistValue(bytes)},
                                          {"dataAllTimeSent", PlistValue(0.0)},
                                          {"dataAllTimeRecd", PlistValue(bytes)}});
  }
  return PlistValue(std::move(connections));
}

// Each network's applications with the longest names a screen lists in practice, stored before
// the accounting service was ever read, so the hint that tells how to enable it shows too.
void storeLongApplicationNames(Platform& platform) {
  ApplicationUsageStore store(platform);
  for (int type : {1, 2}) {
    ApplicationUsageMap applications;
    const char* named[] = {"Visual Studio Code - Insiders Edition (Flatpak)", "Firefox", "System"};
    double bytes = 2900 * kMB;
    for (const char* name : named) {
      const auto day = [&](int d) {
        return static_cast<std::int64_t>(
                   platform.calendar().startOfDay(platform.now()).secondsSince1970) -
               d * 86400;
      };
      applications[name] =
          ApplicationUsage{name, "",    bytes,
                           0,    bytes, bytes,
                           0,    bytes, {{day(0), bytes / 3}, {day(1), bytes * 2 / 3}}};
      bytes /= 7;
    }
    store.setApplications(type, std::move(applications));
  }
  ASSERT_TRUE(store.save().ok());
}

class WindowFitTest : public ::testing::Test {
 protected:
  WindowFitTest() {
    kestrio::testing::qtApp();
    kestrio::testing::putSettingsBundle(platform);
    platform.setBoot(1000, "boot-1");
    platform.setNow(2026, 3, 10, 12, 0, 0);
    platform.setCounters("wwan0", 0, 0, InterfaceKind::Cellular);
    platform.setCounters("wlan0", 0, 0, InterfaceKind::Wifi);
    kestrio::testing::returningUser(platform);
    UserDefaults& store = platform.userDefaults();
    store.setInteger(AppSettings::kCellularDataLimit, 4096);
    store.setString(AppSettings::kCellularDataLimitUnit, "MB");
    store.setInteger(AppSettings::kWifiDataLimit, 100);
    store.setString(AppSettings::kWifiDataLimitUnit, "GB");
    store.synchronize();
    // Long figures: the widest a screen draws in practice.
    for (int month = 1; month <= 12; ++month) {
      for (int type : {1, 2}) {
        addHistory(platform.at(2025, month, 1), platform.at(2025, month + 1, 0), type, 1,
                   (type == 1 ? 3800 : 123000) + month * 40);
      }
    }
    for (int day = 1; day <= 9; ++day) {
      addHistory(platform.at(2026, 3, day, 23, 50), platform.at(2026, 3, day), 1, 2, 120 + day);
      addHistory(platform.at(2026, 3, day, 23, 50), platform.at(2026, 3, day), 2, 2, 5100 + day);
    }
    for (const char* file : {AppData::kCellularFileName, AppData::kWifiFileName}) {
      kestrio::testing::putRecord(platform, file,
                                  {{"dataThisMonth", PlistValue(3584 * kMB)},
                                   {"dataThisMonthSent", PlistValue(584 * kMB)},
                                   {"dataThisMonthRecd", PlistValue(3000 * kMB)},
                                   {"lastBillingDate", PlistValue(platform.at(2026, 3, 1))},
                                   {"nextBillingDate", PlistValue(platform.at(2026, 4, 1))},
                                   {"connections", longConnectionNames()}});
    }
    storeLongApplicationNames(platform);
  }

  ~WindowFitTest() override {
    if (window) closeOtherWindows(nullptr);
  }

  void addHistory(Date start, Date end, int type, int kind, double totalMB) {
    ASSERT_TRUE(History::addNewHistoryItemLog(
                    platform, History(platform, start, end, totalMB * kMB / 5,
                                      totalMB * kMB * 4 / 5, totalMB * kMB, type, kind))
                    .ok());
  }

  // The window filling the display's free area, as a phone shows it or a user maximises it.
  MainWindow& open(QScreen* display) {
    platform.idiom = isPhone(display) ? UserInterfaceIdiom::Phone : UserInterfaceIdiom::Pad;
    // Each display shows the hint to enable counting per application, which a window shows once.
    platform.userDefaults().removeObjectForKey(
        ApplicationListController::kApplicationsHintShownKey);
    window = std::make_unique<MainWindow>(platform);
    window->setScreen(display);
    const QRect area = display->availableGeometry();
    EXPECT_LE(window->minimumSizeHint().width(), area.width());
    EXPECT_LE(window->minimumSizeHint().height(), area.height());
    window->show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    // The window manager's frame goes around the window, inside the free area.
    const QRect frame = window->frameGeometry();
    const QRect inner = window->geometry();
    window->setGeometry(area.adjusted(inner.left() - frame.left(), inner.top() - frame.top(),
                                      inner.right() - frame.right(),
                                      inner.bottom() - frame.bottom()));
    QCoreApplication::processEvents();
    window->launch();
    window->becameActive();
    return *window;
  }

  void selectTab(int index) {
    QTabBar* bar = window->tabs()->tabBar();
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(index).center());
    QCoreApplication::processEvents();
  }

  // Lays `top` out, saves it and records what does not fit under `name`.
  void check(QWidget* top, const QString& name) {
    QCoreApplication::processEvents();
    const QString shot = QStringLiteral("%1/fit-%2-%3.png")
                             .arg(kestrio::testing::screenshotDirectory(), displayName, name);
    EXPECT_TRUE(top->grab().save(shot));
    const QRect area = top->screen()->availableGeometry();
    EXPECT_TRUE(area.contains(top->frameGeometry()))
        << name.toStdString() << " outside the display: " << top->frameGeometry().width() << "x"
        << top->frameGeometry().height();
    for (const QString& fault : faults(top, phone)) {
      ADD_FAILURE() << displayName.toStdString() << " " << name.toStdString() << ": "
                    << fault.toStdString();
    }
  }

  // Every screen the rows of the tab in front push, one level down (and `depth` more below).
  void checkPushedScreens(int tab, const QString& name, int depth) {
    shell::NavigationStack* stack = window->stack(tab);
    const int base = stack->depth();
    const auto visit = [&](const QString& child, const std::function<void()>& open) {
      open();
      QCoreApplication::processEvents();
      closeOtherWindows(window.get());
      if (stack->depth() <= base) return;
      check(window.get(), name + "-" + child);
      if (depth > 0) checkPushedScreens(tab, name + "-" + child, depth - 1);
      while (stack->depth() > base) stack->pop();
      QCoreApplication::processEvents();
    };
    // The settings rows are built again whenever their screen reappears: found anew each time.
    const auto rows = [stack] {
      QList<QPushButton*> shown;
      for (QPushButton* row : stack->topView()->findChildren<QPushButton*>("settingsDisclosure")) {
        if (row->isVisible() && row->isEnabled()) shown << row;
      }
      return shown;
    };
    for (int n = 0; n < rows().size(); ++n) {
      visit(QString::number(n), [&rows, n] { rows()[n]->click(); });
    }
    QWidget* screen = stack->topView();
    if (auto* table = screen->findChild<QTableView*>(); table && table->isVisible()) {
      // A row of each kind is enough: the first two (the running periods) and one closed one.
      for (int row : {0, 1, 3}) {
        if (row >= table->model()->rowCount()) break;
        visit(QStringLiteral("row%1").arg(row), [table, row] {
          table->setFocus();
          table->setCurrentIndex(table->model()->index(row, 0));
          QTest::keyClick(table, Qt::Key_Return);
        });
      }
    }
  }

  // The screen's gauge and the period's figures stand in sight without scrolling.
  void checkUsageInSight(MainScreen& screen, const QString& name) {
    const QWidget* viewport = screen.statusArea()->parentWidget();
    const QRect view(viewport->mapTo(window.get(), QPoint(0, 0)), viewport->size());
    const QString suffix = screen.isCellular() ? QString() : QStringLiteral("Wifi");
    QList<QWidget*> shown;
    shown << screen.gaugeWidget();
    for (const char* field :
         {"lblMonthlyUsage", "lblRemainingUsage", "lblDays", "lblDailySuggested"}) {
      shown << screen.label(QString::fromLatin1(field) + suffix);
    }
    for (QWidget* w : shown) {
      ASSERT_NE(w, nullptr);
      if (!w->isVisible()) continue;
      const QRect rect(w->mapTo(window.get(), QPoint(0, 0)), w->size());
      EXPECT_TRUE(view.contains(rect))
          << displayName.toStdString() << " " << name.toStdString() << ": "
          << describe(w).toStdString() << " out of sight at " << rect.y() << ".." << rect.bottom()
          << " in " << view.y() << ".." << view.bottom();
    }
  }

  void checkPresented(const QString& name) {
    QCoreApplication::processEvents();
    const QList<QDialog*> dialogs = window->navigator().presentedDialogs();
    ASSERT_FALSE(dialogs.isEmpty()) << name.toStdString();
    check(dialogs.back(), name);
  }

  void checkEveryScreen(QScreen* display) {
    displayName = display->name();
    phone = isPhone(display);
    SCOPED_TRACE(displayName.toStdString());
    MainWindow& w = open(display);
    check(&w, "window");
    const char* names[] = {"cellular", "wifi", "custom", "history", "settings"};
    for (int tab = 0; tab < MainWindow::kTabCount; ++tab) {
      selectTab(tab);
      ASSERT_EQ(w.tabs()->currentIndex(), tab);
      check(&w, names[tab]);
      if (tab < 2) {
        MainScreen& screen = tab == 0 ? w.cellularScreen() : w.wifiScreen();
        checkUsageInSight(screen, names[tab]);
        // The applications lie below the figures: scrolled to, they fit as well.
        ASSERT_TRUE(screen.applicationList()->isVisible());
        auto* scroll =
            qobject_cast<QScrollArea*>(screen.statusArea()->parentWidget()->parentWidget());
        ASSERT_NE(scroll, nullptr);
        // With the first application's days open.
        auto* days = screen.applicationList()->findChild<QToolButton*>("applicationDaysButton");
        ASSERT_NE(days, nullptr);
        days->click();
        QCoreApplication::processEvents();
        ASSERT_TRUE(screen.applicationList()->findChild<QWidget*>("applicationDays")->isVisible());
        scroll->ensureWidgetVisible(screen.applicationList());
        check(&w, QString::fromLatin1(names[tab]) + QStringLiteral("-apps"));
        days->click();
        scroll->verticalScrollBar()->setValue(0);
      }
      checkPushedScreens(tab, names[tab], 1);
    }

    // The usage adjustment, a dialog over the window.
    selectTab(0);
    w.cellularScreen().editButton()->click();
    QCoreApplication::processEvents();
    QDialog* adjust = nullptr;
    for (QDialog* dialog : w.ui().openDialogs()) adjust = dialog;
    ASSERT_NE(adjust, nullptr);
    check(adjust, "adjust");
    adjust->reject();

    // The periods' chart, presented over the window.
    selectTab(3);
    w.historyList().actionButton()->click();
    QCoreApplication::processEvents();
    ASSERT_TRUE(tapSheetButton(QStringLiteral("View Chart")));
    checkPresented("history-chart");
    w.navigator().closeAll();

    // A new custom counter, presented over the window.
    selectTab(2);
    w.counterList().addButton()->click();
    checkPresented("custom-add");
    w.navigator().closeAll();
    closeOtherWindows(&w);
    window.reset();
    QCoreApplication::processEvents();
  }

  FakePlatform platform;
  std::unique_ptr<MainWindow> window;
  QString displayName;
  bool phone = false;
};

#ifdef KESTRIO_FIT_AT_SCALE_2
// 720 × 1440 pixels at scale 2: a phone's 360 × 720 logical pixels; 1280 × 800 at scale 2: a
// laptop's 640 × 400.
TEST_F(WindowFitTest, EveryScreenFitsAPhoneAndALaptopAtScale2) {
  const QList<QScreen*> displays = QGuiApplication::screens();
  ASSERT_EQ(displays.size(), 2);
  QList<QSize> sizes;
  for (const QScreen* display : displays) sizes << display->geometry().size();
  ASSERT_TRUE(sizes.contains(QSize(360, 720)) && sizes.contains(QSize(640, 400)));
  for (QScreen* display : displays) {
    ASSERT_EQ(display->devicePixelRatio(), 2);
    checkEveryScreen(display);
  }
}
#else
TEST_F(WindowFitTest, EveryScreenFitsAPhoneALaptopAndADesktop) {
  const QList<QScreen*> displays = QGuiApplication::screens();
  ASSERT_EQ(displays.size(), 3);
  for (QScreen* display : displays) checkEveryScreen(display);
}
#endif

}  // namespace
}  // namespace kestrio::gui
