#pragma once

#include <QColor>
#include <QIcon>
#include <QMainWindow>
#include <QSet>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "app/KestrioAppDelegate.h"
#include "app/SettingsChangePoster.h"
#include "app/SettingsDelegateAdapter.h"
#include "platform/Platform.h"
#include "services/NotificationCenter.h"
#include "settings/AppSettingsViewController.h"

class QAction;
class QMessageBox;
class QSystemTrayIcon;
class QTabWidget;

namespace kestrio::gui {

class CustomCounterScreen;
class HistoryScreen;
class QtUi;
class MainScreen;
namespace shell {
class DocumentsWatcher;
class NavigationStack;
class UndoBar;
class WindowNavigator;
}  // namespace shell

// The application window: five tabs with the tab bar at the bottom (Cellular, Wi-Fi, Custom,
// History, Settings), bound to the application delegate. The window's life is the application's:
// activated = became active, hidden to the tray or minimised = background, restored =
// foreground, quit = termination. It never quits the process itself: it runs the termination
// pass and emits `terminated()`, which the program connects to the application's quit.
class MainWindow : public QMainWindow {
  Q_OBJECT

 public:
  static constexpr int kTabCount = 5;
  static constexpr int kCustomTab = 2;
  // The first size on a screen with room for it; a smaller screen gets what it has.
  static constexpr QSize kPreferredSize{540, 820};
  static constexpr QSize kSmallestSize{320, 360};
  // From this width of the History tab up, a period's detail stands beside the list.
  static constexpr int kHistoryBesideWidth = 900;

  // `platform` outlives the window.
  explicit MainWindow(kestrio::Platform& platform, QWidget* parent = nullptr);
  ~MainWindow() override;

  // The delegate's launch: tab 1, the theme, the welcome or "What's New". Call once, after
  // show(), so that the launch's alerts stand in front of the window.
  void launch();

  QTabWidget* tabs() const { return tabs_; }
  MainScreen& cellularScreen() { return *cellularScreen_; }
  MainScreen& wifiScreen() { return *wifiScreen_; }
  // The roots of the Custom and History tabs, built now if their tab has not been shown yet.
  CustomCounterScreen& counterList();
  HistoryScreen& historyList();
  kestrio::KestrioAppDelegate& appDelegate() { return *delegate_; }
  kestrio::NotificationCenter& notificationCenter() { return center_; }
  QtUi& ui() { return *ui_; }
  // The settings tab's screen; its schema is read the first time it is needed.
  kestrio::settings::AppSettingsViewController& settingsController();
  // Pushes and presentations of every tab; a tab registers its screens' views here.
  shell::WindowNavigator& navigator() { return *navigator_; }
  // The navigation stack of tab `index` (built now if the tab has not been shown yet), nothing
  // for an index out of range.
  shell::NavigationStack* stack(int index);
  // Whether tab `index` has been built: a tab's screens are made the first time it is shown.
  bool isTabBuilt(int index) const;
  // The window's tint as the delegate's theme left it.
  QColor tintColor() const { return tint_; }
  // The tray icon; nothing when the desktop has no tray.
  QSystemTrayIcon* trayIcon() const { return tray_; }
  // Whether the termination pass has run.
  bool isTerminated() const { return terminated_; }
  // The badge number the tray icon shows now.
  int shownBadge() const { return shownBadge_; }
  // What the tray icon's tooltip says: both networks' usage of the period, its share of the
  // quota and the status word.
  QString trayToolTip();
  // The bar that offers to take back the latest deletion.
  shell::UndoBar& undoBar() { return *undoBar_; }
  // The tray's gauge: the share of the quota and the band's colour of the network that is worse
  // off (the higher band, then the larger share), without the badge.
  QIcon trayGaugeIcon();
  // Follows the other processes' writes while the window is visible.
  shell::DocumentsWatcher& documentsWatcher() { return *watcher_; }

  // The icon with the badge number painted on its upper right corner; 0 paints none.
  static QIcon badgedIcon(const QIcon& icon, int number);

 public slots:
  // The application became active: refresh every usage screen drawn so far (the one in front
  // first) and deliver the notifications that fell due.
  void becameActive();
  // Hide to the tray (or leave minimised without one): the application enters the background.
  void enterBackground();
  // Back from the tray: the application enters the foreground.
  void enterForeground();
  // In front, on the usage screen of `network` ("cellular", "wifi"): an alert's "View", or a
  // start for that network.
  void showNetwork(const QString& network);
  // A background refresh of both usage screens (the tray's "Refresh").
  void backgroundRefresh();
  // The termination pass (once), then `terminated()`.
  void quitApplication();
  // F5 or Ctrl+R: every loaded usage screen runs a refresh now.
  void refreshNow();
  // Every loaded usage screen draws again from the stored files, without a pass: another
  // process has stored a pass.
  void redrawFromFiles();
  // The About box (F1): the version and the data directory.
  QMessageBox* showAbout();

 signals:
  // A refresh has drawn the usage screen that is in front.
  void visibleScreenRefreshed();
  // The usage screens have been drawn again from what another process stored.
  void redrawnFromFiles();
  // The termination pass has run; the application should quit now.
  void terminated();

 protected:
  bool event(QEvent* event) override;
  void changeEvent(QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  class ForegroundPlatform;

  void buildTabs();
  void buildTray(QAction* quit);
  // Opens where the window was last (when that still fits the screen), else centred, never
  // larger than the screen's free area.
  void placeOnScreen();
  // Keeps the window's place for the next run.
  void rememberFrame();
  // A tab whose page `build` fills the first time the tab is shown (or its stack is asked for).
  void addLazyTab(const QIcon& icon, const QString& title, std::function<void()> build);
  // A navigation stack on the page of tab `index`, without its root yet.
  shell::NavigationStack* placeStack(int index);
  // Builds tab `index` unless it is built.
  void ensureTab(int index);
  shell::NavigationStack* currentStack();
  // The usage screen tab `index` shows at its root, when nothing is pushed over it.
  MainScreen* usageScreenAt(int index);
  void onCurrentChanged(int index);
  // Shows a tab without the user's selection rules (the delegate's own choice).
  void selectTab(int index);
  // The tab a usage screen's refresh asked for (the startup screen), selected as a tap would.
  void applyPendingTab();
  MainScreen* visibleUsageScreen();
  void refreshInFront();
  void refreshVisibleScreen();
  // The usage screens drawn before, other than the one in front, run their refresh too.
  void refreshOtherLoadedScreens();
  void applyTint();
  void updateBadge();
  // The Custom tab, when in front, draws the stored counters again.
  void reloadCountersInFront();

  std::unique_ptr<ForegroundPlatform> platform_;
  kestrio::NotificationCenter center_;
  // What the settings tab stores is posted on the centre.
  kestrio::SettingsChangePoster settingsChanges_{center_};
  QtUi* ui_ = nullptr;
  shell::WindowNavigator* navigator_ = nullptr;
  QTabWidget* tabs_ = nullptr;
  // Per tab: what fills its page, until it has been built.
  std::vector<std::function<void()>> tabBuilders_;
  std::vector<shell::NavigationStack*> tabStacks_;
  shell::UndoBar* undoBar_ = nullptr;
  MainScreen* cellularScreen_ = nullptr;
  MainScreen* wifiScreen_ = nullptr;
  CustomCounterScreen* counterList_ = nullptr;
  HistoryScreen* historyList_ = nullptr;
  std::unique_ptr<kestrio::KestrioAppDelegate> delegate_;
  std::shared_ptr<kestrio::settings::AppSettingsViewController> settingsController_;
  std::unique_ptr<kestrio::SettingsDelegateAdapter> settingsDelegate_;
  QSystemTrayIcon* tray_ = nullptr;
  shell::DocumentsWatcher* watcher_ = nullptr;
  // NetworkManager's changes, which the window counts at when no daemon does.
  std::unique_ptr<kestrio::ConnectionWatch> connectionWatch_;
  QColor tint_;
  std::optional<int> tintObserver_;
  std::optional<int> pendingTab_;
  // The usage screens drawn at least once.
  QSet<MainScreen*> loaded_;
  bool launched_ = false;
  bool shownOnce_ = false;
  bool refreshedOnce_ = false;
  // The startup screen has been chosen: from now on the tab is the user's.
  bool startupScreenApplied_ = false;
  bool selectingProgrammatically_ = false;
  // The application is in front: one of its windows has the focus.
  bool inFront_ = false;
  bool focusStayedInApp_ = false;
  bool inBackground_ = false;
  bool terminated_ = false;
  int shownBadge_ = 0;
};

}  // namespace kestrio::gui
