#include <gtest/gtest.h>

#include <QDialog>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QSignalSpy>
#include <QTabBar>
#include <QTabWidget>
#include <QTableView>
#include <QTest>
#include <algorithm>
#include <functional>
#include <memory>
#include <vector>

#include "app/Theme.h"
#include "engine/AppData.h"
#include "engine/AppSettings.h"
#include "engine/CustomCounter.h"
#include "gui/MainWindow.h"
#include "gui/QtApp.h"
#include "gui/counters/CustomCounterScreen.h"
#include "gui/history/HistoryDetailScreen.h"
#include "gui/history/HistoryScreen.h"
#include "gui/shell/DocumentsWatcher.h"
#include "gui/shell/KeyboardNavigation.h"
#include "gui/shell/NavigationStack.h"
#include "gui/shell/QtUi.h"
#include "gui/shell/WindowNavigator.h"
#include "gui/theme/ThemeStyle.h"
#include "gui/usage/MainScreen.h"
#include "services/Communications.h"
#include "support/CaseNames.h"
#include "support/FakePlatform.h"
#include "support/RecordingUi.h"
#include "support/Records.h"

namespace kestrio::gui {
namespace {

using kestrio::testing::FakePlatform;

constexpr std::uint64_t kMiB = 1024 * 1024;

// Another Kestrio process on the same files: the daemon, without a window.
struct RecordingUiForDaemon {
  explicit RecordingUiForDaemon(kestrio::Platform& platform)
      : delegate(platform, ui, center, KESTRIO_VERSION) {}
  kestrio::testing::RecordingUi ui;
  NotificationCenter center;
  KestrioAppDelegate delegate;
};

class MainWindowTest : public ::testing::Test {
 protected:
  MainWindowTest() {
    kestrio::testing::qtApp();
    platform.setBoot(1000, "boot-1");
    platform.setNow(2026, 1, 15, 12, 0, 0);
    platform.setCounters("wwan0", 0, 0, InterfaceKind::Cellular);
    AppSettings(platform).getSettings();
    UserDefaults& store = platform.userDefaults();
    store.setInteger(AppSettings::kCellularDataLimit, 1000);
    store.setString(AppSettings::kCellularDataLimitUnit, "MB");
    // Not a first launch and no news: no alert stands in front of the window.
    store.setObject(KestrioAppDelegate::kFirstRunKey, PlistValue(platform.now()));
    store.setString(KestrioAppDelegate::kVersionKey, KESTRIO_VERSION);
    store.synchronize();
  }

  // The window shown and launched. The window system's activation is awaited first, so that
  // only the test makes the application active.
  MainWindow& start() {
    window = std::make_unique<MainWindow>(platform);
    window->show();
    EXPECT_TRUE(QTest::qWaitForWindowActive(window.get()));
    window->launch();
    window->notificationCenter().addObserver(
        kProgressBarMileStoneNotification, [this](const NotificationCenter::UserInfo& info) {
          posts.push_back(NotificationCenter::integer(info, "dataType").value_or(-1));
        });
    return *window;
  }

  // A Wi-Fi quota of `megabytes`, and a Wi-Fi interface that has counted nothing yet.
  void setWifiQuotaMb(int megabytes) {
    UserDefaults& store = platform.userDefaults();
    store.setInteger(AppSettings::kWifiDataLimit, megabytes);
    store.setString(AppSettings::kWifiDataLimitUnit, "MB");
    store.synchronize();
    platform.setCounters("wlan0", 0, 0, InterfaceKind::Wifi);
  }

  void clickTab(int index) {
    QTabBar* bar = window->tabs()->tabBar();
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(index).center());
  }

  double storedSinceLastRun() {
    return AppData::getNumberForKey(
        "dataSinceAppLastRun",
        kestrio::testing::storedRecord(platform, AppData::kCellularFileName));
  }

  void scheduleDue(const std::string& body) {
    LocalNotification notification;
    notification.fireDate = platform.now().addingSeconds(-60);
    notification.alertBody = body;
    Communications::scheduleLocalNotification(platform, notification);
  }

  // Waits until every call queued on the event loop so far has run: a queued call of the test's
  // own runs after them. False when it did not run in time.
  static bool queuedCallsRun() {
    QObject context;  // the call is dropped with it if it never ran
    bool ran = false;
    QMetaObject::invokeMethod(
        &context, [&ran] { ran = true; }, Qt::QueuedConnection);
    return QTest::qWaitFor([&ran] { return ran; }, 5000);
  }

  std::vector<const Alert*> openAlerts() {
    std::vector<const Alert*> alerts;
    for (QDialog* dialog : window->ui().openDialogs())
      alerts.push_back(window->ui().alertOf(dialog));
    return alerts;
  }

  FakePlatform platform;
  std::unique_ptr<MainWindow> window;
  std::vector<int> posts;
};

TEST_F(MainWindowTest, FiveTabsInOrderWithTheBarAtTheBottom) {
  MainWindow& w = start();
  QTabWidget* tabs = w.tabs();
  ASSERT_EQ(tabs->count(), 5);
  const QStringList titles = {"Cellular", "Wi-Fi", "Custom", "History", "Settings"};
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(tabs->tabText(i), titles[i]);
    EXPECT_FALSE(tabs->tabIcon(i).isNull()) << i;
  }
  EXPECT_EQ(tabs->tabPosition(), QTabWidget::South);
  // Each tab is a navigation stack with its screen at the root.
  EXPECT_EQ(w.stack(0)->topView(), &w.cellularScreen());
  EXPECT_EQ(w.stack(1)->topView(), &w.wifiScreen());
  EXPECT_TRUE(w.cellularScreen().isCellular());
  EXPECT_FALSE(w.wifiScreen().isCellular());
  // The Custom and History lists are their stacks' roots and hear their about-to-appear hooks.
  EXPECT_EQ(w.stack(2)->topView(), &w.counterList());
  EXPECT_EQ(w.stack(2)->topController(), &w.counterList().controller());
  EXPECT_EQ(w.stack(3)->topView(), &w.historyList());
  EXPECT_EQ(w.stack(3)->topController(), &w.historyList().controller());
  EXPECT_EQ(w.stack(4)->topController(), &w.settingsController());
}

// The window opens on a usage screen; the other tabs are built the first time they are shown, in
// sight and drawn, and only once.
TEST_F(MainWindowTest, OtherTabsAreBuiltWhenFirstShown) {
  MainWindow& w = start();
  w.becameActive();
  for (int tab : {2, 3, 4}) EXPECT_FALSE(w.isTabBuilt(tab)) << tab;
  clickTab(3);
  ASSERT_TRUE(w.isTabBuilt(3));
  EXPECT_FALSE(w.isTabBuilt(2));
  shell::NavigationStack* history = w.stack(3);
  EXPECT_TRUE(history->isVisible());
  EXPECT_TRUE(w.historyList().isVisible());
  // Its about-to-appear hook ran: the list holds the two running periods.
  EXPECT_EQ(w.historyList().table()->model()->rowCount(), 2);
  clickTab(4);
  clickTab(3);
  EXPECT_EQ(w.stack(3), history);
  EXPECT_FALSE(w.isTabBuilt(2));
}

// On a phone held upright the whole window fits 360 pixels: the tabs keep their names, under their
// icons, for the eye, the tooltip and a screen reader.
TEST_F(MainWindowTest, OnAPhoneTheTabsShowIconsOverNamesAndTheWindowFitsItsWidth) {
  platform.idiom = UserInterfaceIdiom::Phone;
  MainWindow& w = start();
  QTabWidget* tabs = w.tabs();
  ASSERT_EQ(tabs->count(), 5);
  const QStringList titles = {"Cellular", "Wi-Fi", "Custom", "History", "Settings"};
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(tabs->tabText(i), titles[i]) << i;
    EXPECT_EQ(tabs->tabToolTip(i), titles[i]);
    EXPECT_EQ(tabs->tabBar()->accessibleTabName(i), titles[i]);
  }
  EXPECT_LE(w.minimumSizeHint().width(), 360);
}

TEST_F(MainWindowTest, LaunchShowsTheWifiTabThenARefreshTheStartupScreen) {
  MainWindow& w = start();
  EXPECT_EQ(w.tabs()->currentIndex(), 1);

  // No startup screen chosen yet: the conversion's default "CELL".
  w.becameActive();
  EXPECT_EQ(w.tabs()->currentIndex(), 0);
  EXPECT_EQ(w.appDelegate().selectedTab, 0);
  // The screen brought to front was drawn too.
  EXPECT_EQ(w.cellularScreen().controller().titleLabel.text, "CELLULAR");
  w.grab().save(kestrio::testing::screenshotDirectory() + "/main_window_cellular.png");

  // The startup screen is the launch's choice only: a later activation keeps the tab.
  platform.userDefaults().setString(AppSettings::kStartupScreen, "WIFI");
  platform.userDefaults().synchronize();
  w.becameActive();
  EXPECT_EQ(w.tabs()->currentIndex(), 0);
  clickTab(1);
  EXPECT_EQ(w.wifiScreen().controller().titleLabel.text, "Wi-Fi");
  EXPECT_EQ(posts.back(), 2);
  EXPECT_EQ(w.tintColor(), toQColor(KestrioColors::wifiProgressColor(platform)));
  w.grab().save(kestrio::testing::screenshotDirectory() + "/main_window_wifi.png");
}

// The tab the user picks stays through activations, a return from the tray and F5, while every
// usage screen drawn so far is refreshed, not only the one in front.
TEST_F(MainWindowTest, ActivationRefreshesEveryLoadedScreenAndKeepsThePickedTab) {
  MainWindow& w = start();
  w.becameActive();  // the startup screen: Cellular
  clickTab(1);
  ASSERT_EQ(w.tabs()->currentIndex(), 1);
  platform.advance(60);
  platform.setCounters("wwan0", 50 * kMiB, 0);
  w.becameActive();
  EXPECT_EQ(w.tabs()->currentIndex(), 1);
  EXPECT_EQ(w.cellularScreen().controller().cellular.lblMonthlyUsage.text, "50.00");

  std::uint64_t used = 50 * kMiB;
  for (const auto& [what, act] : std::vector<std::pair<const char*, std::function<void()>>>{
           {"F5", [&] { QTest::keyClick(&w, Qt::Key_F5); }},
           {"Ctrl+R", [&] { QTest::keyClick(&w, Qt::Key_R, Qt::ControlModifier); }},
           {"return from the background",
            [&] {
              w.enterBackground();
              w.enterForeground();
            }},
       }) {
    platform.advance(60);
    used += 5 * kMiB;
    platform.setCounters("wwan0", used, 0);
    act();
    EXPECT_EQ(w.tabs()->currentIndex(), 1) << what;
    EXPECT_EQ(w.cellularScreen().controller().cellular.lblMonthlyUsage.text,
              QString::number(static_cast<double>(used) / kMiB, 'f', 2).toStdString())
        << what;
  }
}

// An alert's "View" brings the window back from the tray onto the alert's network, from
// wherever the user left it; a target that is no network changes nothing.
TEST_F(MainWindowTest, AnAlertsViewShowsItsNetworkInFront) {
  MainWindow& w = start();
  w.becameActive();  // the startup screen: Cellular
  clickTab(4);
  w.enterBackground();
  platform.chooseView("satellite");
  ASSERT_TRUE(queuedCallsRun());
  EXPECT_EQ(w.tabs()->currentIndex(), 4);

  platform.chooseView("wifi");
  ASSERT_TRUE(QTest::qWaitFor([&w] { return w.isVisible() && w.tabs()->currentIndex() == 1; }));
  EXPECT_EQ(w.wifiScreen().controller().titleLabel.text, "Wi-Fi");
  EXPECT_EQ(w.appDelegate().selectedTab, 1);
}

// Another process's pass (the daemon) is drawn from the files, without a pass of the window's;
// the window's own passes are not drawn a second time.
TEST_F(MainWindowTest, FollowsWhatAnotherProcessStores) {
  MainWindow& w = start();
  w.becameActive();
  QSignalSpy redrawn(&w, &MainWindow::redrawnFromFiles);
  platform.advance(60);
  platform.setCounters("wwan0", 3 * kMiB, 0);
  w.becameActive();
  // Whatever the watch saw of the window's own pass is read now, and a burst it had started
  // would be announced at once instead of at the end of its debounce.
  QCoreApplication::processEvents();
  w.documentsWatcher().flushPending();
  EXPECT_EQ(redrawn.count(), 0);

  RecordingUiForDaemon daemon(platform);
  const std::string updatedBefore = w.cellularScreen().controller().updatedLabel.text;
  platform.advance(60);
  platform.setCounters("wwan0", 12 * kMiB, 0);
  daemon.delegate.performFetchWithCompletionHandler(nullptr);
  const int reads = platform.counterReads();
  ASSERT_TRUE(redrawn.wait(2000));
  EXPECT_EQ(redrawn.count(), 1);  // one redraw for the pass's burst of files
  EXPECT_EQ(platform.counterReads(), reads);
  EXPECT_EQ(w.cellularScreen().controller().cellular.lblMonthlyUsage.text, "12.00");
  EXPECT_EQ(w.cellularScreen().label(QStringLiteral("lblMonthlyUsage"))->text(), "12.00");
  // The time shown is the other process's pass's.
  EXPECT_NE(w.cellularScreen().controller().updatedLabel.text, updatedBefore);
  EXPECT_EQ(w.wifiScreen().controller().updatedLabel.text,
            w.cellularScreen().controller().updatedLabel.text);

  // Hidden in the tray the window stops watching.
  w.enterBackground();
  w.hide();
  EXPECT_EQ(platform.openWatches(), 0);
}

// A change of NetworkManager's connections is counted at once by the window, unless a daemon
// counts for the same directory.
TEST_F(MainWindowTest, CountsAtAChangeOfConnectionUnlessADaemonDoes) {
  MainWindow& w = start();
  w.becameActive();
  kestrio::ConnectionSnapshot connections{true, {{"wlan0", false, "u-1", "Pixel hotspot"}}, {}};
  platform.daemonElsewhere = true;
  const int reads = platform.counterReads();
  platform.changeConnections(connections);
  QCoreApplication::processEvents();
  EXPECT_EQ(platform.counterReads(), reads);

  platform.daemonElsewhere = false;
  connections.connections[0].metered = true;
  platform.changeConnections(connections);
  EXPECT_TRUE(QTest::qWaitFor([&] { return platform.counterReads() > reads; }, 2000));
}

// Each usage screen and the tab bar take the colour of the network in front, whatever the other
// gauge announced last.
TEST_F(MainWindowTest, EachUsageScreenIsTintedByItsOwnNetwork) {
  setWifiQuotaMb(100);
  MainWindow& w = start();
  w.becameActive();
  platform.advance(3600);
  platform.setCounters("wwan0", 10 * kMiB, 0);   // 1 % of 1000 MB: green
  platform.setCounters("wlan0", 500 * kMiB, 0);  // 500 % of 100 MB: red
  clickTab(1);
  w.becameActive();
  w.grab();
  const QString red = toQColor(KestrioColors::progressColor3()).name();
  const QString green = toQColor(KestrioColors::progressColor1()).name();
  // The gauges announce their bands as they paint; each screen takes its colour once that paint
  // is over.
  (void)QTest::qWaitFor(
      [&] {
        return w.wifiScreen().styleSheet().contains(red, Qt::CaseInsensitive) &&
               w.cellularScreen().styleSheet().contains(green, Qt::CaseInsensitive);
      },
      5000);
  ASSERT_EQ(platform.userDefaults().stringForKey("currentProgBarColorWiFi").value_or(""), "R");
  EXPECT_EQ(w.tintColor().name(), red);
  // The selected tab's name in the red lightened to be read on the bar.
  EXPECT_TRUE(w.tabs()->tabBar()->styleSheet().contains(
      legibleOn(toQColor(KestrioColors::progressColor3()),
                toQColor(KestrioColors::appBlockBackgroundColor()))
          .name()));
  EXPECT_TRUE(w.wifiScreen().styleSheet().contains(red, Qt::CaseInsensitive));
  EXPECT_FALSE(w.wifiScreen().styleSheet().contains(green, Qt::CaseInsensitive));
  EXPECT_TRUE(w.cellularScreen().styleSheet().contains(green, Qt::CaseInsensitive));
  w.grab().save(kestrio::testing::screenshotDirectory() + "/main_window_wifi_over_quota.png");

  // The cellular gauge announcing its band does not turn the Wi-Fi tab green.
  w.notificationCenter().post(kProgressBarMileStoneNotification, {{"dataType", 1}});
  EXPECT_EQ(w.tintColor().name(), red);
  clickTab(0);
  EXPECT_EQ(w.tintColor().name(), green);
}

// The tray tells the quota's state at a glance: an empty, a half used, a nearly used and a used-up
// quota draw four different icons, and the tooltip gives the share and the status word.
TEST_F(MainWindowTest, TheTrayShowsTheShareOfTheQuotaAndItsState) {
  MainWindow& w = start();
  w.becameActive();
  std::vector<QImage> icons;
  for (const std::uint64_t used : {0, 550, 820, 1010}) {
    platform.advance(60);
    platform.setCounters("wwan0", used * kMiB, 0);
    w.becameActive();
    icons.push_back(w.trayGaugeIcon().pixmap(64, 64).toImage());
    const QString share = QString::number(used / 10.0, 'f', 1) + "%";
    EXPECT_TRUE(w.trayToolTip().contains("(" + share + ", ")) << w.trayToolTip().toStdString();
  }
  for (std::size_t a = 0; a < icons.size(); ++a) {
    for (std::size_t b = a + 1; b < icons.size(); ++b) EXPECT_NE(icons[a], icons[b]) << a << b;
  }
  EXPECT_TRUE(w.trayToolTip().contains(QStringLiteral("Overage"))) << w.trayToolTip().toStdString();
}

TEST_F(MainWindowTest, AboutAndTrayToolTipName) {
  setWifiQuotaMb(2000);
  MainWindow& w = start();
  w.becameActive();
  platform.advance(60);
  platform.setCounters("wwan0", 427 * kMiB, 0);
  platform.setCounters("wlan0", 900 * kMiB, 0);
  w.becameActive();
  const QString tip = w.trayToolTip();
  EXPECT_TRUE(tip.contains(QStringLiteral("Cellular: 427.00 MB of 1000.0 MB used")))
      << tip.toStdString();
  EXPECT_TRUE(tip.contains(QStringLiteral("Wi-Fi: 900.00 MB of 2000.0 MB used")))
      << tip.toStdString();

  QTest::keyClick(&w, Qt::Key_F1);
  QMessageBox* about = w.findChild<QMessageBox*>();
  ASSERT_NE(about, nullptr);
  EXPECT_TRUE(about->text().contains(QStringLiteral(KESTRIO_VERSION)));
  EXPECT_TRUE(about->informativeText().contains(QString::fromLatin1(FakePlatform::kDocuments)));
  about->close();
}

TEST_F(MainWindowTest, ShowingTheWindowLoadsTheScreenInFront) {
  window = std::make_unique<MainWindow>(platform);
  QSignalSpy refreshed(window.get(), &MainWindow::visibleScreenRefreshed);
  window->show();
  window->launch();
  ASSERT_TRUE(refreshed.wait(2000));
  EXPECT_EQ(window->tabs()->currentIndex(), 0);
  EXPECT_EQ(window->cellularScreen().controller().titleLabel.text, "CELLULAR");
}

TEST_F(MainWindowTest, TappingTheSelectedTabDoesNothing) {
  MainWindow& w = start();
  clickTab(1);
  EXPECT_TRUE(posts.empty());
  EXPECT_EQ(w.appDelegate().tabSelectedIndex, 1);
  EXPECT_EQ(w.tabs()->currentIndex(), 1);

  clickTab(3);
  EXPECT_EQ(w.tabs()->currentIndex(), 3);
  EXPECT_EQ(w.appDelegate().tabSelectedIndex, 3);
  EXPECT_EQ(posts, std::vector<int>{3});
  EXPECT_EQ(w.tintColor(), toQColor(KestrioColors::appTintColor()));
  EXPECT_TRUE(w.tabs()->tabBar()->styleSheet().contains(w.tintColor().name()));
  clickTab(3);
  EXPECT_EQ(posts, std::vector<int>{3});
}

// With the keyboard alone, from anywhere in the window: nothing focused, or a screen's list.
TEST_F(MainWindowTest, CtrlPageDownAndUpChangeTabWhereverTheKeyboardIs) {
  MainWindow& w = start();
  clickTab(0);
  if (QWidget* focused = QApplication::focusWidget()) focused->clearFocus();
  QTest::keyClick(&w, Qt::Key_PageDown, Qt::ControlModifier);
  EXPECT_EQ(w.tabs()->currentIndex(), 1);
  QTest::keyClick(&w, Qt::Key_PageUp, Qt::ControlModifier);
  QTest::keyClick(&w, Qt::Key_PageUp, Qt::ControlModifier);
  EXPECT_EQ(w.tabs()->currentIndex(), w.tabs()->count() - 1);  // round to the last

  clickTab(3);
  QTableView* table = w.historyList().table();
  table->setFocus();
  QTest::keyClick(table, Qt::Key_PageDown, Qt::ControlModifier);
  EXPECT_EQ(w.tabs()->currentIndex(), 4);
  EXPECT_EQ(w.appDelegate().tabSelectedIndex, 4);
}

TEST_F(MainWindowTest, LeavingTheSettingsTabAppliesTheSettings) {
  MainWindow& w = start();
  clickTab(4);
  EXPECT_TRUE(Communications::scheduledLocalNotifications(platform).empty());

  clickTab(0);
  EXPECT_EQ(w.tabs()->currentIndex(), 0);
  // The billing reminders of both networks are scheduled from the settings.
  EXPECT_FALSE(Communications::scheduledLocalNotifications(platform).empty());
  ASSERT_FALSE(posts.empty());
  EXPECT_EQ(posts.back(), 1);
  EXPECT_EQ(w.tintColor(), toQColor(KestrioColors::cellularProgressColor(platform)));
}

TEST_F(MainWindowTest, AUsageTabPickedByTheUserStaysAndIsDrawn) {
  platform.userDefaults().setString(AppSettings::kStartupScreen, "WIFI");
  MainWindow& w = start();
  w.becameActive();
  ASSERT_EQ(w.tabs()->currentIndex(), 1);
  ASSERT_TRUE(w.cellularScreen().controller().titleLabel.text.empty());

  clickTab(0);
  EXPECT_EQ(w.tabs()->currentIndex(), 0);
  EXPECT_EQ(w.cellularScreen().controller().titleLabel.text, "CELLULAR");
  // What the click queued has run, the startup screen's request among it.
  EXPECT_TRUE(queuedCallsRun());
  EXPECT_EQ(w.tabs()->currentIndex(), 0);
}

TEST_F(MainWindowTest, ClosingTheWindowRunsTheTerminationPass) {
  MainWindow& w = start();
  ASSERT_EQ(w.trayIcon(), nullptr);  // the offscreen platform has no tray
  w.becameActive();
  platform.advance(60);
  platform.setCounters("wwan0", 5 * kMiB, 0);
  w.becameActive();
  ASSERT_EQ(storedSinceLastRun(), 5.0 * kMiB);

  QSignalSpy terminated(&w, &MainWindow::terminated);
  platform.advance(60);
  platform.setCounters("wwan0", 7 * kMiB, 0);
  w.close();
  EXPECT_EQ(terminated.count(), 1);
  EXPECT_TRUE(w.isTerminated());
  EXPECT_EQ(storedSinceLastRun(), 0.0);
  // The pass still counted the traffic since the last refresh.
  const auto record = kestrio::testing::storedRecord(platform, AppData::kCellularFileName);
  EXPECT_EQ(AppData::getNumberForKey("dataSinceLastBoot", record), 7.0 * kMiB);

  // A second request does not count again.
  w.quitApplication();
  EXPECT_EQ(terminated.count(), 2);
  w.becameActive();
  EXPECT_EQ(storedSinceLastRun(), 0.0);
}

TEST_F(MainWindowTest, CtrlQQuitsAfterTheTerminationPass) {
  MainWindow& w = start();
  w.becameActive();
  platform.advance(60);
  platform.setCounters("wwan0", 4 * kMiB, 0);
  w.becameActive();
  ASSERT_EQ(storedSinceLastRun(), 4.0 * kMiB);

  QSignalSpy terminated(&w, &MainWindow::terminated);
  QTest::keyClick(&w, Qt::Key_Q, Qt::ControlModifier);
  EXPECT_EQ(terminated.count(), 1);
  EXPECT_EQ(storedSinceLastRun(), 0.0);
}

TEST_F(MainWindowTest, MinimisingEntersTheBackgroundAndRestoringTheForeground) {
  MainWindow& w = start();
  w.becameActive();
  platform.advance(60);
  platform.setCounters("wwan0", 2 * kMiB, 0);
  w.becameActive();
  ASSERT_EQ(storedSinceLastRun(), 2.0 * kMiB);

  w.showMinimized();
  // The background pass runs right after the state change.
  (void)QTest::qWaitFor([&] { return storedSinceLastRun() == 0.0; }, 5000);
  EXPECT_EQ(storedSinceLastRun(), 0.0);
  EXPECT_FALSE(w.isTerminated());

  // Back in front both screens are refreshed, counting from the background pass.
  platform.advance(60);
  platform.setCounters("wwan0", 5 * kMiB, 0);
  w.showNormal();
  EXPECT_EQ(storedSinceLastRun(), 3.0 * kMiB);
  EXPECT_EQ(w.wifiScreen().controller().titleLabel.text, "Wi-Fi");
}

TEST_F(MainWindowTest, NotificationsDueInFrontShowAUsageAlert) {
  MainWindow& w = start();
  scheduleDue("Cellular data 80% used");
  w.becameActive();
  EXPECT_TRUE(platform.delivered.empty());
  const auto alerts = openAlerts();
  ASSERT_EQ(alerts.size(), 1u);
  EXPECT_EQ(alerts[0]->title, "Usage Alert");
  EXPECT_EQ(alerts[0]->message, "Cellular data 80% used");
  EXPECT_EQ(alerts[0]->cancelButton, "Dismiss");

  // In the background they go to the desktop.
  w.enterBackground();
  scheduleDue("WiFi data 80% used");
  w.backgroundRefresh();
  ASSERT_EQ(platform.delivered.size(), 1u);
  EXPECT_EQ(platform.delivered[0].alertBody, "WiFi data 80% used");
  EXPECT_EQ(openAlerts().size(), 1u);
}

TEST_F(MainWindowTest, ClosingTheWelcomeSelectsTheSettingsTab) {
  platform.userDefaults().removeObjectForKey(KestrioAppDelegate::kFirstRunKey);
  platform.userDefaults().synchronize();
  MainWindow& w = start();
  const auto dialogs = w.ui().openDialogs();
  ASSERT_EQ(dialogs.size(), 1);
  EXPECT_EQ(w.ui().alertOf(dialogs[0])->title, "Initial Setup");
  ASSERT_TRUE(w.ui().answer(dialogs[0], "OK"));
  EXPECT_EQ(w.tabs()->currentIndex(), 4);
  EXPECT_EQ(w.appDelegate().tabSelectedIndex, 4);

  // Leaving it applies the settings as a tap away from the settings does.
  clickTab(1);
  EXPECT_FALSE(Communications::scheduledLocalNotifications(platform).empty());
}

TEST_F(MainWindowTest, TheTrayIconCarriesTheBadgeNumber) {
  QPixmap plain(64, 64);
  plain.fill(Qt::black);
  const QIcon icon(plain);
  const QImage none = MainWindow::badgedIcon(icon, 0).pixmap(64, 64).toImage();
  const QImage badged = MainWindow::badgedIcon(icon, 42).pixmap(64, 64).toImage();
  EXPECT_EQ(none.pixelColor(56, 10), QColor(Qt::black));
  const QColor corner = badged.pixelColor(58, 17);
  EXPECT_GT(corner.red(), 200);
  EXPECT_LT(corner.green(), 80);
  // The rest of the icon is untouched.
  EXPECT_EQ(badged.pixelColor(10, 50), QColor(Qt::black));
}

TEST_F(MainWindowTest, CustomTabShowsTheStoredCountersEachTimeItIsSelected) {
  MainWindow& w = start();
  (void)CustomCounter::addCustomCounter(platform, CustomCounter(platform, "Roaming"));
  clickTab(2);
  QListWidget* list = w.counterList().list();
  EXPECT_EQ(list->count(), 1);
  // Another process adds one: the list shows it the next time the tab comes to front.
  (void)CustomCounter::addCustomCounter(platform, CustomCounter(platform, "Conference"));
  clickTab(0);
  clickTab(2);
  EXPECT_EQ(list->count(), 2);
  w.resize(1280, 800);
  QCoreApplication::processEvents();
  w.grab().save(kestrio::testing::screenshotDirectory() + "/main_window_custom.png");

  // Return opens a counter on the tab's stack; Escape comes back to the list.
  list->setFocus();
  list->setCurrentRow(0);
  QTest::keyClick(list, Qt::Key_Return);
  QCoreApplication::processEvents();
  ASSERT_EQ(w.stack(2)->depth(), 2);
  QTest::keyClick(w.stack(2)->topView(), Qt::Key_Escape);
  QCoreApplication::processEvents();
  EXPECT_EQ(w.stack(2)->depth(), 1);
}

TEST_F(MainWindowTest, HistoryTabPushesAPeriodAndPresentsItsChartOverTheWindow) {
  MainWindow& w = start();
  clickTab(3);
  QTableView* table = w.historyList().table();
  ASSERT_EQ(table->model()->rowCount(), 2);  // the two running periods
  table->setFocus();
  table->setCurrentIndex(table->model()->index(1, 0));
  QTest::keyClick(table, Qt::Key_Return);
  ASSERT_EQ(w.stack(3)->depth(), 2);
  auto* detail = qobject_cast<HistoryDetailScreen*>(w.stack(3)->topView());
  ASSERT_TRUE(detail);
  EXPECT_TRUE(detail->controller().showCurrentWiFiCycle());

  detail->controller().viewChart();
  ASSERT_EQ(w.navigator().presentedDialogs().size(), 1);
  QDialog* chart = w.navigator().presentedDialogs().front();
  // Landscape, though the window is taller than wide.
  EXPECT_GT(chart->width(), chart->height());
  // The keyboard is the chart's: Escape closes it, and only it.
  ASSERT_TRUE(QTest::qWaitFor([&] { return QApplication::activeWindow() == chart; }));
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
  EXPECT_TRUE(w.navigator().presentedDialogs().isEmpty());
  ASSERT_TRUE(QTest::qWaitFor([&] { return QApplication::activeWindow() == &w; }));
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
  QCoreApplication::processEvents();
  EXPECT_EQ(w.stack(3)->depth(), 1);
  EXPECT_TRUE(table->hasFocus());
}

// On a wide window a period's detail stands beside the list, and another row replaces it; on a
// narrow one the detail covers the list. The keyboard reaches the list and the detail.
TEST_F(MainWindowTest, WideHistoryShowsTheDetailBesideTheList) {
  MainWindow& w = start();
  w.resize(1280, 800);
  clickTab(3);
  shell::NavigationStack* stack = w.stack(3);
  QTableView* table = w.historyList().table();
  ASSERT_TRUE(QTest::qWaitFor([&] { return stack->isSideBySide(); }));
  auto* hint = stack->findChild<QLabel*>("historyDetailHint");
  ASSERT_NE(hint, nullptr);
  EXPECT_TRUE(hint->isVisible());
  const auto open = [&](int row) {
    table->setFocus();
    table->setCurrentIndex(table->model()->index(row, 0));
    QTest::keyClick(table, Qt::Key_Return);
    QCoreApplication::processEvents();
    return qobject_cast<HistoryDetailScreen*>(stack->topView());
  };
  HistoryDetailScreen* wifi = open(1);
  ASSERT_TRUE(wifi);
  EXPECT_TRUE(wifi->controller().showCurrentWiFiCycle());
  EXPECT_TRUE(table->isVisible());
  EXPECT_TRUE(wifi->isVisible());
  EXPECT_FALSE(hint->isVisible());
  EXPECT_LT(table->mapTo(&w, QPoint(0, 0)).x() + table->width(),
            wifi->mapTo(&w, QPoint(0, 0)).x() + 1);
  const QList<QWidget*> order = shell::KeyboardNavigation::tabOrder(&w);
  EXPECT_TRUE(order.contains(table));
  EXPECT_TRUE(std::any_of(order.begin(), order.end(),
                          [&](QWidget* control) { return wifi->isAncestorOf(control); }));

  HistoryDetailScreen* cellular = open(0);
  ASSERT_TRUE(cellular);
  EXPECT_TRUE(cellular->controller().showCurrentCellCycle());
  EXPECT_EQ(stack->depth(), 2);

  w.resize(540, 800);
  ASSERT_TRUE(QTest::qWaitFor([&] { return !stack->isSideBySide(); }));
  EXPECT_FALSE(table->isVisible());
  EXPECT_TRUE(cellular->isVisible());
  stack->pop();
  EXPECT_TRUE(table->isVisible());
  EXPECT_FALSE(hint->isVisible());
}

// The Custom tab in front follows the passes: another process's, seen in the files, and the one
// F5 runs.
struct CounterFollowCase {
  const char* name;
  std::function<void(MainWindow&, FakePlatform&)> pass;
};

const CounterFollowCase kCounterFollow[] = {
    {"daemon pass",
     [](MainWindow& w, FakePlatform& platform) {
       QSignalSpy redrawn(&w, &MainWindow::redrawnFromFiles);
       RecordingUiForDaemon daemon(platform);
       daemon.delegate.performFetchWithCompletionHandler(nullptr);
       ASSERT_TRUE(redrawn.wait(2000));
     }},
    {"F5", [](MainWindow& w, FakePlatform&) { QTest::keyClick(&w, Qt::Key_F5); }},
};

class CounterListFollows : public MainWindowTest,
                           public ::testing::WithParamInterface<CounterFollowCase> {};

TEST_P(CounterListFollows, ShowsTheStoredFiguresAfterAPass) {
  ASSERT_TRUE(CustomCounter::addCustomCounter(platform, CustomCounter(platform, "Trip")).ok());
  MainWindow& w = start();
  w.becameActive();
  clickTab(MainWindow::kCustomTab);
  QListWidget* list = w.counterList().list();
  ASSERT_EQ(list->count(), 1);
  const auto figures = [&] {
    return list->itemWidget(list->item(0))->findChild<QLabel*>("counterFigures")->text();
  };
  const QString before = figures();
  platform.advance(60);
  platform.setCounters("wwan0", 7 * kMiB, 0);
  GetParam().pass(w, platform);
  EXPECT_EQ(CustomCounter::getAllCustomCounters(platform).at(0).cellularDataReceived(), 7.0 * kMiB);
  EXPECT_EQ(w.counterList().controller().customCounterData.at(0).cellularDataReceived(),
            7.0 * kMiB);
  EXPECT_NE(figures(), before);
  EXPECT_TRUE(figures().contains("7.00")) << figures().toStdString();
}

INSTANTIATE_TEST_SUITE_P(Passes, CounterListFollows, ::testing::ValuesIn(kCounterFollow),
                         kestrio::testing::NameField{});

}  // namespace
}  // namespace kestrio::gui
