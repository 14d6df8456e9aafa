#include "gui/MainWindow.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QScreen>
#include <QSystemTrayIcon>
#include <QTabBar>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

#include "engine/Communications.h"
#include "gui/Icons.h"
#include "gui/QtUi.h"
#include "gui/ThemeStyle.h"
#include "gui/UsageScreen.h"
#include "gui/counters/CountersTab.h"
#include "gui/history/HistoryTab.h"
#include "gui/settings/SettingsView.h"
#include "gui/settings/SettingsViews.h"
#include "gui/shell/NavigationStack.h"
#include "gui/shell/WindowGeometry.h"
#include "gui/shell/WindowNavigator.h"
#include "plan/PlanPanes.h"

namespace kestrio::gui {

// The platform as the window's screens and delegate see it. A notification that falls due while
// the application is in front is not sent to the desktop: the delegate shows it in the window
// ("Usage Alert"), as a handheld does for an application in the foreground.
class MainWindow::ForegroundPlatform final : public kestrio::Platform {
 public:
  ForegroundPlatform(kestrio::Platform& inner, std::function<bool()> inFront,
                     std::function<void(const kestrio::LocalNotification&)> receive)
      : inner_(inner), inFront_(std::move(inFront)), receive_(std::move(receive)) {}

  kestrio::Date now() override { return inner_.now(); }
  const kestrio::Calendar& calendar() override { return inner_.calendar(); }
  std::optional<std::vector<kestrio::InterfaceCounters>> readInterfaceCounters() override {
    return inner_.readInterfaceCounters();
  }
  kestrio::InterfaceKind interfaceKind(const std::string& name) override {
    return inner_.interfaceKind(name);
  }
  std::int64_t bootInstant() override { return inner_.bootInstant(); }
  std::string bootId() override { return inner_.bootId(); }
  std::string machineName() override { return inner_.machineName(); }
  const std::string& documentsDirectory() override { return inner_.documentsDirectory(); }
  kestrio::FileSystem& files() override { return inner_.files(); }
  kestrio::UserDefaults& userDefaults() override { return inner_.userDefaults(); }
  void log(std::string_view line) override { inner_.log(line); }
  void deliverNotification(const kestrio::LocalNotification& notification) override {
    if (inFront_()) {
      receive_(notification);
    } else {
      inner_.deliverNotification(notification);
    }
  }
  void setApplicationIconBadgeNumber(int number) override {
    inner_.setApplicationIconBadgeNumber(number);
  }
  int applicationIconBadgeNumber() override { return inner_.applicationIconBadgeNumber(); }
  bool canSendMail() override { return inner_.canSendMail(); }
  bool sendMail(const kestrio::MailMessage& message) override { return inner_.sendMail(message); }
  std::string platformVersion() override { return inner_.platformVersion(); }
  kestrio::UserInterfaceIdiom userInterfaceIdiom() override { return inner_.userInterfaceIdiom(); }
  std::string resourceDirectory() override { return inner_.resourceDirectory(); }
  kestrio::Autostart* autostart() override { return inner_.autostart(); }
  bool waitForTermination(double seconds) override { return inner_.waitForTermination(seconds); }

 private:
  kestrio::Platform& inner_;
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
  // The settings screens' buttons and keyed headers are the application delegate's.
  settingsDelegate_ = std::make_unique<kestrio::KestrioSettingsDelegate>(*delegate_);
  settingsController_->delegate = settingsDelegate_.get();
  delegate_->setTitleLookup([this](const std::string& key) {
    kestrio::IASKSettingsReader& reader = settingsController_->settingsReader();
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
  buildTray(quit);

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
  if (!store.synchronize()) platform_->log("Window: the window's place could not be stored");
}

MainWindow::~MainWindow() {
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
  tabs_ = new QTabWidget(this);
  tabs_->setObjectName(QStringLiteral("tabs"));
  tabs_->setTabPosition(QTabWidget::South);
  tabs_->setDocumentMode(true);
  tabs_->tabBar()->setExpanding(true);
  tabs_->setUsesScrollButtons(false);
  tabs_->setElideMode(Qt::ElideRight);
  tabs_->setIconSize(QSize(24, 24));

  cellularScreen_ = new UsageScreen(*platform_, *ui_, center_, true);
  wifiScreen_ = new UsageScreen(*platform_, *ui_, center_, false);
  addStackTab(cellularScreen_, nullptr, icons::cellular(), tr("Cellular"));
  addStackTab(wifiScreen_, nullptr, icons::wifi(), tr("Wi-Fi"));
  // The counters tab chains its own screens' navigation in front of the window's.
  countersTab_ = new CountersTab(*platform_, *ui_, center_);
  addStackTab(countersTab_, nullptr, icons::counters(), tr("Custom"));
  addStackTab(new HistoryTab(*platform_, *ui_), nullptr, icons::history(), tr("History"));
  registerSettingsViews(navigator_->views());
  settingsController_ =
      std::make_shared<kestrio::IASKAppSettingsViewController>(*platform_, *ui_, center_);
  settingsController_->factory = std::make_shared<kestrio::IASKViewControllerFactory>();
  kestrio::registerPlanPanes(*settingsController_->factory, *platform_);
  addStackTab(new SettingsView(settingsController_), settingsController_.get(), icons::settings(),
              tr("Settings"));
  setCentralWidget(tabs_);
  applyTheme(this, *platform_, true);

  connect(tabs_, &QTabWidget::currentChanged, this, &MainWindow::onCurrentChanged);
  for (UsageScreen* screen : {cellularScreen_, wifiScreen_}) {
    connect(screen, &UsageScreen::tabRequested, this, [this](int index) {
      pendingTab_ = index;
      // A refresh this window did not start (an adjustment, a reset) is followed up once the
      // screen has finished drawing.
      QMetaObject::invokeMethod(this, &MainWindow::applyPendingTab, Qt::QueuedConnection);
    });
  }
}

void MainWindow::addStackTab(QWidget* root, kestrio::ViewController* rootController,
                             const QIcon& icon, const QString& title) {
  auto* stack = new shell::NavigationStack(navigator_->views(), root, rootController);
  navigator_->addStack(stack);
  tabs_->addTab(stack, icon, title);
}

shell::NavigationStack* MainWindow::stack(int index) const {
  return qobject_cast<shell::NavigationStack*>(tabs_->widget(index));
}

shell::NavigationStack* MainWindow::currentStack() const {
  return tabs_ ? stack(tabs_->currentIndex()) : nullptr;
}

UsageScreen* MainWindow::usageScreenAt(int index) const {
  const shell::NavigationStack* tab = stack(index);
  // Only the root of a usage tab is a usage screen; a screen pushed over it is not.
  if (!tab || tab->depth() != 1) return nullptr;
  return qobject_cast<UsageScreen*>(tab->topView());
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
  refreshVisibleScreen();
  kestrio::Communications::deliverDueNotifications(*platform_);
  updateBadge();
  if (visibleUsageScreen()) emit visibleScreenRefreshed();
}

void MainWindow::refreshVisibleScreen() {
  // The refresh may bring the other usage screen to front (the startup screen); that one is
  // refreshed too, and asks for the same tab again.
  for (int i = 0; i < 2; ++i) {
    UsageScreen* screen = visibleUsageScreen();
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
  settingsController_->applicationDidEnterBackground();
  if (tray_) hide();
  delegate_->applicationDidEnterBackground();
  updateBadge();
}

void MainWindow::enterForeground() {
  if (terminated_) return;
  if (inBackground_) {
    inBackground_ = false;
    delegate_->applicationWillEnterForeground();
    settingsController_->applicationWillEnterForeground();
    loaded_.insert(cellularScreen_);
    loaded_.insert(wifiScreen_);
    applyPendingTab();
    updateBadge();
  }
  showNormal();
  raise();
  activateWindow();
}

void MainWindow::quitApplication() {
  if (!terminated_) {
    terminated_ = true;
    inFront_ = false;
    rememberFrame();
    settingsController_->applicationWillTerminate();
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

void MainWindow::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
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
  // startup screen applies when the application becomes active, not when the user picks a tab.
  UsageScreen* screen = usageScreenAt(index);
  if (screen && !loaded_.contains(screen)) {
    screen->refresh();
    loaded_.insert(screen);
    pendingTab_.reset();
    updateBadge();
  }
}

void MainWindow::selectTab(int index) {
  if (index < 0 || index >= tabs_->count()) return;
  selectingProgrammatically_ = true;
  tabs_->setCurrentIndex(index);
  selectingProgrammatically_ = false;
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

UsageScreen* MainWindow::visibleUsageScreen() {
  return usageScreenAt(tabs_->currentIndex());
}

// --- Theme and badge ---

void MainWindow::applyTint() {
  tint_ = toQColor(delegate_->windowTintColor);
  const QString colour = tint_.name(QColor::HexRgb);
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
  if (number == shownBadge_) return;
  shownBadge_ = number;
  if (tray_) {
    tray_->setIcon(badgedIcon(icons::application(), number));
    tray_->setToolTip(number == 0 ? QStringLiteral("Kestrio")
                                  : QStringLiteral("Kestrio (%1)").arg(number));
  }
}

}  // namespace kestrio::gui
