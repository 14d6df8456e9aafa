#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "counters/CounterTexts.h"
#include "counters/CustomCounterDetailViewController.h"
#include "counters/CustomCounterEditViewController.h"
#include "counters/CustomCounterViewController.h"
#include "counters/DatePickerViewController.h"
#include "counters/TextFieldViewController.h"
#include "services/Communications.h"
#include "services/NotificationCenter.h"
#include "support/FakePlatform.h"
#include "support/RecordingUi.h"

namespace kestrio {
namespace {

using testing::FakeFileSystem;
using testing::FakePlatform;
using testing::RecordingUi;

constexpr double kMB = 1048576;

// A view that counts what the controller asked of it.
struct RecordingView : CounterView {
  void reloadData() override { ++reloads; }
  void reloadDataAfter(double seconds) override { delays.push_back(seconds); }
  void deleteRow(int row) override { deleted.push_back(row); }
  void applyTheme() override { ++themes; }
  int reloads = 0;
  int themes = 0;
  std::vector<double> delays;
  std::vector<int> deleted;
};

class CounterScreensTest : public ::testing::Test {
 protected:
  CounterScreensTest() { platform.setNow(2026, 3, 10, 9, 30, 0); }

  CustomCounter counter(const std::string& name, bool cellular, bool wifi, int direction,
                        double cellSent = 0, double cellReceived = 0, double wifiSent = 0,
                        double wifiReceived = 0) {
    CustomCounter c(name, cellular, wifi, platform.now(), std::nullopt, direction, false);
    c.addDataToCounterWithDataSent(cellSent, cellReceived, CustomCounter::kCellular);
    c.addDataToCounterWithDataSent(wifiSent, wifiReceived, CustomCounter::kWiFi);
    return c;
  }
  std::vector<CustomCounter> stored() { return CustomCounter::getAllCustomCounters(platform); }
  std::vector<LocalNotification> scheduled() {
    return Communications::scheduledLocalNotifications(platform);
  }
  std::shared_ptr<CustomCounterViewController> list() {
    auto screen = std::make_shared<CustomCounterViewController>(platform, ui, center);
    screen->setView(&view);
    screen->viewWillAppear();
    return screen;
  }
  std::shared_ptr<CustomCounterEditViewController> editorPresented(std::size_t i = 0) {
    return std::dynamic_pointer_cast<CustomCounterEditViewController>(ui.presented.at(i).screen);
  }
  // One update pass: cellular first, then Wi-Fi.
  void pass(double cellSent, double cellReceived, double wifiSent, double wifiReceived) {
    CustomCounter::updateCustomCountersWithDataSentSinceLastRun(platform, cellSent, cellReceived,
                                                                "cellular");
    CustomCounter::updateCustomCountersWithDataSentSinceLastRun(platform, wifiSent, wifiReceived,
                                                                "wifi");
  }

  FakePlatform platform;
  NotificationCenter center;  // outlives the screens the recorder keeps
  RecordingUi ui;
  RecordingView view;
};

// --- The texts of the three screens, per network and direction ---

struct TextCase {
  bool cellular;
  bool wifi;
  int direction;
  const char* listSubtitle;
  const char* detailTracks;
  std::vector<std::string> detailFigures;  // section 2, row by row
  std::vector<std::string> editFigures;    // "title=value" of sections 4 and 5
};

// The networks and the direction the counter tracks: "CellularAndWifiSent".
std::string nameOf(const TextCase& t) {
  static const char* const kDirections[] = {"NoDirection", "Sent", "Received", "BothWays"};
  return std::string(t.cellular ? "Cellular" : "") + (t.cellular && t.wifi ? "And" : "") +
         (t.wifi ? "Wifi" : "") + kDirections[t.direction];
}

void PrintTo(const TextCase& t, std::ostream* os) {
  *os << nameOf(t);
}

class CounterTextsTest : public CounterScreensTest,
                         public ::testing::WithParamInterface<TextCase> {};

TEST_P(CounterTextsTest, ListDetailAndEditShowTheFiguresOfTheDirection) {
  const TextCase& t = GetParam();
  // Cellular: 1 MB sent, 2 MB received; Wi-Fi: 0.5 MB sent, 4 MB received.
  const CustomCounter c =
      counter("Trip", t.cellular, t.wifi, t.direction, kMB, 2 * kMB, 0.5 * kMB, 4 * kMB);
  EXPECT_EQ(counterListSubtitle(c, "MB"), t.listSubtitle);

  CustomCounterDetailViewController detail(platform, ui, center, c, "MB");
  EXPECT_EQ(detail.rowAt(0, 0).title, "Trip");
  EXPECT_EQ(detail.rowAt(0, 0).subtitle, t.detailTracks);
  std::vector<std::string> figures;
  for (int row = 0; row < detail.numberOfRowsInSection(2); ++row) {
    figures.push_back(detail.rowAt(2, row).title + ":" + detail.rowAt(2, row).subtitle);
  }
  EXPECT_EQ(figures, t.detailFigures);

  CustomCounterEditViewController edit(platform, ui, center, c, "MB", false);
  std::vector<std::string> rows;
  for (int section = 4; section < edit.numberOfSections() - 1; ++section) {
    rows.push_back("[" + edit.titleForHeaderInSection(section) + "]");
    for (int row = 0; row < edit.numberOfRowsInSection(section); ++row) {
      const auto r = edit.rowAt({section, row});
      rows.push_back(r.title + "=" + r.detail);
    }
  }
  EXPECT_EQ(rows, t.editFigures);
  EXPECT_EQ(edit.numberOfSections(), t.cellular && t.wifi ? 7 : 6);
  EXPECT_EQ(edit.rowAt({edit.numberOfSections() - 1, 0}).title, "Reset Counter");
}

INSTANTIATE_TEST_SUITE_P(
    Networks, CounterTextsTest,
    ::testing::Values(
        TextCase{true,
                 true,
                 3,
                 "Cellular  3.00 MB\nWi-Fi  4.50 MB",
                 "tracks sent & received, cellular (3G/Edge/GPRS) and Wi-Fi data",
                 {"Cellular: 2.00 MB received\n 1.00 MB sent\n 3.00 MB total",
                  "Wi-Fi: 4.00 MB received\n 0.50 MB sent\n 4.50 MB total"},
                 {"[Cellular Kestrio]", "Received= 2.00 MB", "Sent=1.00 MB", "Total=3.00 MB",
                  "[Wi-Fi Kestrio]", "Received= 4.00 MB", "Sent= 0.50 MB", "Total= 4.50 MB"}},
        TextCase{true,
                 true,
                 1,
                 "Cellular Sent 1.00 MB\nWi-Fi Sent 0.50 MB",
                 "tracks sent cellular (3G/Edge/GPRS) and Wi-Fi data",
                 {"Cellular:1.00 MB sent", "Wi-Fi:0.50 MB sent"},
                 {"[Cellular Kestrio]", "Sent=1.00 MB", "[Wi-Fi Kestrio]", "Sent= 0.50 MB"}},
        TextCase{false,
                 true,
                 2,
                 "Wi-Fi Received 4.00 MB",
                 "tracks received Wi-Fi data",
                 {"Wi-Fi: 4.00 MB received"},
                 {"[Wi-Fi Kestrio]", "Received= 4.00 MB"}},
        TextCase{true,
                 false,
                 2,
                 "Cellular Received 2.00 MB\n",
                 "tracks received cellular (3G/Eduge/GPRS) data",
                 {"Cellular: 2.00 MB received"},
                 {"[Cellular Kestrio]", "Received= 2.00 MB"}},
        // A direction no screen offers (an old archive) shows no figures at all.
        TextCase{true,
                 true,
                 0,
                 "",
                 "tracks cellular (3G/Edge/GPRS) and Wi-Fi data",
                 {"Cellular:", "Wi-Fi:"},
                 {"[Cellular Kestrio]", "[Wi-Fi Kestrio]"}}),
    [](const ::testing::TestParamInfo<TextCase>& param) { return nameOf(param.param); });

TEST_F(CounterScreensTest, DetailEndRowNamesTheDateAndTheAlert) {
  CustomCounter c = counter("C", true, true, 3);
  CustomCounterDetailViewController detail(platform, ui, center, c, "MB");
  EXPECT_EQ(detail.rowAt(1, 0).title, "No End Date");
  EXPECT_EQ(detail.rowAt(1, 0).subtitle, "no alert");
  detail.customCounter.setNotifyOnEnd(true);
  EXPECT_EQ(detail.rowAt(1, 0).subtitle, "no alert");  // nothing to announce without an end
  detail.customCounter.setEndDate(platform.at(2026, 3, 13, 18, 0));
  EXPECT_EQ(detail.rowAt(1, 0).title, "Ends on 3/13/26, 6:00\u202fPM");
  EXPECT_EQ(detail.rowAt(1, 0).subtitle, "alert is on");
  detail.customCounter.setNotifyOnEnd(false);
  EXPECT_EQ(detail.rowAt(1, 0).subtitle, "alert is off");
}

// --- The edit screen ---

TEST_F(CounterScreensTest, AddModeEditsANewCounterInFourSectionsAndStoresItOnlyOnSave) {
  auto screen = list();
  screen->addCounter();
  auto edit = editorPresented();
  edit->setView(&view);
  EXPECT_TRUE(edit->isAddMode);
  EXPECT_EQ(edit->title(), "Add Counter");
  EXPECT_EQ(edit->customCounter.name(), "New Counter");
  EXPECT_EQ(edit->numberOfSections(), 4);
  EXPECT_EQ(edit->titleForHeaderInSection(0), "");
  EXPECT_EQ(edit->titleForHeaderInSection(2), "End Date and Alert");
  EXPECT_EQ(edit->rowAt({2, 0}).detail, "No End Date");
  EXPECT_EQ(edit->trackSegment(), 2);
  EXPECT_EQ(edit->directionSegment(), 2);

  edit->trackSegmentChanged(1);
  edit->directionSegmentChanged(0);
  EXPECT_TRUE(stored().empty());  // nothing until Save
  ASSERT_TRUE(edit->saveAndDismissView());
  ASSERT_EQ(stored().size(), 1u);
  EXPECT_FALSE(stored()[0].trackCellular());
  EXPECT_EQ(stored()[0].direction(), CustomCounter::kDirectionReceived);
  EXPECT_EQ(ui.dismissed.back(), edit.get());
  // The list shows what was stored as soon as the editor closes.
  EXPECT_EQ(screen->numberOfRows(), 1);
}

TEST_F(CounterScreensTest, TrackChangesRedrawAtOnceAndKeepWhatWasCounted) {
  (void)CustomCounter::addCustomCounter(platform, counter("C", true, true, 3, 10, 20, 30, 40));
  CustomCounterEditViewController edit(platform, ui, center, stored()[0], "MB", false);
  edit.setView(&view);
  edit.trackSegmentChanged(0);
  EXPECT_EQ(view.reloads, 1);
  EXPECT_EQ(edit.numberOfSections(), 6);
  EXPECT_EQ(edit.titleForHeaderInSection(4), "Cellular Kestrio");
  ASSERT_TRUE(edit.saveAndDismissView());
  EXPECT_EQ(stored()[0].wifiDataTotal(), 70.0);
  EXPECT_FALSE(stored()[0].trackWiFi());
}

TEST_F(CounterScreensTest, SaveKeepsTrafficCountedWhileTheScreenWasOpen) {
  (void)CustomCounter::addCustomCounter(platform, counter("C", true, true, 3));
  CustomCounterEditViewController edit(platform, ui, center, stored()[0], "MB", false);
  pass(100, 200, 0, 0);  // the daemon counts while the user types
  edit.textViewControllerDidFinish(*std::make_shared<TextFieldViewController>(ui), "Renamed", {});
  ASSERT_TRUE(edit.saveAndDismissView());
  EXPECT_EQ(stored()[0].name(), "Renamed");
  EXPECT_EQ(stored()[0].cellularDataTotal(), 300.0);
}

struct ResetCase {
  bool save;
  double expectedCellularTotal;
};

const char* nameOf(const ResetCase& c) {
  return c.save ? "Saved" : "Cancelled";
}

void PrintTo(const ResetCase& c, std::ostream* os) {
  *os << nameOf(c);
}

class EditResetTest : public CounterScreensTest, public ::testing::WithParamInterface<ResetCase> {};

TEST_P(EditResetTest, ResetIsStoredOnlyBySave) {
  (void)CustomCounter::addCustomCounter(platform, counter("C", true, true, 3, 10, 20, 30, 40));
  CustomCounterEditViewController edit(platform, ui, center, stored()[0], "MB", false);
  edit.setView(&view);
  edit.resetCounterTapped();
  ASSERT_EQ(ui.sheets.size(), 1u);
  EXPECT_EQ(ui.sheets[0].sheet.title, "Reset data usage for this counter to zero?");
  EXPECT_EQ(ui.sheets[0].sheet.buttons[0], "Reset Counter");
  EXPECT_EQ(ui.sheets[0].sheet.destructiveButtonIndex, 0);
  ui.tapSheet(1);  // Cancel on the sheet: nothing happens
  EXPECT_EQ(edit.customCounter.cellularDataTotal(), 30.0);
  edit.resetCounterTapped();
  ui.tapSheet(0);
  EXPECT_EQ(edit.customCounter.cellularDataTotal() + edit.customCounter.wifiDataTotal(), 0.0);
  EXPECT_EQ(edit.rowAt({4, 2}).detail, "0.00 MB");
  pass(1, 2, 0, 0);
  GetParam().save ? (void)edit.saveAndDismissView() : edit.cancelAndDismissView();
  EXPECT_EQ(stored()[0].cellularDataTotal(), GetParam().expectedCellularTotal);
  EXPECT_EQ(stored()[0].wifiDataTotal(), GetParam().save ? 0.0 : 70.0);
}

INSTANTIATE_TEST_SUITE_P(SaveOrCancel, EditResetTest,
                         ::testing::Values(ResetCase{true, 0.0}, ResetCase{false, 33.0}),
                         [](const ::testing::TestParamInfo<ResetCase>& c) {
                           return std::string(nameOf(c.param));
                         });

TEST_F(CounterScreensTest, EndDateAndAlertDecideTheEndNotification) {
  // Added with an alert and an end: announced at the end.
  CustomCounter ending = counter("Trip", false, true, 2);
  ending.setEndDate(platform.at(2026, 3, 13, 18, 0));
  ending.setNotifyOnEnd(true);
  auto screen = list();
  screen->addCounter();
  auto add = editorPresented();
  add->customCounter = ending;
  ASSERT_TRUE(add->saveAndDismissView());
  ASSERT_EQ(scheduled().size(), 1u);
  EXPECT_EQ(scheduled()[0].alertBody, "Custom Counter Trip Ended!");
  EXPECT_EQ(scheduled()[0].fireDate, platform.at(2026, 3, 13, 18, 0));

  // Edited to "No End Date" with the alert still on: the notification goes, none comes.
  CustomCounterEditViewController edit(platform, ui, center, stored()[0], "MB", false);
  edit.setView(&view);
  edit.didSelectRowAtIndexPath({2, 0});
  auto pane = std::dynamic_pointer_cast<DatePickerViewController>(ui.presented.back().screen);
  ASSERT_TRUE(pane);
  pane->viewWillAppear();
  EXPECT_EQ(pane->initialDate, platform.at(2026, 3, 13, 18, 0));
  pane->noEndDateSelected();
  pane->done();
  EXPECT_EQ(view.delays, std::vector<double>{0.5});
  EXPECT_EQ(edit.rowAt({2, 0}).detail, "No End Date");
  ASSERT_TRUE(edit.saveAndDismissView());
  EXPECT_FALSE(stored()[0].endDate());
  EXPECT_TRUE(stored()[0].notifyOnEnd());
  EXPECT_TRUE(scheduled().empty());
}

TEST_F(CounterScreensTest, NamePaneHandsBackTheOldTextWhenCancelled) {
  CustomCounterEditViewController edit(platform, ui, center, counter("Old", true, true, 3), "MB",
                                       false);
  edit.setView(&view);
  edit.didSelectRowAtIndexPath({0, 0});
  auto pane = std::dynamic_pointer_cast<TextFieldViewController>(ui.presented.back().screen);
  ASSERT_TRUE(pane);
  EXPECT_EQ(pane->placeholderText, "counter name");
  EXPECT_EQ(pane->indexPath, (IndexPath{0, 0}));
  pane->viewWillAppear();
  pane->textField = "Typed";
  pane->cancel();
  EXPECT_EQ(edit.customCounter.name(), "Old");
  EXPECT_EQ(ui.dismissed.back(), pane.get());
  edit.didSelectRowAtIndexPath({0, 0});
  auto again = std::dynamic_pointer_cast<TextFieldViewController>(ui.presented.back().screen);
  again->viewWillAppear();
  again->textField = "";  // an empty name is kept as typed
  again->done();
  EXPECT_EQ(edit.customCounter.name(), "");
  EXPECT_EQ(view.delays, (std::vector<double>{0.25, 0.25}));
}

TEST_F(CounterScreensTest, SaveThatCannotBeStoredSaysSoAndKeepsTheScreenOpen) {
  (void)CustomCounter::addCustomCounter(platform, counter("C", true, true, 3));
  CustomCounterEditViewController edit(platform, ui, center, stored()[0], "MB", false);
  edit.customCounter.setName("New name");
  platform.fakeFiles().failWrites(FakeFileSystem::Failure::DiskFull);
  EXPECT_FALSE(edit.saveAndDismissView());
  ASSERT_EQ(ui.shown.size(), 1u);
  EXPECT_EQ(ui.latest().title, "Counter Not Saved");
  EXPECT_TRUE(ui.dismissed.empty());
  EXPECT_EQ(stored()[0].name(), "C");

  // Removed meanwhile by another window or command: said, not silently dropped.
  (void)CustomCounter::removeCustomCounter(platform, stored()[0]);
  EXPECT_FALSE(edit.saveAndDismissView());
  EXPECT_NE(ui.latest().message.find("no longer stored"), std::string::npos);
  EXPECT_TRUE(stored().empty());
}

TEST_F(CounterScreensTest, EditScreenFollowsTheThemeWhileItLives) {
  auto edit = std::make_unique<CustomCounterEditViewController>(platform, ui, center, std::nullopt,
                                                                "MB", true);
  edit->setView(&view);
  center.post(kProgressBarMileStoneNotification, {{"dataType", 1}});
  EXPECT_EQ(view.themes, 1);
  edit.reset();
  center.post(kProgressBarMileStoneNotification, {{"dataType", 2}});  // no observer left
  EXPECT_EQ(view.themes, 1);
}

// --- The date pane ---

TEST_F(CounterScreensTest, DatePaneNeverOffersAMomentBeforeNow) {
  DatePickerViewController pane(platform, ui);
  pane.initialDate = platform.at(2026, 3, 1);  // an end that has passed
  pane.viewWillAppear();
  EXPECT_EQ(pane.minimumDate, platform.now());
  EXPECT_EQ(pane.datePicker, platform.now());
  EXPECT_EQ(pane.txtDate, "3/1/26, 12:00\u202fAM");

  struct Recorder : DatePickerViewControllerDelegate {
    void datePickerViewControllerDidFinish(DatePickerViewController&,
                                           std::optional<Date> date) override {
      results.push_back(date);
    }
    void datePickerViewControllerDidFinishWithCancel(DatePickerViewController&) override {
      ++cancels;
    }
    std::vector<std::optional<Date>> results;
    int cancels = 0;
  } recorder;
  pane.delegate = &recorder;
  pane.done();  // untouched: the end stays as it was
  pane.setSelectedDate(platform.at(2026, 2, 1));
  EXPECT_EQ(pane.datePicker, platform.now());
  pane.setSelectedDate(platform.at(2026, 3, 20, 8, 15));
  EXPECT_EQ(pane.txtDate, "3/20/26, 8:15\u202fAM");
  pane.done();
  pane.noEndDateSelected();
  pane.done();
  pane.cancel();
  EXPECT_EQ(recorder.results,
            (std::vector<std::optional<Date>>{platform.at(2026, 3, 1),
                                              platform.at(2026, 3, 20, 8, 15), std::nullopt}));
  EXPECT_EQ(recorder.cancels, 1);
}

// --- The list ---

TEST_F(CounterScreensTest, SwitchPausesTheStoredCounterWithoutLosingTrafficCountedMeanwhile) {
  (void)CustomCounter::addCustomCounter(platform, counter("A", true, true, 3));
  (void)CustomCounter::addCustomCounter(platform, counter("B", true, true, 3));
  auto screen = list();
  pass(10, 10, 0, 0);  // counted after the list appeared
  screen->switchChanged(1, false);
  EXPECT_TRUE(stored()[1].isPaused());
  EXPECT_FALSE(stored()[0].isPaused());
  EXPECT_EQ(stored()[0].cellularDataTotal(), 20.0);
  EXPECT_FALSE(screen->switchIsOn(1));
  EXPECT_EQ(screen->subtitleForRow(0), "Cellular  0.00 MB\nWi-Fi  0.00 MB");
  screen->switchChanged(1, true);
  EXPECT_FALSE(stored()[1].isPaused());
}

TEST_F(CounterScreensTest, DeletingFromTheListCancelsTheEndNotification) {
  CustomCounter ending = counter("Trip", true, true, 3);
  ending.setEndDate(platform.at(2026, 3, 13));
  ending.setNotifyOnEnd(true);
  (void)CustomCounter::addCustomCounter(platform, ending);
  (void)CustomCounter::addCustomCounter(platform, counter("Other", true, true, 3));
  ASSERT_EQ(scheduled().size(), 1u);
  auto screen = list();
  screen->setEditing(true);
  screen->commitDelete(0);
  EXPECT_EQ(view.deleted, std::vector<int>{0});
  EXPECT_EQ(screen->numberOfRows(), 1);
  ASSERT_EQ(stored().size(), 1u);
  EXPECT_EQ(stored()[0].name(), "Other");
  EXPECT_TRUE(scheduled().empty());
}

TEST_F(CounterScreensTest, MovingARowLogsItAndShowsTheStoredList) {
  for (const char* name : {"A", "B", "C"}) {
    (void)CustomCounter::addCustomCounter(platform, counter(name, true, true, 3));
  }
  auto screen = list();
  pass(5, 5, 0, 0);  // the list's copy is now older than the archive
  screen->moveRow(0, 2);
  EXPECT_NE(std::find(platform.logLines.begin(), platform.logLines.end(), "Move Row 0 to row 2"),
            platform.logLines.end());
  std::vector<std::string> names;
  for (int row = 0; row < screen->numberOfRows(); ++row) names.push_back(screen->titleForRow(row));
  EXPECT_EQ(names, (std::vector<std::string>{"B", "C", "A"}));
  EXPECT_EQ(screen->subtitleForRow(2), "Cellular  0.00 MB\nWi-Fi  0.00 MB");
  EXPECT_EQ(screen->customCounterData[2].cellularDataTotal(), 10.0);
  screen->moveRow(1, 1);  // onto itself: the order stays
  EXPECT_EQ(stored()[1].name(), "C");
}

TEST_F(CounterScreensTest, SelectingARowShowsTheDetailOrTheEditorAndTheDetailShowsTheSavedState) {
  (void)CustomCounter::addCustomCounter(platform, counter("A", true, true, 3));
  auto screen = list();
  screen->didSelectRow(0);
  ASSERT_EQ(ui.pushed.size(), 1u);
  auto detail = std::dynamic_pointer_cast<CustomCounterDetailViewController>(ui.pushed[0].screen);
  ASSERT_TRUE(detail);
  RecordingView detailView;
  detail->setView(&detailView);
  detail->showEditView();
  auto edit = editorPresented();
  ASSERT_TRUE(edit && !edit->isAddMode);
  edit->customCounter.setName("Renamed");
  edit->trackSegmentChanged(1);
  ASSERT_TRUE(edit->saveAndDismissView());
  EXPECT_EQ(detail->rowAt(0, 0).title, "Renamed");
  EXPECT_EQ(detail->numberOfRowsInSection(2), 1);
  EXPECT_GE(detailView.reloads, 1);

  // Edited and cancelled: the detail shows the stored state, not the abandoned edit.
  detail->showEditView();
  auto abandoned = editorPresented(1);
  abandoned->customCounter.setName("Abandoned");
  abandoned->cancelAndDismissView();
  EXPECT_EQ(detail->rowAt(0, 0).title, "Renamed");

  screen->setEditing(true);
  screen->didSelectRow(0);
  EXPECT_EQ(ui.presented.size(), 3u);
  EXPECT_EQ(ui.pushed.size(), 1u);
}

}  // namespace
}  // namespace kestrio
