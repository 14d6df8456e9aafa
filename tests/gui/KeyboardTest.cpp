#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QButtonGroup>
#include <QDialog>
#include <QListWidget>
#include <QScrollArea>
#include <QTabBar>
#include <QTabWidget>
#include <QTableView>
#include <QTest>
#include <QToolButton>
#include <functional>
#include <memory>

#include "counters/CustomCounterDetailViewController.h"
#include "engine/AppData.h"
#include "engine/AppSettings.h"
#include "engine/CustomCounter.h"
#include "engine/History.h"
#include "gui/MainWindow.h"
#include "gui/QtApp.h"
#include "gui/ReturningUser.h"
#include "gui/counters/CustomCounterDetailScreen.h"
#include "gui/counters/CustomCounterScreen.h"
#include "gui/history/HistoryScreen.h"
#include "gui/shell/NavigationStack.h"
#include "gui/shell/QtUi.h"
#include "gui/shell/WindowNavigator.h"
#include "history/HistoryViewController.h"
#include "support/CaseNames.h"
#include "support/FakePlatform.h"
#include "support/SettingsBundle.h"

namespace kestrio::gui {
namespace {

using kestrio::testing::FakePlatform;

// The window over three months of closed periods and two counters, with the shipped settings.
class KeyboardTest : public ::testing::Test {
 protected:
  KeyboardTest() {
    kestrio::testing::qtApp();
    platform.setNow(2026, 3, 10, 12);
    platform.setCounters("wwan0", 0, 0, InterfaceKind::Cellular);
    kestrio::testing::putSettingsBundle(platform);
    kestrio::testing::returningUser(platform);
    kestrio::testing::threeClosedPeriods(platform);
    for (const char* name : {"Trip", "Roaming"}) {
      EXPECT_TRUE(CustomCounter::addCustomCounter(platform, CustomCounter(platform, name)).ok());
    }
    window = std::make_unique<MainWindow>(platform);
    window->resize(540, 820);
    window->show();
    EXPECT_TRUE(QTest::qWaitForWindowActive(window.get()));
    window->launch();
  }
  ~KeyboardTest() override {
    window.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }

  // The window the keyboard is in now: a presented screen over the window, or the window.
  QWidget* keyWindow() {
    const QList<QDialog*> presented = window->navigator().presentedDialogs();
    return presented.isEmpty() ? static_cast<QWidget*>(window.get()) : presented.back();
  }

  FakePlatform platform;
  std::unique_ptr<MainWindow> window;
};

// Every control the keyboard should reach: enabled, shown, taking Tab focus; of a group of
// segments, the chosen one (the arrow keys choose among them).
QList<QWidget*> reachable(QWidget* window) {
  QList<QWidget*> result;
  for (QWidget* widget : window->findChildren<QWidget*>()) {
    const auto* button = qobject_cast<QAbstractButton*>(widget);
    if (button && button->group() && button->group()->exclusive() && !button->isChecked()) {
      continue;
    }
    if (widget->window() == window && !widget->focusProxy() &&
        (widget->focusPolicy() & Qt::TabFocus) && widget->isEnabled() &&
        widget->isVisibleTo(window)) {
      result.append(widget);
    }
  }
  return result;
}

// Where a control stands; in a scrolled page, on the page, wherever it is scrolled to now.
QRect placeOf(QWidget* widget) {
  QWidget* window = widget->window();
  for (QWidget* up = widget->parentWidget(); up && up != window; up = up->parentWidget()) {
    auto* area = qobject_cast<QScrollArea*>(up);
    if (!area || !area->widget() || !area->widget()->isAncestorOf(widget)) continue;
    return {
        area->viewport()->mapTo(window, QPoint(0, 0)) + widget->mapTo(area->widget(), QPoint(0, 0)),
        widget->size()};
  }
  return {widget->mapTo(window, QPoint(0, 0)), widget->size()};
}

QString nameOf(QWidget* widget) {
  return QString("%1 '%2'").arg(widget->metaObject()->className(), widget->objectName());
}

struct ScreenCase {
  const char* name;
  // Brings the screen to front.
  std::function<void(MainWindow&)> open;
  bool inWindow;  // shown in the main window, with the tab bar, rather than presented
};

void openHistoryDetail(MainWindow& w) {
  w.tabs()->setCurrentIndex(3);
  w.historyList().controller().didSelectRow(2);
}

void openCounterDetail(MainWindow& w) {
  w.tabs()->setCurrentIndex(2);
  w.counterList().controller().didSelectRow(0);
}

const ScreenCase kScreens[] = {
    {"usage", [](MainWindow& w) { w.tabs()->setCurrentIndex(0); }, true},
    {"history list", [](MainWindow& w) { w.tabs()->setCurrentIndex(3); }, true},
    {"history detail", openHistoryDetail, true},
    {"chart",
     [](MainWindow& w) {
       w.tabs()->setCurrentIndex(3);
       w.historyList().controller().viewChart();
     },
     false},
    {"counter list", [](MainWindow& w) { w.tabs()->setCurrentIndex(2); }, true},
    {"counter detail", openCounterDetail, true},
    {"counter edit",
     [](MainWindow& w) {
       openCounterDetail(w);
       auto* detail = qobject_cast<CustomCounterDetailScreen*>(w.stack(2)->topView());
       ASSERT_NE(detail, nullptr);
       detail->editButton()->click();
     },
     false},
    {"settings", [](MainWindow& w) { w.tabs()->setCurrentIndex(4); }, true},
};

class TabOrder : public KeyboardTest, public ::testing::WithParamInterface<ScreenCase> {};

// Tab from the first control visits every control once, each in a row below the one before or
// to its right in the same row, and comes back to the first.
TEST_P(TabOrder, TabReachesEveryControlInVisualOrder) {
  GetParam().open(*window);
  QWidget* keys = keyWindow();
  ASSERT_EQ(keys == window.get(), GetParam().inWindow);
  QApplication::setActiveWindow(keys);
  ASSERT_TRUE(QTest::qWaitFor([&] { return QApplication::activeWindow() == keys; }, 2000));
  const QList<QWidget*> expected = reachable(keys);
  ASSERT_GE(expected.size(), 2);
  if (GetParam().inWindow) {
    EXPECT_TRUE(expected.contains(window->tabs()->tabBar()));
  }

  QWidget* first = expected.front();
  first->setFocus(Qt::TabFocusReason);
  ASSERT_EQ(QApplication::focusWidget(), first);
  QList<QWidget*> visited{first};
  for (qsizetype i = 0; i < expected.size(); ++i) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    visited.append(QApplication::focusWidget());
  }
  EXPECT_EQ(visited.back(), first) << "Tab did not come round to " << nameOf(first).toStdString();
  for (QWidget* widget : expected) {
    EXPECT_TRUE(visited.contains(widget)) << nameOf(widget).toStdString() << " never reached";
  }
  // Round the cycle, each step goes down a row or right in the same row, except once: from the
  // last control back to the first.
  int wraps = 0;
  for (qsizetype i = 1; i < visited.size(); ++i) {
    const QRect before = placeOf(visited[i - 1]), now = placeOf(visited[i]);
    const bool nextRow = now.center().y() > before.bottom();
    const bool sameRowRight = now.center().y() >= before.top() && now.left() >= before.left();
    if (!nextRow && !sameRowRight) ++wraps;
  }
  EXPECT_EQ(wraps, 1) << "Tab goes back up or left " << wraps << " times";
  visited.removeLast();
  // Shift+Tab walks the same way back.
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
  EXPECT_EQ(QApplication::focusWidget(), visited.back());
  keys->grab().save(kestrio::testing::screenshotDirectory() + "/keys_" +
                    QString::fromStdString(kestrio::testing::caseName(GetParam().name)) + ".png");
}

INSTANTIATE_TEST_SUITE_P(Screens, TabOrder, ::testing::ValuesIn(kScreens),
                         kestrio::testing::NameField{});

// A row opens with one click, or with Return on it; Escape goes back.
struct RowCase {
  const char* name;
  int tab;
  bool byClick;
};
const RowCase kRows[] = {
    {"history click", 3, true},
    {"history Return", 3, false},
    {"counter click", 2, true},
    {"counter Return", 2, false},
};

class RowOpening : public KeyboardTest, public ::testing::WithParamInterface<RowCase> {};

TEST_P(RowOpening, OpensOnceThenEscapeGoesBack) {
  window->tabs()->setCurrentIndex(GetParam().tab);
  shell::NavigationStack* stack = window->stack(GetParam().tab);
  QAbstractItemView* rows = GetParam().tab == 3
                                ? static_cast<QAbstractItemView*>(window->historyList().table())
                                : window->counterList().list();
  const QModelIndex second = rows->model()->index(1, 0);
  if (GetParam().byClick) {
    QTest::mouseClick(rows->viewport(), Qt::LeftButton, {}, rows->visualRect(second).center());
  } else {
    rows->setFocus();
    rows->setCurrentIndex(second);
    QTest::keyClick(rows, Qt::Key_Return);
  }
  ASSERT_EQ(stack->depth(), 2);
  QWidget* focused = QApplication::focusWidget();
  ASSERT_NE(focused, nullptr);
  QTest::keyClick(focused, Qt::Key_Escape);
  EXPECT_EQ(stack->depth(), 1);
}

INSTANTIATE_TEST_SUITE_P(Rows, RowOpening, ::testing::ValuesIn(kRows),
                         kestrio::testing::NameField{});

TEST_F(KeyboardTest, EscapeClosesAPresentedScreen) {
  window->tabs()->setCurrentIndex(3);
  window->historyList().controller().viewChart();
  ASSERT_EQ(window->navigator().presentedDialogs().size(), 1);
  QDialog* chart = window->navigator().presentedDialogs().front();
  ASSERT_TRUE(QTest::qWaitFor([&] { return QApplication::activeWindow() == chart; }, 2000));
  QWidget* focused = QApplication::focusWidget();
  ASSERT_NE(focused, nullptr);
  QTest::keyClick(focused, Qt::Key_Escape);
  EXPECT_TRUE(
      QTest::qWaitFor([&] { return window->navigator().presentedDialogs().isEmpty(); }, 2000));
}

}  // namespace
}  // namespace kestrio::gui
