#include "gui/MainWindow.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPainter>
#include <QScreen>
#include <QSocketNotifier>
#include <QSystemTrayIcon>
#include <QTabBar>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <tuple>
#include <utility>

#include "counters/CustomCounterViewController.h"
#include "gui/counters/CounterScreenRegistry.h"
#include "gui/counters/CustomCounterScreen.h"
#include "gui/history/HistoryScreen.h"
#include "gui/history/HistoryScreenRegistry.h"
#include "gui/settings/AppSettingsScreen.h"
#include "gui/settings/SettingsScreenRegistry.h"
#include "gui/shell/DocumentsWatcher.h"
#include "gui/shell/KeyboardNavigation.h"
#include "gui/shell/NavigationStack.h"
#include "gui/shell/QtUi.h"
#include "gui/shell/TabBar.h"
#include "gui/shell/UndoBar.h"
#include "gui/shell/WindowGeometry.h"
#include "gui/shell/WindowNavigator.h"
#include "gui/theme/Icons.h"
#include "gui/theme/ThemeStyle.h"
#include "gui/usage/MainScreen.h"
#include "history/HistoryViewController.h"
#include "plan/PlanPanes.h"
#include "platform/PlatformWrapper.h"
#include "platform/Transaction.h"
#include "services/Communications.h"

namespace kestrio::gui {

// The platform as the window's screens and delegate see it. A notification that falls due while
// the application is in front is not sent to the desktop: the delegate shows it in the window
// ("Usage Alert"), as a handheld does for an application in the foreground. Every other call goes
// to the real platform.
class MainWindow::ForegroundPlatform final : public kestrio::PlatformWrapper {
 public:
  ForegroundPlatform(kestrio::Platform& target, std::function<bool()> inFront,
                     std::function<void(const kestrio::LocalNotification&)> receive)
      : PlatformWrapper(target), inFront_(std::move(inFront)), receive_(std::move(receive)) {}

  bool deliverNotification(const kestrio::LocalNotification& notification) override {
    if (!inFront_()) return PlatformWrapper::deliverNotification(notification);
    receive_(notification);
    return true;
  }

 private:
  std::function<bool()> inFront_;
  std::function<void(const kestrio::LocalNotification&)> receive_;
};

MainWindow::MainWindow(kestrio::Platform& platform, QWidget* parent) : QMainWindow(parent) {
  platform_ = std::make_unique<ForegroundPlatform>(
      platform, [this] { return inFront_ && !inBackground_ && !terminated_; },
      [this](const kestrio::LocalNotification& notification) {
        if (delegate_) delegate_->didReceiveLocalNotification(notification);
      });
  setWindowTitle(QStringLiteral("Kestrio"));
  setWindowIcon(icons::application());
  ui_ = new QtUi(this);
  navigator_ = new shell::WindowNavigator(this, [this] { return currentStack(); });
  navigator_->install(*ui_);
  buildTabs();
  delegate_ = std::make_unique<kestrio::KestrioAppDelegate>(
      *platform_, *ui_, center_, KESTRIO_VERSION, &cellularScreen_->controller(),
      &wifiScreen_->controller());
  delegate_->onSelectTab = [this](int index) { selectTab(index); };
  // The window records places while no daemon does; positions arrive through Qt's loop.
  delegate_->monitorsLocation = true;
  if (platform_->eventDescriptor() >= 0) {
    auto* events = new QSocketNotifier(platform_->eventDescriptor(), QSocketNotifier::Read, this);
    connect(events, &QSocketNotifier::activated, this, [this] {
      platform_->dispatchEvents();
      updateBadge();
    });
  }
  // Without a daemon the window counts at each change of connection itself, so the traffic up to
  // it stays with the connection it was earned on. Run after the event is served, not inside it.
  connectionWatch_ = platform_->watchConnections([this] {
    QMetaObject::invokeMethod(
        this,
        [this] {
          if (!launched_ || terminated_ || platform_->daemonRunningElsewhere()) return;
          if (inFront_ && !inBackground_) {
            refreshNow();
          } else {
            backgroundRefresh();
          }
        },
        Qt::QueuedConnection);
  });
  // The window's own alerts (shown while no daemon runs) open it on their network; after the
  // event is served, not inside it.
  platform_->onNotificationView([this](const std::string& network) {
    QMetaObject::invokeMethod(
        this, [this, network] { showNetwork(QString::fromStdString(network)); },
        Qt::QueuedConnection);
  });
  // The settings screens' buttons and keyed headers are the application delegate's.
  settingsDelegate_ = std::make_unique<kestrio::SettingsDelegateAdapter>(*delegate_);
  delegate_->setTitleLookup([this](const std::string& key) {
    kestrio::settings::SettingsReader& reader = settingsController().settingsReader();
    for (int section = 0; section < reader.numberOfSections(); ++section) {
      if (reader.keyForSection(section) == key) return reader.titleForSection(section);
    }
    return key;
  });

  auto* quit = new QAction(tr("Quit"), this);
  quit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
  quit->setShortcutContext(Qt::ApplicationShortcut);
  connect(quit, &QAction::triggered, this, &MainWindow::quitApplication);
  addAction(quit);

  auto* refresh = new QAction(tr("Refresh"), this);
  refresh->setShortcuts({QKeySequence(Qt::Key_F5), QKeySequence(Qt::CTRL | Qt::Key_R)});
  connect(refresh, &QAction::triggered, this, &MainWindow::refreshNow);
  addAction(refresh);
  auto* about = new QAction(tr("About Kestrio"), this);
  about->setShortcut(QKeySequence(Qt::Key_F1));
  connect(about, &QAction::triggered, this, &MainWindow::showAbout);
  addAction(about);
  // Ctrl+PgDown and Ctrl+PgUp change tab wherever the keyboard is, as in a browser; the tab
  // widget alone takes them only while the keyboard is inside it.
  for (const auto& [title, key, step] : {std::tuple{tr("Next Tab"), Qt::Key_PageDown, 1},
                                         std::tuple{tr("Previous Tab"), Qt::Key_PageUp, -1}}) {
    auto* change = new QAction(title, this);
    change->setShortcut(QKeySequence(Qt::CTRL | key));
    connect(change, &QAction::triggered, this, [this, step = step] {
      const int count = tabs_->count();
      tabs_->setCurrentIndex((tabs_->currentIndex() + step + count) % count);
    });
    addAction(change);
  }
  buildTray(quit);
  if (tray_) tray_->contextMenu()->insertAction(quit, about);

  // Tab in the order the controls are seen, Return on the focused button, on every screen and
  // dialog of the window.
  qApp->installEventFilter(new shell::KeyboardNavigation(this));

  watcher_ = new shell::DocumentsWatcher(*platform_, this);
  connect(watcher_, &shell::DocumentsWatcher::changed, this, &MainWindow::redrawFromFiles);

  // Moving between the window and its own dialogs keeps the application in front; only a return
  // from another application makes it active again.
  connect(qApp, &QGuiApplication::applicationStateChanged, this,
          [this](Qt::ApplicationState state) {
            if (state != Qt::ApplicationActive) {
              focusStayedInApp_ = false;
              inFront_ = false;
            }
          });
  placeOnScreen();
}

void MainWindow::placeOnScreen() {
  const QScreen* where = screen() ? screen() : QGuiApplication::primaryScreen();
  if (!where) {
    resize(kPreferredSize);
    return;
  }
  std::optional<QRect> remembered;
  if (const auto stored = platform_->userDefaults().objectForKey(shell::kWindowFrameKey)) {
    remembered = shell::frameFromPlist(*stored);
  }
  // The title bar and borders a window manager adds, so the whole window fits.
  const QMargins decorations(4, 36, 4, 4);
  setGeometry(shell::initialWindowRect(where->availableGeometry(), kPreferredSize, kSmallestSize,
                                       remembered, decorations));
}

void MainWindow::rememberFrame() {
  if (!isVisible() || isMinimized() || isMaximized() || isFullScreen()) return;
  kestrio::UserDefaults& store = platform_->userDefaults();
  store.setObject(shell::kWindowFrameKey, shell::frameToPlist(geometry()));
  if (!store.synchronize()) platform_->warn("Window: the window's place could not be stored");
}

MainWindow::~MainWindow() {
  // The platform outlives the window: its alerts' actions no longer come here.
  platform_->onNotificationView(nullptr);
  if (tintObserver_) center_.removeObserver(*tintObserver_);
  // The dialogs still open must not answer a controller that is gone.
  ui_->forgetDelegate(delegate_.get());
  ui_->forgetDelegate(&cellularScreen_->controller());
  ui_->forgetDelegate(&wifiScreen_->controller());
  // The screens use the platform and the notification center, which are members: they go first,
  // the presented ones before the tabs they cover.
  navigator_->closeAll();
  disconnect(tabs_, nullptr, this, nullptr);
  delete tabs_;
  delegate_.reset();
  delete ui_;
}

void MainWindow::buildTabs() {
  // The window's style goes on before any widget exists, and every widget is made where it
  // stays: moving a styled widget styles all of it again.
  applyTheme(this, *platform_, true);
  auto* central = new QWidget(this);
  setCentralWidget(central);
  tabs_ = new shell::TabWidget(central);
  tabs_->setObjectName(QStringLiteral("tabs"));
  tabs_->setTabPosition(QTabWidget::South);
  tabs_->setDocumentMode(true);
  tabs_->tabBar()->setExpanding(true);
  tabs_->setUsesScrollButtons(false);
  tabs_->setIconSize(QSize(24, 24));

  // The usage screens are built at once: the delegate's passes draw both, and the launch shows
  // one of them. The other tabs are built the first time they are shown. Each root screen is
  // made where it stays, inside its stack.
  addLazyTab(icons::cellular(), tr("Cellular"), [this] {
    shell::NavigationStack* stack = placeStack(0);
    cellularScreen_ = new MainScreen(*platform_, *ui_, center_, true, stack->pageArea());
    stack->setRoot(cellularScreen_);
  });
  addLazyTab(icons::wifi(), tr("Wi-Fi"), [this] {
    shell::NavigationStack* stack = placeStack(1);
    wifiScreen_ = new MainScreen(*platform_, *ui_, center_, false, stack->pageArea());
    stack->setRoot(wifiScreen_);
  });
  ensureTab(0);
  ensureTab(1);
  addLazyTab(icons::counters(), tr("Custom"), [this] {
    registerCounterScreens(navigator_->views(), *platform_);
    shell::NavigationStack* stack = placeStack(kCustomTab);
    counterList_ = new CustomCounterScreen(
        std::make_shared<kestrio::CustomCounterViewController>(*platform_, *ui_, center_),
        stack->pageArea());
    stack->setRoot(counterList_, &counterList_->controller());
  });
  addLazyTab(icons::history(), tr("History"), [this] {
    registerHistoryScreens(*navigator_);
    shell::NavigationStack* stack = placeStack(3);
    // On a wide window a period's detail stands beside the list.
    auto* hint = new QLabel(tr("Choose a billing period to see its days here."));
    hint->setObjectName(QStringLiteral("historyDetailHint"));
    hint->setProperty(kThemeRoleProperty, kRoleDetail);
    hint->setAlignment(Qt::AlignCenter);
    hint->setWordWrap(true);
    stack->showPushesBeside(kHistoryBesideWidth, hint);
    historyList_ = new HistoryScreen(
        std::make_shared<kestrio::HistoryViewController>(*platform_, *ui_), stack->pageArea());
    stack->setRoot(historyList_, &historyList_->controller());
  });
  addLazyTab(icons::settings(), tr("Settings"), [this] {
    registerSettingsScreens(navigator_->views(), *platform_);
    kestrio::settings::AppSettingsViewController& settings = settingsController();
    shell::NavigationStack* stack = placeStack(kestrio::KestrioAppDelegate::kSettingsTab);
    stack->setRoot(new AppSettingsScreen(settingsController_, stack->pageArea()), &settings);
  });
  // The undo bar sits under the tabs, at the bottom of the window, where a deletion was made.
  auto* column = new QVBoxLayout(central);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(0);
  column->addWidget(tabs_, 1);
  undoBar_ = new shell::UndoBar(
      platform_->userInterfaceIdiom() == kestrio::UserInterfaceIdiom::Phone, central);
  column->addWidget(undoBar_);
  ui_->setUndoBar(undoBar_);

  // Before the window's own handler, so a tab shown for the first time is there to appear.
  connect(tabs_, &QTabWidget::currentChanged, this, &MainWindow::ensureTab);
  connect(tabs_, &QTabWidget::currentChanged, this, &MainWindow::onCurrentChanged);
  for (MainScreen* screen : {cellularScreen_, wifiScreen_}) {
    connect(screen, &MainScreen::tabRequested, this, [this](int index) {
      // The startup screen is chosen once; afterwards the tab stays the one the user picked.
      if (startupScreenApplied_) return;
      pendingTab_ = index;
      // A refresh this window did not start (an adjustment, a reset) is followed up once the
      // screen has finished drawing.
      QMetaObject::invokeMethod(this, &MainWindow::applyPendingTab, Qt::QueuedConnection);
    });
  }
}

void MainWindow::addLazyTab(const QIcon& icon, const QString& title, std::function<void()> build) {
  auto* page = new QWidget;
  page->setObjectName(QStringLiteral("tabPage"));
  auto* layout = new QVBoxLayout(page);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  tabBuilders_.push_back(std::move(build));
  tabStacks_.push_back(nullptr);
  // The tab bar puts each name under its icon, so five names fit a phone held upright.
  const int index = tabs_->addTab(page, icon, title);
  tabs_->setTabToolTip(index, title);
  tabs_->tabBar()->setAccessibleTabName(index, title);
}

shell::NavigationStack* MainWindow::placeStack(int index) {
  QWidget* page = tabs_->widget(index);
  auto* stack =
      new shell::NavigationStack(navigator_->views(), shell::NavigationStack::RootLater{}, page);
  page->layout()->addWidget(stack);
  // A page already on screen does not show a child added later by itself.
  if (page->isVisible()) stack->show();
  navigator_->addStack(stack);
  tabStacks_[static_cast<std::size_t>(index)] = stack;
  return stack;
}

void MainWindow::ensureTab(int index) {
  if (index < 0 || static_cast<std::size_t>(index) >= tabBuilders_.size()) return;
  std::function<void()> build = std::exchange(tabBuilders_[static_cast<std::size_t>(index)], {});
  if (build) build();
}

bool MainWindow::isTabBuilt(int index) const {
  return index >= 0 && static_cast<std::size_t>(index) < tabStacks_.size() &&
         tabStacks_[static_cast<std::size_t>(index)] != nullptr;
}

CustomCounterScreen& MainWindow::counterList() {
  ensureTab(kCustomTab);
  return *counterList_;
}

HistoryScreen& MainWindow::historyList() {
  ensureTab(3);
  return *historyList_;
}

kestrio::settings::AppSettingsViewController& MainWindow::settingsController() {
  if (!settingsController_) {
    settingsController_ = std::make_shared<kestrio::settings::AppSettingsViewController>(
        *platform_, *ui_, settingsChanges_);
    settingsController_->factory = std::make_shared<kestrio::settings::ViewControllerFactory>();
    kestrio::registerPlanPanes(*settingsController_->factory, *platform_);
    settingsController_->delegate = settingsDelegate_.get();
  }
  return *settingsController_;
}

shell::NavigationStack* MainWindow::stack(int index) {
  ensureTab(index);
  return isTabBuilt(index) ? tabStacks_[static_cast<std::size_t>(index)] : nullptr;
}

shell::NavigationStack* MainWindow::currentStack() {
  return tabs_ ? stack(tabs_->currentIndex()) : nullptr;
}

MainScreen* MainWindow::usageScreenAt(int index) {
  if (index != kestrio::KestrioAppDelegate::kCellularTab &&
      index != kestrio::KestrioAppDelegate::kWifiTab) {
    return nullptr;
  }
  const shell::NavigationStack* tab = stack(index);
  // Only the root of a usage tab is a usage screen; a screen pushed over it is not.
  if (!tab || tab->depth() != 1) return nullptr;
  return qobject_cast<MainScreen*>(tab->topView());
}

void MainWindow::buildTray(QAction* quit) {
  if (!QSystemTrayIcon::isSystemTrayAvailable()) return;
  tray_ = new QSystemTrayIcon(icons::application(), this);
  tray_->setToolTip(QStringLiteral("Kestrio"));
  auto* menu = new QMenu(this);
  menu->addAction(tr("Show"), this, &MainWindow::enterForeground);
  menu->addAction(tr("Refresh"), this, &MainWindow::backgroundRefresh);
  menu->addSeparator();
  menu->addAction(quit);
  tray_->setContextMenu(menu);
  connect(tray_, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason why) {
    if (why == QSystemTrayIcon::Trigger || why == QSystemTrayIcon::DoubleClick) enterForeground();
  });
  tray_->show();
}

void MainWindow::launch() {
  if (launched_) return;
  launched_ = true;
  delegate_->didFinishLaunchingWithOptions(false);
  // Registered after the delegate's own theme observer, so the tint read here is the new one.
  tintObserver_ =
      center_.addObserver(kestrio::kProgressBarMileStoneNotification,
                          [this](const kestrio::NotificationCenter::UserInfo&) { applyTint(); });
  applyTint();
  updateBadge();
}

// --- Lifecycle ---

void MainWindow::becameActive() {
  // Before the launch there is no tab to refresh; the first showing after it loads the screen.
  if (!launched_ || terminated_) return;
  inFront_ = true;
  refreshInFront();
}

void MainWindow::refreshInFront() {
  refreshedOnce_ = true;
  // The window's own passes are drawn here; the watcher is not to announce them again.
  watcher_->ignoreOwnChanges();
  refreshVisibleScreen();
  startupScreenApplied_ = true;
  refreshOtherLoadedScreens();
  kestrio::Communications::deliverDueNotifications(*platform_);
  watcher_->ownChangesDone();
  reloadCountersInFront();
  updateBadge();
  if (visibleUsageScreen()) emit visibleScreenRefreshed();
}

void MainWindow::refreshOtherLoadedScreens() {
  MainScreen* inFront = visibleUsageScreen();
  for (MainScreen* screen : {cellularScreen_, wifiScreen_}) {
    if (screen != inFront && loaded_.contains(screen)) screen->refresh();
  }
}

void MainWindow::refreshNow() {
  if (!launched_ || terminated_) return;
  refreshInFront();
}

void MainWindow::redrawFromFiles() {
  if (!launched_ || terminated_ || !isVisible() || isMinimized()) return;
  watcher_->ignoreOwnChanges();
  {
    // Drawing reads the records and the settings as one consistent state; it stores only what a
    // redraw keeps (the gauge's band).
    kestrio::Transaction transaction(*platform_);
    for (MainScreen* screen : {cellularScreen_, wifiScreen_}) {
      if (!loaded_.contains(screen)) continue;
      screen->controller().repaintView(screen->isCellular());
      screen->reloadApplications();
    }
    const kestrio::Stored stored = transaction.commit();
    // Still under the lock: what is pending now is this redraw's own, never another pass's.
    watcher_->ownChangesDone();
    if (!stored.ok()) {
      platform_->warn("Window: a redraw could not store the gauge's band: " + stored.reason());
    }
  }
  reloadCountersInFront();
  updateBadge();
  emit redrawnFromFiles();
}

void MainWindow::reloadCountersInFront() {
  // The counters' figures change with every pass, the daemon's too: the list (or a counter's
  // detail) in front reads them again, as it does whenever its tab is shown.
  if (tabs_->currentIndex() != kCustomTab) return;
  if (shell::NavigationStack* counters = stack(kCustomTab)) counters->willAppear();
}

QMessageBox* MainWindow::showAbout() {
  auto* box = new QMessageBox(this);
  box->setAttribute(Qt::WA_DeleteOnClose);
  box->setWindowTitle(tr("About Kestrio"));
  box->setIconPixmap(icons::application().pixmap(64, 64));
  box->setTextFormat(Qt::PlainText);
  box->setText(tr("Kestrio %1").arg(QStringLiteral(KESTRIO_VERSION)));
  box->setInformativeText(
      tr("Counts the traffic of your cellular and Wi-Fi networks against your plan.\n\n"
         "Data directory: %1")
          .arg(QString::fromStdString(platform_->documentsDirectory())));
  box->setStandardButtons(QMessageBox::Close);
  box->open();
  return box;
}

void MainWindow::refreshVisibleScreen() {
  // The refresh may bring the other usage screen to front (the startup screen); that one is
  // refreshed too, and asks for the same tab again.
  for (int i = 0; i < 2; ++i) {
    MainScreen* screen = visibleUsageScreen();
    if (!screen) return;
    screen->refresh();
    loaded_.insert(screen);
    applyPendingTab();
    if (visibleUsageScreen() == screen) return;
  }
}

void MainWindow::backgroundRefresh() {
  if (terminated_) return;
  delegate_->performFetchWithCompletionHandler(nullptr);
  loaded_.insert(cellularScreen_);
  loaded_.insert(wifiScreen_);
  applyPendingTab();
  updateBadge();
}

void MainWindow::enterBackground() {
  if (inBackground_ || terminated_) return;
  inBackground_ = true;
  inFront_ = false;
  rememberFrame();
  // A settings tab never built has nothing to store.
  if (settingsController_) settingsController_->applicationDidEnterBackground();
  if (tray_) hide();
  delegate_->applicationDidEnterBackground();
  updateBadge();
}

void MainWindow::enterForeground() {
  if (terminated_) return;
  if (inBackground_) {
    inBackground_ = false;
    delegate_->applicationWillEnterForeground();
    if (settingsController_) settingsController_->applicationWillEnterForeground();
    loaded_.insert(cellularScreen_);
    loaded_.insert(wifiScreen_);
    applyPendingTab();
    updateBadge();
  }
  showNormal();
  raise();
  activateWindow();
}

void MainWindow::showNetwork(const QString& network) {
  const int index = network == QLatin1String("cellular") ? kestrio::KestrioAppDelegate::kCellularTab
                    : network == QLatin1String("wifi")   ? kestrio::KestrioAppDelegate::kWifiTab
                                                         : -1;
  if (index < 0 || terminated_) return;
  // The network asked for takes the place of the startup screen.
  startupScreenApplied_ = true;
  pendingTab_.reset();
  enterForeground();
  // Selected as a tap selects it: leaving the settings applies them, and the tint follows.
  tabs_->setCurrentIndex(index);
}

void MainWindow::quitApplication() {
  if (!terminated_) {
    terminated_ = true;
    inFront_ = false;
    rememberFrame();
    if (settingsController_) settingsController_->applicationWillTerminate();
    delegate_->applicationWillTerminate();
    updateBadge();
  }
  emit terminated();
}

bool MainWindow::event(QEvent* event) {
  if (event->type() == QEvent::WindowActivate) {
    if (!focusStayedInApp_) becameActive();
    focusStayedInApp_ = false;
  } else if (event->type() == QEvent::WindowDeactivate) {
    // The application's active window is already the new one: a dialog of ours, or none.
    focusStayedInApp_ = QApplication::activeWindow() != nullptr;
    if (!focusStayedInApp_) inFront_ = false;
  }
  return QMainWindow::event(event);
}

void MainWindow::changeEvent(QEvent* event) {
  QMainWindow::changeEvent(event);
  if (event->type() != QEvent::WindowStateChange || terminated_) return;
  if (isMinimized()) {
    // Hiding from inside the state change confuses some window managers: do it right after.
    QTimer::singleShot(0, this, [this] {
      if (isMinimized()) enterBackground();
    });
  } else if (inBackground_ && !tray_) {
    // Without a tray the window comes back from the task bar.
    enterForeground();
  }
}

void MainWindow::closeEvent(QCloseEvent* event) {
  if (tray_ && !terminated_) {
    event->ignore();
    enterBackground();
    return;
  }
  event->accept();
  quitApplication();
}

void MainWindow::hideEvent(QHideEvent* event) {
  QMainWindow::hideEvent(event);
  // Hidden in the tray, the window draws nothing: the next activation refreshes it.
  if (!event->spontaneous()) watcher_->stop();
}

void MainWindow::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  if (!terminated_) watcher_->start();
  // The first showing loads the screen in front, whether or not the window manager activates the
  // window (there may be none).
  if (!shownOnce_) {
    shownOnce_ = true;
    QTimer::singleShot(0, this, [this] {
      if (launched_ && !refreshedOnce_ && !terminated_) refreshInFront();
    });
  }
}

// --- Tabs ---

void MainWindow::onCurrentChanged(int index) {
  if (selectingProgrammatically_ || !launched_) return;
  if (!delegate_->shouldSelectViewController(index)) return;
  delegate_->didSelectViewController(index);
  if (shell::NavigationStack* shown = stack(index)) shown->willAppear();
  // A usage screen shown for the first time loads itself. It stays the tab the user chose: the
  // startup screen applies at launch only.
  MainScreen* screen = usageScreenAt(index);
  if (screen && !loaded_.contains(screen)) {
    screen->refresh();
    loaded_.insert(screen);
    pendingTab_.reset();
    updateBadge();
  }
}

void MainWindow::selectTab(int index) {
  // After the termination pass (an alert closed as the application quits) nothing is shown.
  if (terminated_ || index < 0 || index >= tabs_->count()) return;
  selectingProgrammatically_ = true;
  tabs_->setCurrentIndex(index);
  selectingProgrammatically_ = false;
  if (launched_) applyTint();
}

void MainWindow::applyPendingTab() {
  if (!pendingTab_) return;
  const int index = *pendingTab_;
  pendingTab_.reset();
  if (index < 0 || index >= tabs_->count()) return;
  // The startup screen is selected as a tap would select it, so leaving the settings applies
  // them and the tint follows the screen.
  if (!delegate_->shouldSelectViewController(index)) return;
  selectTab(index);
  delegate_->didSelectViewController(index);
}

MainScreen* MainWindow::visibleUsageScreen() {
  return usageScreenAt(tabs_->currentIndex());
}

// --- Theme and badge ---

void MainWindow::applyTint() {
  // The tint is the network's of the usage screen in front, whichever gauge announced a band
  // last: a Wi-Fi screen over quota is red throughout while the cellular one stays green.
  const int index = tabs_->currentIndex();
  delegate_->applyTheme(index == kestrio::KestrioAppDelegate::kCellularTab ? 1
                        : index == kestrio::KestrioAppDelegate::kWifiTab   ? 2
                                                                           : 3);
  tint_ = toQColor(delegate_->windowTintColor);
  // The selected tab's name is text on the bar: a band's red is lightened to be read there.
  const QColor readable = legibleOn(tint_, toQColor(KestrioColors::appBlockBackgroundColor()));
  const QString colour = readable.name(QColor::HexRgb);
  static_cast<shell::TabBar*>(tabs_->tabBar())->setSelectedColor(readable);
  tabs_->tabBar()->setStyleSheet(
      QStringLiteral("QTabBar::tab:selected { color: %1; border-top: 2px solid %1; }").arg(colour));
  QPalette palette = this->palette();
  palette.setColor(QPalette::Window, toQColor(delegate_->windowBackgroundColor));
  setPalette(palette);
}

QIcon MainWindow::badgedIcon(const QIcon& icon, int number) {
  constexpr int kSize = 64;
  QPixmap pixmap = icon.pixmap(kSize, kSize);
  if (pixmap.isNull()) {
    pixmap = QPixmap(kSize, kSize);
    pixmap.fill(Qt::transparent);
  }
  if (number == 0) return QIcon(pixmap);
  const QString text = number > 999 ? QStringLiteral("999+") : QString::number(number);
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);
  QFont font(QStringLiteral("DejaVu Sans"));
  font.setBold(true);
  font.setPixelSize(text.size() <= 2 ? 24 : 18);
  painter.setFont(font);
  const int width = std::max(34, painter.fontMetrics().horizontalAdvance(text) + 12);
  const QRectF badge(kSize - width, 0, width, 34);
  painter.setPen(Qt::NoPen);
  painter.setBrush(QColor(0xE5, 0x1C, 0x23));
  painter.drawRoundedRect(badge, 17, 17);
  painter.setPen(Qt::white);
  painter.drawText(badge, Qt::AlignCenter, text);
  painter.end();
  return QIcon(pixmap);
}

void MainWindow::updateBadge() {
  const int number = platform_->applicationIconBadgeNumber();
  shownBadge_ = number;
  if (tray_) {
    tray_->setIcon(badgedIcon(trayGaugeIcon(), number));
    tray_->setToolTip(trayToolTip());
  }
}

QIcon MainWindow::trayGaugeIcon() {
  const auto rank = [](const std::string& letter) {
    return letter == "R" ? 2 : letter == "Y" ? 1 : 0;
  };
  std::optional<std::pair<int, double>> worst;
  QColor colour;
  for (const auto& [own, other, cellular] : {std::tuple{cellularScreen_, wifiScreen_, true},
                                             std::tuple{wifiScreen_, cellularScreen_, false}}) {
    MainScreen* source = loaded_.contains(own) ? own : loaded_.contains(other) ? other : nullptr;
    if (!source) continue;
    kestrio::MainViewController& controller = source->controller();
    const kestrio::NetworkStatus& status = cellular ? controller.cellular : controller.wifi;
    if (status.visualView.hidden) continue;  // no quota: no share to show
    const std::string letter =
        platform_->userDefaults()
            .stringForKey(cellular ? "currentProgBarColor" : "currentProgBarColorWiFi")
            .value_or("G");
    const std::pair<int, double> state{rank(letter),
                                       static_cast<double>(status.visualView.currentUsagePercent)};
    if (!worst || state > *worst) {
      worst = state;
      colour = toQColor(kestrio::KestrioColors::progressColorForLetter(letter));
    }
  }
  if (!worst) return icons::application();
  return icons::trayGauge(worst->second, colour);
}

QString MainWindow::trayToolTip() {
  QStringList lines{shownBadge_ == 0 ? QStringLiteral("Kestrio")
                                     : QStringLiteral("Kestrio (%1)").arg(shownBadge_)};
  const auto line = [this](const QString& name, MainScreen* own, MainScreen* other,
                           kestrio::NetworkStatus kestrio::MainViewController::*network) {
    // The network's own screen holds its latest figures; the other screen's refresh drew them
    // too.
    MainScreen* source = loaded_.contains(own) ? own : loaded_.contains(other) ? other : nullptr;
    if (!source) return QString();
    kestrio::MainViewController& controller = source->controller();
    const kestrio::NetworkStatus& status = controller.*network;
    if (status.lblMonthlyUsage.text.empty()) return QString();
    const std::string unit = controller.appSettings().displayUnit().value_or("MB");
    // "OF 1000.0 MB USED" reads as part of a sentence here.
    QString available = QString::fromStdString(status.lblAvailable.text);
    if (available.startsWith(QStringLiteral("OF "))) available.replace(0, 2, QStringLiteral("of"));
    available.replace(QStringLiteral(" USED"), QStringLiteral(" used"));
    available.replace(QStringLiteral("UNLIMITED"), QStringLiteral("unlimited"));
    QString shown =
        QStringLiteral("%1: %2 %3 %4")
            .arg(name, QString::fromStdString(status.lblMonthlyUsage.text),
                 QString::fromStdString(unit == "KB" || unit == "GB" ? unit : "MB"), available);
    // The share of the quota and the status word, as the gauge and the screen show them.
    if (!status.visualView.hidden) {
      QString word = QString::fromStdString(status.lblIdealActualDiff.text).toLower();
      if (!word.isEmpty()) word[0] = word[0].toUpper();
      shown += QStringLiteral(" (%1%2)").arg(
          QString::number(status.visualView.currentUsagePercent, 'f', 1) + "%",
          word.isEmpty() ? QString() : QStringLiteral(", ") + word);
    }
    return shown;
  };
  for (const QString& text :
       {line(tr("Cellular"), cellularScreen_, wifiScreen_, &kestrio::MainViewController::cellular),
        line(tr("Wi-Fi"), wifiScreen_, cellularScreen_, &kestrio::MainViewController::wifi)}) {
    if (!text.isEmpty()) lines << text.trimmed();
  }
  return lines.join(QLatin1Char('\n'));
}

}  // namespace kestrio::gui
