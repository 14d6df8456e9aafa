// kestrio-gui: the desktop window of the data-usage monitor.
#include <fcntl.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QApplication>
#include <QCommandLineParser>
#include <QScreen>
#include <QSocketNotifier>
#include <QSystemTrayIcon>
#include <QTimer>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <vector>

#include "gui/MainWindow.h"
#include "gui/shell/SingleInstance.h"
#include "platform/LinuxPlatform.h"

namespace {

// The write end of the pipe that carries SIGTERM and SIGINT into the event loop.
int signalWriteFd = -1;

void onStopSignal(int) {
  const int saved = errno;
  const char byte = 1;
  // Nothing else is safe here; a full pipe already holds a request.
  [[maybe_unused]] const ssize_t written = write(signalWriteFd, &byte, 1);
  errno = saved;
}

// Turns SIGTERM and SIGINT into a readable socket; false when that cannot be set up.
bool watchStopSignals(int fds[2]) {
  if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, fds) != 0) return false;
  signalWriteFd = fds[1];
  struct sigaction action {};
  action.sa_handler = onStopSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  return sigaction(SIGTERM, &action, nullptr) == 0 && sigaction(SIGINT, &action, nullptr) == 0;
}

// Qt ends a program that finds no display with an abort and advice to reinstall it. While the
// application connects to the display, its messages are held back: without a display the user
// reads one line saying so, and the process exits with status 1; with one, they are passed on.
QtMessageHandler passOn = nullptr;
std::vector<std::pair<QtMsgType, QString>> heldBack;

void whileConnecting(QtMsgType type, const QMessageLogContext& context, const QString& message) {
  if (type == QtFatalMsg) {
    const char* display = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    std::fprintf(stderr,
                 "kestrio-gui: no display to show the window on (DISPLAY=%s, WAYLAND_DISPLAY=%s); "
                 "kestrio status shows the usage in a terminal\n",
                 display != nullptr ? display : "", wayland != nullptr ? wayland : "");
    std::_Exit(1);
  }
  if (context.category != nullptr && std::strncmp(context.category, "qt.qpa", 6) == 0) {
    heldBack.emplace_back(type, message);
    return;
  }
  if (passOn != nullptr) {
    passOn(type, context, message);
  } else {
    std::fprintf(stderr, "%s\n", qPrintable(message));
  }
}

// What the command line asked for, read before any window exists.
struct Options {
  QString screenshot;
  QString network;  // the usage screen to show: "cellular", "wifi", or empty
  bool tray = false;
  bool verbose = false;
};

// Reads the arguments without a display: --help, --version and a wrong option are answered here
// (and the process exits), so they work in a terminal without a desktop.
Options parseArguments(int argc, char** argv) {
  QCoreApplication core(argc, argv);
  QCoreApplication::setApplicationName(QStringLiteral("kestrio-gui"));
  QCoreApplication::setApplicationVersion(QStringLiteral(KESTRIO_VERSION));
  QCommandLineParser parser;
  parser.setApplicationDescription(
      QStringLiteral("Kestrio: counts the traffic of your cellular and Wi-Fi networks"));
  parser.addHelpOption();
  // -V and -v mean what they mean to kestrio: the version, and the diagnostic log.
  const QCommandLineOption version({QStringLiteral("V"), QStringLiteral("version")},
                                   QStringLiteral("Print the version and exit."));
  parser.addOption(version);
  const QCommandLineOption verbose(
      {QStringLiteral("v"), QStringLiteral("verbose")},
      QStringLiteral(
          "Also show the diagnostic log on standard error (it goes to the system log)."));
  parser.addOption(verbose);
  const QCommandLineOption screenshot(
      QStringLiteral("screenshot"),
      QStringLiteral("Save a picture of the usage screen as PNG to FILE, then quit."),
      QStringLiteral("FILE"));
  parser.addOption(screenshot);
  const QCommandLineOption tray(
      QStringLiteral("tray"),
      QStringLiteral("Start in the tray without showing the window (as when started with the "
                     "desktop)."));
  parser.addOption(tray);
  const QCommandLineOption show(
      QStringLiteral("show"),
      QStringLiteral("Show the usage of NETWORK (cellular or wifi), in the running window if "
                     "there is one."),
      QStringLiteral("NETWORK"));
  parser.addOption(show);
  parser.process(core);
  if (parser.isSet(version)) {
    std::cout << "kestrio-gui " << KESTRIO_VERSION << "\n";
    std::exit(0);
  }
  const QString network = parser.value(show);
  if (parser.isSet(show) && network != QLatin1String("cellular") &&
      network != QLatin1String("wifi")) {
    std::cerr << "kestrio-gui: --show takes cellular or wifi, not '" << qPrintable(network)
              << "'\n";
    std::exit(2);
  }
  return Options{parser.value(screenshot), network, parser.isSet(tray), parser.isSet(verbose)};
}

}  // namespace

int main(int argc, char** argv) {
  const Options options = parseArguments(argc, argv);

  passOn = qInstallMessageHandler(whileConnecting);
  QApplication app(argc, argv);
  qInstallMessageHandler(passOn);
  for (const auto& [type, message] : heldBack) {
    if (passOn != nullptr) passOn(type, QMessageLogContext(), message);
  }
  QApplication::setApplicationName(QStringLiteral("kestrio-gui"));
  QApplication::setApplicationVersion(QStringLiteral(KESTRIO_VERSION));
  QApplication::setDesktopFileName(QStringLiteral(KESTRIO_APP_ID));
  // The window hides to the tray and alerts come and go: only Quit ends the application, after
  // the termination pass.
  QApplication::setQuitOnLastWindowClosed(false);

  std::string error;
  auto environment = kestrio::LinuxEnvironment::fromProcessEnvironment();
  environment.verbose = options.verbose;
  auto platform = kestrio::LinuxPlatform::create(environment, &error);
  if (!platform) {
    std::cerr << "kestrio-gui: " << error << "\n";
    return 1;
  }

  // One window per user and data directory: a second start brings the first one to the front.
  // A screenshot run is a picture of this process's own window, so it never hands over.
  kestrio::gui::shell::SingleInstance instance(
      platform->environment().runtimeDirectory,
      QString::fromStdString(platform->documentsDirectory()));
  if (options.screenshot.isEmpty()) {
    switch (instance.claim(options.network)) {
      case kestrio::gui::shell::SingleInstance::Outcome::AnotherRaised:
        std::cout << "kestrio-gui: Kestrio is already running for "
                  << platform->documentsDirectory() << "; its window was brought to the front\n";
        return 0;
      case kestrio::gui::shell::SingleInstance::Outcome::Unavailable:
        platform->log("Window: cannot tell whether another window runs; starting anyway");
        break;
      case kestrio::gui::shell::SingleInstance::Outcome::First:
        break;
    }
  }

  int signalFds[2] = {-1, -1};
  if (!watchStopSignals(signalFds)) {
    std::cerr << "kestrio-gui: cannot watch for SIGTERM and SIGINT\n";
    return 1;
  }

  // A narrow screen (a phone) gets the phone idiom, every other the tablet idiom.
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    platform->setScreenWidth(screen->availableGeometry().width());
  }
  kestrio::gui::MainWindow window(*platform);
  QObject::connect(&window, &kestrio::gui::MainWindow::terminated, &app, &QCoreApplication::quit,
                   Qt::QueuedConnection);
  // Quitting any other way (the session ends) still runs the termination pass.
  QObject::connect(&app, &QCoreApplication::aboutToQuit, &window,
                   &kestrio::gui::MainWindow::quitApplication);

  QObject::connect(&instance, &kestrio::gui::shell::SingleInstance::showRequested, &window,
                   [&window](const QString& network) {
                     if (network.isEmpty()) {
                       window.enterForeground();
                     } else {
                       window.showNetwork(network);
                     }
                   });

  QSocketNotifier stopNotifier(signalFds[0], QSocketNotifier::Read);
  QObject::connect(&stopNotifier, &QSocketNotifier::activated, &window, [&] {
    char bytes[16];
    while (read(signalFds[0], bytes, sizeof bytes) > 0) {
    }
    window.quitApplication();
  });

  bool screenshotFailed = false;
  if (!options.screenshot.isEmpty()) {
    const QString file = options.screenshot;
    QObject::connect(
        &window, &kestrio::gui::MainWindow::visibleScreenRefreshed, &window,
        [&window, &screenshotFailed, file] {
          // Once the refresh has been painted.
          QTimer::singleShot(0, &window, [&window, &screenshotFailed, file] {
            if (window.isTerminated()) return;
            if (!window.grab().save(file, "PNG")) {
              std::cerr << "kestrio-gui: cannot write " << file.toStdString() << "\n";
              screenshotFailed = true;
            }
            window.quitApplication();
          });
        },
        Qt::SingleShotConnection);
  }

  // Started with the desktop, only the tray icon appears; without a tray the window is the only
  // way in, so it shows.
  if (!options.tray || !QSystemTrayIcon::isSystemTrayAvailable()) window.show();
  window.launch();
  if (!options.network.isEmpty()) window.showNetwork(options.network);
  const int status = QApplication::exec();
  return screenshotFailed ? 1 : status;
}
