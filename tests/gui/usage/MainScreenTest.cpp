#include <gtest/gtest.h>

#include <QDesktopServices>
#include <QDialog>
#include <QFont>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScrollArea>
#include <QSignalSpy>
#include <QTableView>
#include <QTest>
#include <QToolButton>
#include <QUrl>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "app/MainViewController.h"
#include "app/Theme.h"
#include "engine/AppData.h"
#include "engine/AppSettings.h"
#include "gui/QtApp.h"
#include "gui/shell/QtUi.h"
#include "gui/theme/ThemeStyle.h"
#include "gui/usage/ConnectionList.h"
#include "gui/usage/DetailTableModel.h"
#include "gui/usage/MainScreen.h"
#include "gui/usage/UsageGaugeWidget.h"
#include "services/NotificationCenter.h"
#include "support/FakePlatform.h"

namespace kestrio::gui {
namespace {

using kestrio::testing::FakePlatform;

constexpr std::uint64_t kMB = 1048576;
constexpr QSize kPortrait(420, 940);
constexpr QSize kLandscape(1100, 640);

QString qs(const std::string& text) {
  return QString::fromStdString(text);
}

// Lets queued work (layouts, the theme after a change of band) run.
void settle() {
  QCoreApplication::processEvents();
}

// One usage screen on a fake platform: the clock stands at March 10, 12:00, in a period that
// starts on the 1st (31 days, so the ideal usage by now is about 306 MB of a 1000 MB quota).
struct World {
  explicit World(bool cellular, std::optional<int> quotaMB = 1000) {
    kestrio::testing::qtApp();
    platform.setNow(2026, 3, 10, 12, 0, 0);
    platform.setBoot(1767225600, "boot-a");
    AppSettings(platform).getSettings();
    UserDefaults& defaults = platform.userDefaults();
    defaults.setInteger(AppSettings::kCellularDataLimit, quotaMB.value_or(0));
    defaults.setString(AppSettings::kCellularDataLimitUnit, "MB");
    defaults.setInteger(AppSettings::kWifiDataLimit, quotaMB.value_or(0));
    defaults.setString(AppSettings::kWifiDataLimitUnit, "MB");
    defaults.synchronize();
    // The dialogs' parent stands for the window, which carries the theme.
    applyTheme(&host, platform, true);
    screen = std::make_unique<MainScreen>(platform, ui, center, cellular);
    screen->resize(kPortrait);
    screen->show();
    // The first pass only learns the counters; usage counts from there.
    platform.setCounters("wwan0", 0, 0, InterfaceKind::Cellular);
    platform.setCounters("wlan0", 0, 0, InterfaceKind::Wifi);
    screen->refresh();
  }

  // A refresh after this much traffic on both networks since the first pass.
  void useMB(double receivedMB, double sentMB) {
    const auto rx = static_cast<std::uint64_t>(receivedMB * kMB);
    const auto tx = static_cast<std::uint64_t>(sentMB * kMB);
    platform.setCounters("wwan0", rx, tx, InterfaceKind::Cellular);
    platform.setCounters("wlan0", rx, tx, InterfaceKind::Wifi);
    screen->refresh();
    settle();  // the theme follows a change of band once the gauge has painted
  }

  QString text(const char* objectName) const {
    QLabel* label = screen->label(QString::fromLatin1(objectName));
    return label ? label->text() : QStringLiteral("<missing %1>").arg(objectName);
  }
  bool shown(const char* objectName) const {
    QLabel* label = screen->label(QString::fromLatin1(objectName));
    return label && label->isVisibleTo(screen.get());
  }
  double storedPeriodMB(const char* type) {
    AppData record(platform);
    record.getAppData(type);
    return record.dataThisMonth().value_or(-1) / static_cast<double>(kMB);
  }
  QDialog* onlyDialog() const {
    const QList<QDialog*> open = ui.openDialogs();
    return open.size() == 1 ? open.front() : nullptr;
  }
  MainViewController& controller() { return screen->controller(); }

  FakePlatform platform;
  NotificationCenter center;
  QWidget host;
  QtUi ui{&host};
  std::unique_ptr<MainScreen> screen;
};

class MainScreenTest : public ::testing::Test {
 protected:
  MainScreenTest() { kestrio::testing::qtApp(); }
};

TEST_F(MainScreenTest, ARefreshShowsTheControllersTextsInTheStatusArea) {
  World w(true);
  w.useMB(330, 120);  // 450 MB: ahead of the ideal line
  const NetworkStatus& s = w.controller().cellular;

  EXPECT_EQ(w.text("titleLabel"), "CELLULAR");
  EXPECT_EQ(w.text("lblMonthlyUsage"), "450.00");
  EXPECT_EQ(w.text("unitTitle"), "MB");
  EXPECT_EQ(w.text("lblAvailable"), "OF 1000.0 MB USED");
  EXPECT_EQ(w.text("lblIdealActualDiff"), "CAUTION");
  EXPECT_EQ(w.text("lblDays"), qs(s.lblDays.text));
  EXPECT_FALSE(s.lblDays.text.empty());
  EXPECT_EQ(w.text("lblMonthlyUsageSent"), "120.00 MB");
  EXPECT_EQ(w.text("lblMonthlyUsageRecd"), "330.00 MB");
  for (const auto& [name, label] : std::vector<std::pair<const char*, const Label*>>{
           {"lblRemainingUsage", &s.lblRemainingUsage},
           {"lblDailySuggested", &s.lblDailySuggested},
           {"lblIdealUsage", &s.lblIdealUsage},
           {"lblQuotaOverDate", &s.lblQuotaOverDate},
           {"lblProjected", &s.lblProjected},
           {"lblNextBillingDate", &s.lblNextBillingDate},
           {"lblCurrentPeriod", &s.lblCurrentPeriod}}) {
    EXPECT_EQ(w.text(name), qs(label->text)) << name;
    EXPECT_FALSE(label->text.empty()) << name;
    EXPECT_TRUE(w.shown(name)) << name;
  }
  EXPECT_EQ(w.text("placeLabel"), qs(w.controller().placeLabel.text));
  EXPECT_TRUE(w.text("updatedLabel").startsWith("Updated: "))
      << w.text("updatedLabel").toStdString();

  // The gauge draws what the controller computed, and the status icon is there.
  EXPECT_EQ(w.screen->gaugeWidget()->gauge().usageText, "45.0%");
  EXPECT_NEAR(w.screen->gaugeWidget()->gauge().currentUsagePercent, 45.0f, 0.01f);
  EXPECT_TRUE(w.screen->gaugeWidget()->isVisibleTo(w.screen.get()));
  QLabel* icon = w.screen->findChild<QLabel*>("statusImage");
  ASSERT_NE(icon, nullptr);
  EXPECT_FALSE(icon->pixmap().isNull());

  // The other network's status is hidden after the refresh.
  EXPECT_FALSE(w.shown("lblMonthlyUsageWifi"));
  EXPECT_FALSE(w.shown("lblAvailableWifi"));
  EXPECT_FALSE(w.shown("lblMonthlyUsageSentWifi"));
  EXPECT_TRUE(w.ui.openDialogs().isEmpty());
}

TEST_F(MainScreenTest, TheDetailTableShowsTheFourteenRowsOfTheController) {
  World w(true);
  w.useMB(300, 100);
  QTableView* table = w.screen->detailTable();
  QAbstractItemModel* model = table->model();
  ASSERT_EQ(model, w.screen->detailModel());
  ASSERT_EQ(model->rowCount(), MainViewController::kDetailRows);
  ASSERT_EQ(model->columnCount(), 2);

  const QColor network = toQColor(KestrioColors::cellularProgressColor(w.platform));
  for (int row = 0; row < MainViewController::kDetailRows; ++row) {
    const QModelIndex title = model->index(row, DetailTableModel::kTitleColumn);
    const QModelIndex value = model->index(row, DetailTableModel::kValueColumn);
    EXPECT_EQ(title.data().toString(), QString::fromUtf8(MainViewController::detailTitle(row)));
    EXPECT_EQ(value.data().toString(), qs(w.controller().detailValue(row))) << row;
    EXPECT_EQ(value.data(Qt::ForegroundRole).value<QColor>(), network);
    EXPECT_EQ(title.data(Qt::ForegroundRole).value<QColor>(),
              toQColor(KestrioColors::tableCellForegroundColor()));
    EXPECT_TRUE(value.data(Qt::TextAlignmentRole).value<Qt::Alignment>() & Qt::AlignRight);
    EXPECT_TRUE(title.data(Qt::TextAlignmentRole).value<Qt::Alignment>() & Qt::AlignLeft);
    EXPECT_EQ(value.data(Qt::FontRole).value<QFont>().pixelSize(), 16);
    EXPECT_FALSE(model->flags(value) & (Qt::ItemIsSelectable | Qt::ItemIsEditable));
    EXPECT_EQ(table->rowHeight(row), 50);
  }
  // The rows carry the period's figures, not placeholders.
  EXPECT_EQ(model->index(10, 1).data().toString(), "300.00 MB");  // RECEIVED
  EXPECT_EQ(model->index(11, 1).data().toString(), "100.00 MB");  // SENT
  EXPECT_EQ(table->selectionMode(), QAbstractItemView::NoSelection);
  EXPECT_EQ(table->editTriggers(), QAbstractItemView::NoEditTriggers);
  EXPECT_TRUE(table->horizontalHeader()->isHidden());
  EXPECT_TRUE(table->verticalHeader()->isHidden());

  // A reload follows the controller's next state.
  QSignalSpy resets(model, &QAbstractItemModel::modelReset);
  w.useMB(500, 100);
  EXPECT_GE(resets.count(), 1);
  EXPECT_EQ(model->index(10, 1).data().toString(), "500.00 MB");
}

TEST_F(MainScreenTest, TheWifiScreenShowsWifiFiguresAndHidesTheCellularStatus) {
  World w(false);
  w.platform.setCounters("wwan0", 50 * kMB, 0, InterfaceKind::Cellular);
  w.platform.setCounters("wlan0", 700 * kMB, 20 * kMB, InterfaceKind::Wifi);
  w.screen->refresh();

  EXPECT_EQ(w.screen->layoutName(), "WiFiUsageView");
  EXPECT_FALSE(w.controller().isCellularMode);
  EXPECT_EQ(w.text("titleLabel"), "Wi-Fi");
  EXPECT_EQ(w.text("lblMonthlyUsageWifi"), "720.00");
  EXPECT_TRUE(w.shown("lblMonthlyUsageWifi"));
  EXPECT_TRUE(w.shown("lblIdealActualDiffWifi"));
  EXPECT_EQ(w.text("lblIdealActualDiffWifi"), qs(w.controller().wifi.lblIdealActualDiff.text));
  for (const char* name : {"lblMonthlyUsage", "lblAvailable", "lblRemainingUsage", "lblDays",
                           "lblIdealActualDiff", "lblMonthlyUsageSent", "lblCurrentPeriod"}) {
    EXPECT_FALSE(w.shown(name)) << name;
  }
  QWidget* cellularGauge = w.screen->findChild<QWidget*>("visualView");
  QWidget* wifiGauge = w.screen->findChild<QWidget*>("visualViewWifi");
  ASSERT_NE(cellularGauge, nullptr);
  ASSERT_NE(wifiGauge, nullptr);
  EXPECT_FALSE(cellularGauge->isVisibleTo(w.screen.get()));
  EXPECT_TRUE(wifiGauge->isVisibleTo(w.screen.get()));
  EXPECT_EQ(wifiGauge, w.screen->gaugeWidget());
  EXPECT_EQ(w.screen->gaugeWidget()->gauge().dataType, 2);
  // The table reads the Wi-Fi record.
  EXPECT_EQ(w.screen->detailModel()->index(10, 1).data().toString(), "700.00 MB");
}

TEST_F(MainScreenTest, TheAdjustmentPromptAppliesATypedAmountAndRefusesText) {
  World w(true);
  w.useMB(300, 150);

  w.screen->editButton()->click();
  QDialog* prompt = w.onlyDialog();
  ASSERT_NE(prompt, nullptr);
  EXPECT_EQ(w.ui.alertOf(prompt)->title, "enter adjusted cellular usage");
  auto* field = prompt->findChild<QLineEdit*>(QtUi::kTextFieldName);
  ASSERT_NE(field, nullptr);
  EXPECT_EQ(field->text(), "450");
  EXPECT_TRUE(field->inputMethodHints() & Qt::ImhFormattedNumbersOnly);
  EXPECT_TRUE(prompt->grab().save(kestrio::testing::screenshotDirectory() + "/adjust-prompt.png"));

  // Not a number: refused, said so, and the period keeps its usage.
  ASSERT_TRUE(w.ui.answer(prompt, "OK", "abc"));
  QDialog* refusal = w.onlyDialog();
  ASSERT_NE(refusal, nullptr);
  EXPECT_EQ(w.ui.alertOf(refusal)->title, "Not a number");
  EXPECT_DOUBLE_EQ(w.storedPeriodMB("cellular"), 450.0);
  EXPECT_EQ(w.text("lblMonthlyUsage"), "450.00");
  ASSERT_TRUE(w.ui.answer(refusal, "OK"));
  EXPECT_TRUE(w.ui.openDialogs().isEmpty());

  // Cancel changes nothing.
  w.screen->editButton()->click();
  ASSERT_NE(w.onlyDialog(), nullptr);
  ASSERT_TRUE(w.ui.answer(w.onlyDialog(), "Cancel", "999"));
  EXPECT_TRUE(w.ui.openDialogs().isEmpty());
  EXPECT_DOUBLE_EQ(w.storedPeriodMB("cellular"), 450.0);

  // A number typed by the user becomes the period's usage, split as before, and is shown.
  w.screen->editButton()->click();
  prompt = w.onlyDialog();
  ASSERT_NE(prompt, nullptr);
  field = prompt->findChild<QLineEdit*>(QtUi::kTextFieldName);
  field->clear();
  QTest::keyClicks(field, "600");
  QPushButton* ok = nullptr;
  for (QPushButton* button : prompt->findChildren<QPushButton*>()) {
    if (button->text() == "OK") ok = button;
  }
  ASSERT_NE(ok, nullptr);
  QTest::mouseClick(ok, Qt::LeftButton);
  EXPECT_TRUE(w.ui.openDialogs().isEmpty());
  EXPECT_DOUBLE_EQ(w.storedPeriodMB("cellular"), 600.0);
  EXPECT_EQ(w.text("lblMonthlyUsage"), "600.00");
  EXPECT_EQ(w.text("lblMonthlyUsageSent"), "200.00 MB");
  EXPECT_DOUBLE_EQ(w.storedPeriodMB("wifi"), 450.0);
}

TEST_F(MainScreenTest, TheResetButtonAsksFirst) {
  World w(false);
  w.useMB(200, 40);

  w.screen->resetButton()->click();
  QDialog* ask = w.onlyDialog();
  ASSERT_NE(ask, nullptr);
  EXPECT_EQ(w.ui.alertOf(ask)->title, "Reset WiFi Usage");
  ASSERT_TRUE(w.ui.answer(ask, "Cancel"));
  EXPECT_DOUBLE_EQ(w.storedPeriodMB("wifi"), 240.0);

  w.screen->resetButton()->click();
  ASSERT_TRUE(w.ui.answer(w.onlyDialog(), "Reset"));
  EXPECT_DOUBLE_EQ(w.storedPeriodMB("wifi"), 0.0);
  EXPECT_DOUBLE_EQ(w.storedPeriodMB("cellular"), 240.0);
  EXPECT_EQ(w.text("lblMonthlyUsageWifi"), "0.00");
}

TEST_F(MainScreenTest, AWindowWiderThanTallPutsTheStatusAndTheTableSideBySide) {
  World w(true);
  w.useMB(300, 100);
  QWidget* status = w.screen->findChild<QScrollArea*>("statusScroll");
  QTableView* table = w.screen->detailTable();
  ASSERT_NE(status, nullptr);

  EXPECT_FALSE(w.screen->isLandscape());
  EXPECT_GE(table->geometry().top(), status->geometry().bottom());

  w.screen->resize(kLandscape);
  settle();
  EXPECT_TRUE(w.screen->isLandscape());
  EXPECT_EQ(w.screen->layoutName(), "CellularUsageViewLS");
  EXPECT_GE(table->geometry().left(), status->geometry().right());
  EXPECT_EQ(table->geometry().top(), status->geometry().top());
  // A refresh in landscape still shows the cellular network.
  w.useMB(320, 100);
  EXPECT_TRUE(w.controller().isCellularMode);
  EXPECT_EQ(w.text("lblMonthlyUsage"), "420.00");

  w.screen->resize(kPortrait);
  settle();
  EXPECT_FALSE(w.screen->isLandscape());
  EXPECT_EQ(w.screen->layoutName(), "CellularUsageView");
  EXPECT_GE(table->geometry().top(), status->geometry().bottom());

  // Wider than tall, but too narrow for both halves: stacked, so no value is cut off.
  w.screen->resize(520, 400);
  settle();
  EXPECT_FALSE(w.screen->isLandscape());
  for (int row = 0; row < table->model()->rowCount(); ++row) {
    const QModelIndex value = table->model()->index(row, 1);
    EXPECT_LE(table->sizeHintForIndex(value).width(), table->columnWidth(1)) << row;
  }
}

TEST_F(MainScreenTest, ANewColourBandRethemesTheScreenAndTheTable) {
  World w(true);
  w.useMB(100, 20);  // green
  w.screen->grab();
  settle();
  const QString red = toQColor(KestrioColors::progressColor3()).name();
  EXPECT_FALSE(w.screen->styleSheet().contains(red, Qt::CaseInsensitive));

  w.useMB(1000, 150);  // 115 %: red; the refresh stores the band and announces it
  w.screen->grab();
  settle();
  EXPECT_EQ(w.platform.userDefaults().stringForKey("currentProgBarColor").value_or(""), "R");
  EXPECT_TRUE(w.screen->styleSheet().contains(red, Qt::CaseInsensitive));
  // The figures are written in the red lightened to be read on the table's cells.
  EXPECT_EQ(w.screen->detailModel()->index(0, 1).data(Qt::ForegroundRole).value<QColor>().name(),
            legibleOn(toQColor(KestrioColors::progressColor3()),
                      toQColor(KestrioColors::tableCellBackgroundColor()))
                .name());
  EXPECT_EQ(w.text("lblIdealActualDiff"), "OVERAGE");

  // A screen that is gone no longer listens.
  w.screen.reset();
  w.center.post(kProgressBarMileStoneNotification, {{"dataType", 1}});
  settle();
}

// Painting only paints: the refresh decided and stored the band, so drawing the screen again and
// again across a change of band takes no lock and writes no file.
TEST_F(MainScreenTest, PaintingTakesNoLockAndWritesNoFile) {
  World w(true);
  w.useMB(100, 20);  // green
  w.screen->grab();
  settle();
  const kestrio::testing::FakeFileSystem& disk = w.platform.fakeFiles();
  const int locks = disk.locksTaken();
  const int writes = disk.writeCount();
  UsageGauge& gauge = w.controller().cellular.visualView;
  for (int i = 0; i < 100; ++i) {
    gauge.currentUsagePercent = i % 2 ? 115.0f : 10.0f;
    gauge.colourLetter = i % 2 ? "R" : "G";
    w.screen->setNeedsDisplay();
    w.screen->grab();
    settle();
  }
  EXPECT_EQ(disk.locksTaken(), locks);
  EXPECT_EQ(disk.writeCount(), writes);
  const QImage last = w.screen->gaugeWidget()->grab().toImage();
  EXPECT_EQ(QColor(last.pixel(20, 3)).name(), toQColor(KestrioColors::progressColor3()).name());
}

TEST_F(MainScreenTest, TheStartupScreenSettingAsksForItsTab) {
  World w(true);
  QSignalSpy tabs(w.screen.get(), &MainScreen::tabRequested);
  w.platform.userDefaults().setString(AppSettings::kStartupScreen, "WIFI");
  w.screen->refresh();
  ASSERT_GE(tabs.count(), 1);
  EXPECT_EQ(tabs.last().at(0).toInt(), 1);
}

// The dialogs themselves: button order, answers, and closing without a button.
class RecordingDelegate : public AlertDelegate {
 public:
  void clickedButtonAtIndex(const Alert& alert, int index) override {
    answers.emplace_back(alert, index);
  }
  std::vector<std::pair<Alert, int>> answers;
};

TEST_F(MainScreenTest, DialogsAnswerWithTheButtonsIndexAndTheTypedText) {
  QWidget host;
  QtUi ui(&host);
  RecordingDelegate delegate;
  QSignalSpy shown(&ui, &QtUi::alertShown);

  ui.showAlert(Alert{"Pick", "Which one?", "Cancel", {"First", "Second"}, std::nullopt}, &delegate);
  ASSERT_EQ(shown.count(), 1);
  EXPECT_EQ(shown.at(0).at(1).value<QDialog*>(), ui.openDialogs().value(0));
  QDialog* dialog = ui.openDialogs().value(0);
  ASSERT_NE(dialog, nullptr);
  EXPECT_TRUE(dialog->testAttribute(Qt::WA_DeleteOnClose));
  EXPECT_TRUE(delegate.answers.empty());  // nothing waits for the user
  QStringList order;
  for (QPushButton* button : dialog->findChildren<QPushButton*>()) order << button->text();
  EXPECT_EQ(order, (QStringList{"Cancel", "First", "Second"}));
  ASSERT_TRUE(ui.answer(dialog, "Second"));
  ASSERT_EQ(delegate.answers.size(), 1u);
  EXPECT_EQ(delegate.answers[0].second, 2);
  EXPECT_FALSE(ui.answer(dialog, "First"));  // answered once only

  Alert prompt{"Amount", "\n", "Cancel", {"OK"}, Alert::TextField{"1.5", true}};
  ui.showAlert(prompt, &delegate);
  dialog = ui.openDialogs().value(0);
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(dialog->findChild<QLabel*>(QtUi::kMessageName), nullptr);  // only line breaks
  ASSERT_TRUE(ui.answer(dialog, "OK", "2,5"));
  ASSERT_EQ(delegate.answers.size(), 2u);
  EXPECT_EQ(delegate.answers[1].second, 1);
  ASSERT_TRUE(delegate.answers[1].first.textField.has_value());
  EXPECT_EQ(delegate.answers[1].first.textField->text, "2,5");

  // Escape is the cancel button, answered once.
  ui.showAlert(Alert{"Close me", "", "Dismiss", {}, std::nullopt}, &delegate);
  dialog = ui.openDialogs().value(0);
  ASSERT_NE(dialog, nullptr);
  dialog->reject();
  ASSERT_EQ(delegate.answers.size(), 3u);
  EXPECT_EQ(delegate.answers[2].second, 0);
  EXPECT_TRUE(ui.openDialogs().isEmpty());

  // A delegate that goes away leaves no dialog able to call it.
  ui.showAlert(Alert{"Orphan", "", "OK", {}, std::nullopt}, &delegate);
  dialog = ui.openDialogs().value(0);
  ui.forgetDelegate(&delegate);
  EXPECT_TRUE(ui.openDialogs().isEmpty());
  EXPECT_EQ(delegate.answers.size(), 3u);
}

class UrlRecorder : public QObject {
  Q_OBJECT
 public:
  QList<QUrl> opened;
 public slots:
  void open(const QUrl& url) { opened << url; }
};

TEST_F(MainScreenTest, OnlyWebAndMailAddressesAreOpened) {
  QWidget host;
  QtUi ui(&host);
  UrlRecorder recorder;
  for (const char* scheme : {"https", "http", "file", "mailto", "javascript"}) {
    QDesktopServices::setUrlHandler(scheme, &recorder, "open");
  }
  ui.openURL(MainViewController::kProductPageUrl);
  ui.openURL("file:///etc/passwd");
  ui.openURL("javascript:alert(1)");
  ui.openURL("not a url at all");
  for (const char* scheme : {"https", "http", "file", "mailto", "javascript"}) {
    QDesktopServices::unsetUrlHandler(scheme);
  }
  ASSERT_EQ(recorder.opened.size(), 1);
  EXPECT_EQ(recorder.opened[0].toString(), MainViewController::kProductPageUrl);
}

// Pictures for people to look at: both screens, both orientations, without a quota and in each
// colour band (green under the ideal line, yellow above it, red above the quota).
// "Networks this period" lists what the pass counted on each connection and hands a choice of
// its menu to NetworkManager; a refusal opens an alert and leaves the row as it was.
TEST_F(MainScreenTest, TheNetworksOfThisPeriodAndTheirMeteredChoice) {
  World w(false);
  ConnectionList* list = w.screen->connectionList();
  EXPECT_FALSE(list->isVisibleTo(w.screen.get()));  // nothing counted per connection yet
  w.platform.connections = {true, {{"wlan0", false, "u-home", "Café Zentral Gäste-WLAN 5 GHz"}}};
  w.platform.storedMetered = {{"u-home", ConnectionMetered::No}};
  w.useMB(300, 100);
  ASSERT_TRUE(list->isVisibleTo(w.screen.get()));
  const auto texts = [list](const char* name) {
    QStringList found;
    for (QLabel* label : list->findChildren<QLabel*>(name)) {
      if (label->isVisibleTo(list)) found << label->text();
    }
    return found;
  };
  EXPECT_EQ(texts("lblNetworks"), QStringList{"Networks this period"});
  EXPECT_EQ(texts("connectionName"), QStringList{"Café Zentral Gäste-WLAN 5 GHz"});
  EXPECT_EQ(texts("connectionAmount"), QStringList{"400.00 MB"});
  EXPECT_EQ(texts("connectionMetered"), QStringList{"Not metered"});

  // On a phone held upright the section keeps to the width.
  w.screen->resize(360, 720);
  settle();
  EXPECT_LE(list->width(), 360);
  EXPECT_TRUE(list->grab().save(kestrio::testing::screenshotDirectory() +
                                "/wifi-portrait-360-connections.png"));

  const auto choose = [list](int action) {
    for (QToolButton* button : list->findChildren<QToolButton*>("connectionMark")) {
      if (button->isVisibleTo(list)) button->menu()->actions().at(action)->trigger();
    }
    settle();
  };
  choose(0);  // Metered
  ASSERT_EQ(w.platform.meteredRequests.size(), 1u);
  EXPECT_EQ(w.platform.meteredRequests[0].first, "u-home");
  EXPECT_EQ(w.platform.storedMetered["u-home"], ConnectionMetered::Yes);
  EXPECT_EQ(texts("connectionMetered"), QStringList{"Metered"});

  w.platform.meteredRefusal = "Insufficient privileges";
  choose(1);  // Not metered
  QDialog* alert = w.onlyDialog();
  ASSERT_NE(alert, nullptr);
  EXPECT_EQ(alert->windowTitle(), "Metered Not Changed");
  EXPECT_EQ(texts("connectionMetered"), QStringList{"Metered"});
  alert->reject();
}

TEST_F(MainScreenTest, ScreenshotsOfEveryBand) {
  struct Shot {
    const char* name;
    std::optional<int> quota;
    double receivedMB;
    double sentMB;
    const char* letter;
    const char* status;
  };
  const Shot shots[] = {{"quota-green", 1000, 160, 40, "G", "SAFE"},
                        {"quota-yellow", 1000, 480, 160, "Y", "CAUTION"},
                        {"quota-red", 1000, 930, 250, "R", "OVERAGE"},
                        {"noquota", std::nullopt, 480, 160, nullptr, "SAFE"}};
  const QString dir = kestrio::testing::screenshotDirectory();
  for (const bool cellular : {true, false}) {
    for (const Shot& shot : shots) {
      World w(cellular, shot.quota);
      w.useMB(shot.receivedMB, shot.sentMB);
      const char* suffix = cellular ? "" : "Wifi";
      EXPECT_EQ(w.text((std::string("lblIdealActualDiff") + suffix).c_str()), shot.status)
          << shot.name;
      for (const bool landscape : {false, true}) {
        w.screen->resize(landscape ? kLandscape : kPortrait);
        settle();
        w.screen->grab();  // the first paint settles the band and its theme
        settle();
        const QImage image = w.screen->grab().toImage();
        if (shot.letter) {
          const char* key = cellular ? "currentProgBarColor" : "currentProgBarColorWiFi";
          EXPECT_EQ(w.platform.userDefaults().stringForKey(key).value_or(""), shot.letter);
        }
        // A dark screen: the top-left corner is the application's background.
        EXPECT_EQ(image.pixelColor(2, 2).name(),
                  toQColor(KestrioColors::appBackgroundColor()).name());
        const QString file = QStringLiteral("%1/%2-%3-%4.png")
                                 .arg(dir, cellular ? "cellular" : "wifi",
                                      landscape ? "landscape" : "portrait", shot.name);
        EXPECT_TRUE(image.save(file)) << file.toStdString();
      }
    }
  }
}

}  // namespace
}  // namespace kestrio::gui

#include "MainScreenTest.moc"
