#include <gtest/gtest.h>

#include <QCheckBox>
#include <QDateTimeEdit>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QStackedWidget>
#include <QTest>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <ctime>
#include <memory>

#include "counters/CustomCounterViewController.h"
#include "counters/DatePickerViewController.h"
#include "engine/AppSettings.h"
#include "engine/CustomCounter.h"
#include "gui/OneTabWindow.h"
#include "gui/QtApp.h"
#include "gui/counters/CounterScreenRegistry.h"
#include "gui/counters/CounterWidgets.h"
#include "gui/counters/CustomCounterDetailScreen.h"
#include "gui/counters/CustomCounterEditScreen.h"
#include "gui/counters/CustomCounterScreen.h"
#include "gui/counters/DatePickerScreen.h"
#include "gui/counters/TextFieldScreen.h"
#include "gui/shell/QtUi.h"
#include "gui/theme/ThemeStyle.h"
#include "services/NotificationCenter.h"
#include "support/FakePlatform.h"

namespace kestrio::gui {
namespace {

using kestrio::testing::FakePlatform;

constexpr double kMB = 1048576;

void settle() {
  QCoreApplication::processEvents();
  // Rows drawn again leave their old widgets to be deleted later: gone before anything looks.
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  QCoreApplication::processEvents();
}

// What the rows of the edit screen titled `title` show beside the title: more than one while a
// redrawn table's old rows wait to be deleted.
QStringList rowDetails(CustomCounterEditScreen* edit, const QString& title) {
  QStringList details;
  for (QLabel* label : edit->table()->findChildren<QLabel*>("rowTitle")) {
    if (label->text() != title) continue;
    if (auto* detail = label->parentWidget()->findChild<QLabel*>("rowDetail")) {
      details << detail->text();
    }
  }
  return details;
}

// The Custom tab on the window's shell, in a window of its own, on a fake platform with three
// counters.
struct World {
  World() {
    platform.setNow(2026, 3, 10, 12, 0, 0);
    AppSettings(platform).getSettings();
    for (const char* name : {"Commute", "Holiday Wi-Fi", "Tethering"}) {
      CustomCounter counter(platform, name);
      counter.addDataToCounterWithDataSent(12 * kMB, 150 * kMB, CustomCounter::kCellular);
      counter.addDataToCounterWithDataSent(40 * kMB, 900 * kMB, CustomCounter::kWiFi);
      (void)CustomCounter::addCustomCounter(platform, counter);
    }
    registerCounterScreens(shell.navigator->views(), platform);
    listScreen = new CustomCounterScreen(
        std::make_shared<CustomCounterViewController>(platform, *shell.ui, center));
    shell.setRoot(listScreen, &listScreen->controller());
    window = shell.window.get();
    window->resize(440, 780);
    applyTheme(window, platform, true);
    window->show();
    window->activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(window));
    shell.stack->willAppear();  // the tab comes to front
    settle();
  }
  std::vector<CustomCounter> stored() { return CustomCounter::getAllCustomCounters(platform); }
  CustomCounterScreen& list() { return *listScreen; }
  QList<QDialog*> presentedDialogs() const { return shell.navigator->presentedDialogs(); }
  template <typename Screen>
  Screen* top() {
    return qobject_cast<Screen*>(shell.topScreen());
  }
  void shoot(QWidget* widget, const QString& name) {
    settle();
    EXPECT_TRUE(widget->grab().save(kestrio::testing::screenshotDirectory() + "/" + name));
  }
  QWidget* rowOf(QListWidget* table, int row) { return table->itemWidget(table->item(row)); }

  // The application object comes before any widget. The pickers show the desktop's time: the
  // same zone as the fake platform's calendar.
  struct App {
    App() {
      setenv("TZ", "Europe/Berlin", 1);
      tzset();
      kestrio::testing::qtApp();
    }
  } app;
  FakePlatform platform;
  NotificationCenter center;
  kestrio::testing::OneTabWindow shell;
  QWidget* window = nullptr;
  CustomCounterScreen* listScreen = nullptr;
};

TEST(CountersTabTest, ListShowsEachCounterAndItsSwitchPausesTheStoredOne) {
  World w;
  QListWidget* table = w.list().list();
  ASSERT_EQ(table->count(), 3);
  EXPECT_EQ(w.rowOf(table, 1)->findChild<QLabel*>("counterName")->text(), "Holiday Wi-Fi");
  EXPECT_EQ(w.rowOf(table, 1)->findChild<QLabel*>("counterFigures")->text(),
            "Cellular  162.00 MB\nWi-Fi  940.00 MB");
  w.shoot(w.window, "counters-list.png");

  w.rowOf(table, 1)->findChild<QCheckBox*>("onOffSwitch")->click();
  settle();
  EXPECT_TRUE(w.stored()[1].isPaused());
  EXPECT_FALSE(w.rowOf(table, 1)->findChild<QCheckBox*>("onOffSwitch")->isChecked());
  // By keyboard: Space on the selected row switches it back on.
  table->setFocus();
  table->setCurrentRow(1);
  QTest::keyClick(table, Qt::Key_Space);
  EXPECT_FALSE(w.stored()[1].isPaused());

  // The list reads the store again each time the tab is shown.
  (void)CustomCounter::addCustomCounter(w.platform,
                                        CustomCounter(w.platform, "From the command line"));
  w.shell.stack->willAppear();  // the tab selected again
  settle();
  EXPECT_EQ(table->count(), 4);
}

TEST(CountersTabTest, EditingModeMovesAndDeletesRowsByKeyboard) {
  World w;
  QListWidget* table = w.list().list();
  w.list().editButton()->click();
  settle();
  EXPECT_EQ(w.list().editButton()->text(), "Done");
  EXPECT_EQ(table->dragDropMode(), QAbstractItemView::InternalMove);
  ASSERT_TRUE(w.rowOf(table, 0)->findChild<QToolButton*>("deleteButton"));
  w.shoot(w.window, "counters-list-editing.png");

  table->setFocus();
  table->setCurrentRow(0);
  QTest::keyClick(table, Qt::Key_Down, Qt::ControlModifier);
  EXPECT_EQ(w.stored()[1].name(), "Commute");
  EXPECT_EQ(table->currentRow(), 1);
  QTest::keyClick(table, Qt::Key_Delete);
  ASSERT_EQ(w.stored().size(), 2u);
  EXPECT_EQ(w.stored()[0].name(), "Holiday Wi-Fi");
  EXPECT_EQ(table->count(), 2);
  // A row dropped below the other (as a drag ends): the stored order follows.
  ASSERT_TRUE(table->model()->moveRow(QModelIndex(), 0, QModelIndex(), 2));
  settle();
  EXPECT_EQ(w.stored()[1].name(), "Holiday Wi-Fi");
  EXPECT_EQ(w.rowOf(table, 1)->findChild<QLabel*>("counterName")->text(), "Holiday Wi-Fi");
  w.list().editButton()->click();
  settle();
  EXPECT_EQ(table->dragDropMode(), QAbstractItemView::NoDragDrop);
}

// Naming a new counter with the keyboard alone: the Returns that open and close the name pane
// choose no segment of the Track or Direction rows.
TEST(CountersTabTest, KeyboardNamingKeepsTheTrackAndDirectionChosen) {
  World w;
  w.list().addButton()->click();
  settle();
  auto* edit = w.top<CustomCounterEditScreen>();
  ASSERT_TRUE(edit);
  const int track = edit->controller().trackSegment();
  const int direction = edit->controller().directionSegment();
  ASSERT_EQ(track, 2);  // Both

  QTreeWidget* table = edit->table();
  for (int i = 0; i < table->topLevelItemCount(); ++i) {
    QTreeWidgetItem* item = table->topLevelItem(i);
    if (item->data(0, SectionedTable::kSectionRole) == 0 &&
        item->data(0, SectionedTable::kRowRole) == 0) {
      table->setCurrentItem(item);
    }
  }
  table->setFocus();
  QTest::keyClick(table, Qt::Key_Return);
  settle();
  auto* text = w.top<TextFieldScreen>();
  ASSERT_TRUE(text);
  EXPECT_EQ(edit->controller().trackSegment(), track);
  QTest::keyClicks(text->field(), "Trip");
  QTest::keyClick(text->field(), Qt::Key_Return);
  ASSERT_TRUE(QTest::qWaitFor(
      [&] {
        return w.top<CustomCounterEditScreen>() == edit &&
               rowDetails(edit, "Name").contains("Trip");
      },
      5000));
  settle();
  EXPECT_EQ(edit->controller().trackSegment(), track);
  EXPECT_EQ(edit->controller().directionSegment(), direction);
  auto* segments = edit->table()->findChild<SegmentedControl*>("dataTypeSeg");
  ASSERT_TRUE(segments);
  EXPECT_EQ(segments->selectedSegment(), track);
}

TEST(CountersTabTest, AddScreenWithNameAndDatePanesStoresOnlyOnSave) {
  World w;
  w.list().addButton()->click();
  settle();
  auto* edit = w.top<CustomCounterEditScreen>();
  ASSERT_TRUE(edit);
  ASSERT_EQ(w.presentedDialogs().size(), 1);
  w.presentedDialogs()[0]->resize(440, 640);
  w.shoot(w.presentedDialogs()[0], "counters-add.png");

  // The name row opens the text pane; Return hands the typed name back.
  emit edit->table()->rowActivated(0, 0);
  settle();
  auto* text = w.top<TextFieldScreen>();
  ASSERT_TRUE(text);
  EXPECT_EQ(text->field()->text(), "New Counter");
  EXPECT_EQ(text->field()->placeholderText(), "counter name");
  QTest::keyClicks(text->field(), "Trip");  // replaces the selected old name
  w.shoot(w.presentedDialogs().back(), "counters-name-pane.png");
  QTest::keyClick(text->field(), Qt::Key_Return);
  // The pane closes; the edit screen draws the new name a moment later.
  ASSERT_TRUE(QTest::qWaitFor(
      [&] {
        return w.top<CustomCounterEditScreen>() == edit &&
               rowDetails(edit, "Name").contains("Trip");
      },
      5000));
  settle();
  EXPECT_EQ(edit->controller().customCounter.name(), "Trip");

  // The end-date row opens the date pane, which starts at now at the earliest.
  emit edit->table()->rowActivated(2, 0);
  settle();
  auto* date = w.top<DatePickerScreen>();
  ASSERT_TRUE(date);
  EXPECT_EQ(date->dateText()->text(), "No End Date");
  EXPECT_EQ(date->picker()->minimumDateTime().toSecsSinceEpoch(),
            static_cast<qint64>(w.platform.now().secondsSince1970));
  date->picker()->setDateTime(QDateTime::fromSecsSinceEpoch(
      static_cast<qint64>(w.platform.now().secondsSince1970) + 3 * 86400));
  w.shoot(w.presentedDialogs().back(), "counters-date-pane.png");
  date->doneButton()->click();
  // The pane closes; the edit screen draws the end date a moment later.
  ASSERT_TRUE(QTest::qWaitFor(
      [&] {
        if (w.top<CustomCounterEditScreen>() != edit) return false;
        const QStringList shown = rowDetails(edit, "End Date");
        return std::any_of(shown.begin(), shown.end(), [](const QString& detail) {
          return detail != DatePickerViewController::kNoEndDate;
        });
      },
      5000));
  settle();
  EXPECT_EQ(edit->controller().customCounter.endDate(), w.platform.now().addingSeconds(3 * 86400));

  edit->findChild<SegmentedControl*>("dataTypeSeg")->findChildren<QPushButton*>()[1]->click();
  settle();
  EXPECT_FALSE(edit->controller().customCounter.trackCellular());
  EXPECT_EQ(w.stored().size(), 3u);  // nothing before Save
  edit->saveButton()->click();
  settle();
  ASSERT_EQ(w.stored().size(), 4u);
  EXPECT_EQ(w.stored()[3].name(), "Trip");
  EXPECT_TRUE(w.presentedDialogs().isEmpty());
  EXPECT_EQ(w.list().list()->count(), 4);
}

TEST(CountersTabTest, DetailShowsTheSavedEditAndResetAsksFirst) {
  World w;
  w.list().list()->setCurrentRow(0);
  QTest::keyClick(w.list().list(), Qt::Key_Return);
  settle();
  auto* detail = w.top<CustomCounterDetailScreen>();
  ASSERT_TRUE(detail);
  w.shoot(w.window, "counters-detail.png");

  detail->editButton()->click();
  settle();
  auto* edit = w.top<CustomCounterEditScreen>();
  ASSERT_TRUE(edit);
  w.presentedDialogs()[0]->resize(440, 760);
  w.shoot(w.presentedDialogs()[0], "counters-edit.png");
  // Reset asks with a sheet; its destructive button zeroes the figures on screen only.
  edit->findChild<QPushButton*>("resetButton")->click();
  settle();
  QDialog* sheet = nullptr;
  for (auto* dialog : w.window->findChildren<QDialog*>("actionSheet")) {
    if (dialog->isVisible()) sheet = dialog;
  }
  ASSERT_TRUE(sheet);
  for (auto* button : sheet->findChildren<QPushButton*>()) {
    if (button->text() == "Reset Counter") button->click();
  }
  settle();
  EXPECT_EQ(edit->controller().customCounter.cellularDataTotal(), 0.0);
  EXPECT_EQ(w.stored()[0].cellularDataTotal(), 162 * kMB);
  edit->controller().customCounter.setName("Commute to work");
  edit->saveButton()->click();
  settle();
  EXPECT_EQ(w.stored()[0].cellularDataTotal(), 0.0);
  auto* title = detail->table()->findChild<QLabel*>("rowTitle");
  ASSERT_TRUE(title);
  EXPECT_EQ(title->text(), "Commute to work");

  // Escape goes back to the list, which shows the stored name.
  w.window->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(w.window));
  QTest::keyClick(detail, Qt::Key_Escape);
  settle();
  EXPECT_EQ(w.shell.stack->topView(), w.listScreen);
  EXPECT_EQ(w.rowOf(w.list().list(), 0)->findChild<QLabel*>("counterName")->text(),
            "Commute to work");
}

}  // namespace
}  // namespace kestrio::gui
