#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTabWidget>
#include <QTableView>
#include <QTest>
#include <QToolButton>
#include <memory>

#include "engine/AppSettings.h"
#include "engine/CustomCounter.h"
#include "engine/History.h"
#include "gui/MainWindow.h"
#include "gui/QtApp.h"
#include "gui/ReturningUser.h"
#include "gui/counters/CustomCounterScreen.h"
#include "gui/history/HistoryScreen.h"
#include "gui/shell/QtUi.h"
#include "gui/shell/UndoBar.h"
#include "support/CaseNames.h"
#include "support/FakePlatform.h"

namespace kestrio::gui {
namespace {

using kestrio::testing::FakePlatform;

constexpr double kMB = 1048576;
constexpr int kCounterTab = 2;
constexpr int kHistoryTab = 3;

QDialog* openSheet() {
  for (QWidget* top : QApplication::topLevelWidgets()) {
    auto* sheet = qobject_cast<QDialog*>(top);
    if (sheet && sheet->objectName() == "actionSheet" && sheet->isVisible()) return sheet;
  }
  return nullptr;
}

// The window over stored history (three closed periods, a day among them) and three custom
// counters, the middle one with figures.
class SafeActionsTest : public ::testing::Test {
 protected:
  SafeActionsTest() {
    kestrio::testing::qtApp();
    platform.setNow(2026, 3, 10, 12);
    kestrio::testing::returningUser(platform);
    // A cellular period, a day, a Wi-Fi period, a cellular period.
    for (const auto& [type, kind] : {std::pair{1, 1}, {1, 2}, {2, 1}, {1, 1}}) {
      const int month = static_cast<int>(history.size()) + 1;
      History record(platform, platform.at(2026, month, 1), platform.at(2026, month + 1, 0),
                     120 * kMB, 480 * kMB, 600 * kMB, type, kind);
      EXPECT_TRUE(History::addNewHistoryItemLog(platform, record).ok());
      history.push_back(record);
    }
    for (const char* name : {"Trip", "Big download", "Roaming"}) {
      CustomCounter counter(platform, name);
      if (counter.name() == "Big download") {
        counter.setCellularDataReceived(5281 * kMB);
        counter.setCellularDataTotal(5281 * kMB);
      }
      EXPECT_TRUE(CustomCounter::addCustomCounter(platform, counter).ok());
    }
    window = std::make_unique<MainWindow>(platform);
    window->show();
    EXPECT_TRUE(QTest::qWaitForWindowActive(window.get()));
    window->launch();
  }
  ~SafeActionsTest() override {
    if (QDialog* sheet = openSheet()) sheet->close();
    window.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }

  shell::UndoBar& bar() { return window->undoBar(); }

  FakePlatform platform;
  std::vector<History> history;
  std::unique_ptr<MainWindow> window;
};

// What is deleted, by the user's own gestures, and how to read it back from the store.
struct DeleteCase {
  const char* name;
  std::size_t storedIndex;  // where the deleted item stands in the stored list
  // Deletes the middle item.
  std::function<void(MainWindow&)> remove;
  // The middle item's identity and the stored list's identities, in order.
  // Every stored item with its identity and figures, in the stored order.
  std::function<std::vector<std::string>(FakePlatform&)> storedIds;
};

std::string historyText(const History& r) {
  return r.uniqueId().value_or("") + "/" + std::to_string(r.dataTotal().value_or(-1)) + "/" +
         std::to_string(r.dataSent().value_or(-1)) + "/" + std::to_string(r.historyType()) + "/" +
         std::to_string(r.startDate() ? r.startDate()->secondsSince1970 : -1);
}

const DeleteCase kDeleteCases[] = {
    {"billing period", 2,
     [](MainWindow& w) {
       w.tabs()->setCurrentIndex(kHistoryTab);
       HistoryScreen& list = w.historyList();
       list.editButton()->click();
       // Row 3 is the second closed period, the Wi-Fi one; the Delete key removes it in editing
       // mode.
       list.table()->setFocus();
       list.table()->setCurrentIndex(list.table()->model()->index(3, 0));
       QTest::keyClick(list.table(), Qt::Key_Delete);
     },
     [](FakePlatform& p) {
       std::vector<std::string> ids;
       for (const History& r : History::getAllHistoryLogs(p)) ids.push_back(historyText(r));
       return ids;
     }},
    {"counter", 1,
     [](MainWindow& w) {
       w.tabs()->setCurrentIndex(kCounterTab);
       CustomCounterScreen& list = w.counterList();
       list.findChild<QToolButton*>("editButton")->click();
       QWidget* row = list.list()->itemWidget(list.list()->item(1));
       QTest::mouseClick(row->findChild<QToolButton*>("deleteButton"), Qt::LeftButton);
     },
     [](FakePlatform& p) {
       std::vector<std::string> ids;
       for (const CustomCounter& c : CustomCounter::getAllCustomCounters(p)) {
         ids.push_back(c.uniqueId() + "/" + c.name() + "/" + std::to_string(c.cellularDataTotal()) +
                       "/" + std::to_string(c.cellularDataReceived()));
       }
       return ids;
     }},
};

class DeleteAndUndo : public SafeActionsTest, public ::testing::WithParamInterface<DeleteCase> {};

TEST_P(DeleteAndUndo, UndoPutsBackTheSameRecordWhereItStood) {
  const std::vector<std::string> before = GetParam().storedIds(platform);
  std::vector<std::string> without = before;
  without.erase(without.begin() + static_cast<std::ptrdiff_t>(GetParam().storedIndex));
  GetParam().remove(*window);
  ASSERT_TRUE(QTest::qWaitFor([&] { return bar().isVisible(); }, 2000));
  EXPECT_EQ(GetParam().storedIds(platform), without);
  if (std::string(GetParam().name) == "billing period") {
    window->grab().save(kestrio::testing::screenshotDirectory() + "/undo_bar_window.png");
  }
  QTest::mouseClick(bar().undoButton(), Qt::LeftButton);
  EXPECT_FALSE(bar().isVisible());
  // Same identity, same bytes, same place.
  EXPECT_EQ(GetParam().storedIds(platform), before);
  // Undo is taken once.
  EXPECT_FALSE(bar().isOffering());
}

TEST_P(DeleteAndUndo, ALapsedOfferLeavesItDeleted) {
  std::vector<std::string> without = GetParam().storedIds(platform);
  without.erase(without.begin() + static_cast<std::ptrdiff_t>(GetParam().storedIndex));
  bar().setTimeout(20);
  GetParam().remove(*window);
  ASSERT_TRUE(bar().isOffering());
  ASSERT_TRUE(QTest::qWaitFor([&] { return !bar().isVisible(); }, 2000));
  EXPECT_FALSE(bar().isOffering());
  // Ctrl+Z after the bar has gone undoes nothing.
  QTest::keyClick(window.get(), Qt::Key_Z, Qt::ControlModifier);
  EXPECT_EQ(GetParam().storedIds(platform), without);
}

INSTANTIATE_TEST_SUITE_P(Items, DeleteAndUndo, ::testing::ValuesIn(kDeleteCases),
                         kestrio::testing::NameField{});

TEST_F(SafeActionsTest, ARestoreThatCannotBeStoredSaysSo) {
  kDeleteCases[1].remove(*window);
  ASSERT_TRUE(bar().isOffering());
  platform.fakeFiles().failWrites(kestrio::testing::FakeFileSystem::Failure::DiskFull, 10);
  QTest::mouseClick(bar().undoButton(), Qt::LeftButton);
  const QList<QDialog*> dialogs = window->ui().openDialogs();
  ASSERT_EQ(dialogs.size(), 1);
  EXPECT_EQ(window->ui().alertOf(dialogs[0])->title, "Counter Not Saved");
  EXPECT_EQ(CustomCounter::getAllCustomCounters(platform).size(), 2u);
  window->ui().answer(dialogs[0], "OK");
}

// The clearing question holds the focus on Cancel: neither Return nor Escape clears.
struct KeyCase {
  const char* name;
  Qt::Key key;
};
const KeyCase kKeyCases[] = {{"Return", Qt::Key_Return}, {"Escape", Qt::Key_Escape}};

class ClearQuestion : public SafeActionsTest, public ::testing::WithParamInterface<KeyCase> {};

TEST_P(ClearQuestion, KeyOnTheFocusedCancelClearsNothing) {
  window->tabs()->setCurrentIndex(kHistoryTab);
  window->historyList().actionButton()->click();
  QDialog* actions = openSheet();
  ASSERT_NE(actions, nullptr);
  for (auto* button : actions->findChildren<QPushButton*>()) {
    if (button->text() == "Clear History") button->click();
  }
  QDialog* question = nullptr;
  ASSERT_TRUE(QTest::qWaitFor([&] { return (question = openSheet()) != nullptr; }, 2000));
  auto* focused = qobject_cast<QPushButton*>(question->focusWidget());
  ASSERT_NE(focused, nullptr);
  EXPECT_EQ(focused->text(), "Cancel");
  QTest::keyClick(focused, GetParam().key);
  EXPECT_TRUE(QTest::qWaitFor([&] { return openSheet() == nullptr; }, 2000));
  EXPECT_EQ(History::getAllHistoryLogs(platform).size(), 4u);
}

INSTANTIATE_TEST_SUITE_P(Keys, ClearQuestion, ::testing::ValuesIn(kKeyCases),
                         kestrio::testing::NameField{});

}  // namespace
}  // namespace kestrio::gui
