#include "cli/Daemon.h"

#include <fmt/format.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <iostream>
#include <ostream>
#include <utility>

#include "app/KestrioAppDelegate.h"
#include "cli/Commands.h"
#include "cli/TerminalUi.h"
#include "platform/Transaction.h"
#include "services/Communications.h"
#include "services/DataFormatter.h"

namespace kestrio::cli {

namespace {

// One line for the log: what the period stands at on each network after a refresh.
std::string refreshLine(KestrioAppDelegate& delegate) {
  MainViewController& own = delegate.mainViewController;
  const std::string unit = own.appSettings().displayUnit().value_or("MB");
  auto period = [&](AppData& data) {
    return fmt::format("{:.2f} {}",
                       DataFormatter::converToDataUnitFromBytes(data.dataThisMonth(), unit), unit);
  };
  return fmt::format("updated: cellular {} this period, Wi-Fi {} this period",
                     period(own.appDataCellular()), period(own.appDataWifi()));
}

// The moment the next scheduled notification falls due, if any. Those due already were just
// offered to the desktop; the ones it could not show wait for the next refresh rather than
// wake the daemon every second.
std::optional<Date> nextDue(Platform& platform) {
  const Date now = platform.now();
  for (const LocalNotification& scheduled : Communications::scheduledLocalNotifications(platform)) {
    if (scheduled.fireDate > now) return scheduled.fireDate;
  }
  return std::nullopt;
}

}  // namespace

std::optional<double> parseInterval(const std::string& text) {
  double minutes = 0;
  const char* end = text.data() + text.size();
  auto [ptr, ec] = std::from_chars(text.data(), end, minutes);
  if (text.empty() || ec != std::errc() || ptr != end || !std::isfinite(minutes) ||
      minutes < kMinIntervalMinutes || minutes > kMaxIntervalMinutes) {
    return std::nullopt;
  }
  return minutes;
}

int runDaemon(Platform& platform, double intervalMinutes, std::ostream& err) {
  auto instance = platform.claimDaemonInstance();
  if (!instance) {
    err << "kestrio: a kestrio daemon is already running for " << platform.documentsDirectory()
        << "\n";
    return kDaemonAlreadyRunningStatus;
  }
  const double interval = intervalMinutes * 60;
  platform.log(fmt::format("daemon started: updating every {} minutes", intervalMinutes));

  // The daemon lives on after its alerts, so it can answer their "View": the window comes up on
  // the alert's network.
  platform.onNotificationView([&platform](const std::string& network) {
    if (platform.openWindow(network))
      platform.log("window opened on " + network + " from an alert");
  });
  // The answer goes with the run: the platform may outlive it.
  struct ViewAnswer {
    Platform& platform;
    ~ViewAnswer() { platform.onNotificationView(nullptr); }
  } viewAnswer{platform};

  TerminalUi ui(std::cout, std::cin, false, false);
  NotificationCenter center;
  KestrioAppDelegate delegate(platform, ui, center, version());
  // The daemon records the places where data is used (when the user asked for it); positions
  // are served during its waits.
  delegate.monitorsLocation = true;
  // The daemon's launch starts the badge from zero; the greetings and the first-launch date are
  // left to the window.
  delegate.didFinishLaunchingWithOptions(false);
  // A pass at each change of NetworkManager's connections, so the traffic up to the change counts
  // where it was counted before and the traffic after it where the new connection belongs.
  bool connectionsChanged = false;
  const std::unique_ptr<ConnectionWatch> connections = platform.watchConnections([&] {
    connectionsChanged = true;
    platform.interruptWait();
  });
  while (true) {
    {
      Transaction transaction(platform);
      if (transaction.locked()) {
        delegate.performFetchWithCompletionHandler([](int) {});
        // Nothing of a refresh that could not be stored is lost: the interface counters it read
        // are not remembered, so the next refresh counts the same traffic again.
        if (const Stored stored = transaction.commit(); stored.ok()) {
          platform.log(refreshLine(delegate));
        } else {
          platform.warn("update not stored: " + stored.reason());
        }
      } else {
        // Counting without the lock could count a pass twice; the next refresh counts this one.
        platform.warn("update skipped: the data directory could not be locked");
      }
    }
    Date nextRefresh = platform.now().addingSeconds(interval);
    while (platform.now() < nextRefresh) {
      // A clock stepped back (a time sync) must not put the next refresh years away.
      if (nextRefresh.secondsSince1970 - platform.now().secondsSince1970 > interval) {
        nextRefresh = platform.now().addingSeconds(interval);
      }
      Date wake = nextRefresh;
      if (auto due = nextDue(platform); due && *due < wake) wake = *due;
      // At least a second between two deliveries: a notification that stays due (its schedule
      // could not be written) must not keep the daemon spinning.
      const double wait = std::max(1.0, wake.secondsSince1970 - platform.now().secondsSince1970);
      // A daemon waits most of its life: what the pass used is not held in the meantime.
      platform.releaseIdleMemory();
      if (platform.waitForTermination(wait)) {
        // Stopping is not the user leaving the application: the since-the-application-ran
        // counters go on.
        Transaction transaction(platform);
        if (!transaction.locked()) {
          platform.warn(
              "daemon stopped without a last update: the data directory could not be "
              "locked");
          return 1;
        }
        delegate.mainViewController.backgroundUpdate("", false);
        Communications::deliverDueNotifications(platform);
        if (const Stored stored = transaction.commit(); !stored.ok()) {
          platform.warn("daemon stopped; its last update could not be stored: " + stored.reason());
          return 1;
        }
        platform.log("daemon stopped after a last update");
        return 0;
      }
      Communications::deliverDueNotifications(platform);
      if (std::exchange(connectionsChanged, false)) break;
    }
  }
}

}  // namespace kestrio::cli
