#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ApplicationCounters.h"
#include "platform/Autostart.h"
#include "platform/Calendar.h"
#include "platform/Date.h"
#include "platform/DeviceIdiom.h"
#include "platform/DirectoryWatch.h"
#include "platform/FileSystem.h"
#include "platform/Location.h"
#include "platform/NetworkInterfaces.h"
#include "platform/NetworkManagerSettings.h"
#include "platform/Notifications.h"
#include "platform/Transactions.h"
#include "platform/UserDefaults.h"

namespace kestrio {

// Everything Kestrio needs from the operating system, passed by reference to whoever needs it.
// LinuxPlatform is the real one; tests use FakePlatform.
class Platform {
 public:
  virtual ~Platform() = default;

  virtual Date now() = 0;
  // The user's calendar, time zone and locale.
  virtual const Calendar& calendar() = 0;

  // Every interface's counters, in the kernel's order; nothing when they cannot be read.
  virtual std::optional<std::vector<InterfaceCounters>> readInterfaceCounters() = 0;
  // Why the last reading answered nothing, naming the table ("the interface table /proc/net/dev
  // lists 5000 interfaces, more than the 4096 Kestrio reads"); empty when it did not, or when
  // there is nothing more to tell.
  virtual std::string interfaceCountersFailure() { return {}; }
  // The automatic classification of an interface (the user's override is applied by the caller).
  virtual InterfaceKind interfaceKind(const std::string& name) = 0;
  // The connections NetworkManager has in force now; not `known` where it does not run.
  virtual ConnectionSnapshot activeConnections() { return {}; }
  // Calls `changed`, at a dispatch of the platform's events (`dispatchEvents`, or during the
  // daemon's wait), each time the connections NetworkManager has in force differ from the last
  // time it looked: a device connected or disconnected, its connection or its metered value
  // changed, NetworkManager started or stopped. The watch lasts as long as the object returned;
  // nothing where there is no system bus to watch.
  virtual std::unique_ptr<ConnectionWatch> watchConnections(std::function<void()> changed) {
    (void)changed;
    return nullptr;
  }
  // Every application's counters for this user, from the accounting service kestrio-accountd;
  // `ServiceMissing` where it does not run.
  virtual ApplicationCounters readApplicationCounters() {
    return {
        ApplicationCounters::State::ServiceMissing, "no accounting service on this platform", {}};
  }
  // The directories whose "applications" folders hold the desktop entries that name
  // applications, most important first (see nameApplication).
  virtual std::vector<std::string> dataDirectories() { return {}; }
  // Changes NetworkManager's own setting of whether the connection with `uuid` is metered, for
  // every program on the system; polkit may ask the user first. Answers what NetworkManager
  // stores afterwards, or its refusal.
  virtual MeteredChange setConnectionMetered(const std::string& uuid, ConnectionMetered value) {
    (void)uuid;
    (void)value;
    return {false, std::nullopt, "NetworkManager is not running"};
  }

  // The same change without waiting for it: `done` gets the answer at a dispatch of the
  // platform's events, for a window that must go on drawing while polkit asks the user (for as
  // long as two minutes). Here it is answered at once.
  virtual void setConnectionMeteredLater(const std::string& uuid, ConnectionMetered value,
                                         std::function<void(const MeteredChange&)> done) {
    const MeteredChange change = setConnectionMetered(uuid, value);
    if (done) done(change);
  }

  // The boot instant in whole seconds since 1970-01-01 UTC; -1 when unknown.
  virtual std::int64_t bootInstant() = 0;
  // An identity that differs for every boot; empty when unknown.
  virtual std::string bootId() = 0;
  // The machine's hardware name ("x86_64", "aarch64").
  virtual std::string machineName() = 0;

  // The directory that holds every file of Kestrio, without a trailing slash.
  virtual const std::string& documentsDirectory() = 0;
  // The plain file operations: each takes effect at once, unless a transaction is open and the
  // file is one of the documents directory's, which the transaction then stages.
  virtual FileSystem& files() = 0;
  // The change of the documents directory's files that one refresh or one user action makes,
  // staged and installed as one (see Transaction).
  virtual Transactions& transactions() = 0;
  virtual UserDefaults& userDefaults() = 0;

  // One plain line for the system log: routine information.
  virtual void log(std::string_view line) = 0;
  // One line for the system log about something that went wrong (a change not stored, a file
  // that could not be read): at warning priority where the log keeps priorities.
  virtual void warn(std::string_view line) { log(line); }

  // Shows a notification to the user now through the desktop's notification service. Answers
  // false when it could not be shown (no desktop session, the service did not answer): the
  // caller keeps it for a process that can. Texts are plain: the implementation escapes any
  // markup.
  virtual bool deliverNotification(const LocalNotification& notification) = 0;
  // Calls `view` with a notification's `viewTarget` (its network) when the user chooses its
  // "View" action or clicks it, at a dispatch of the platform's events. From this call on, the
  // notifications this process shows carry the action, for as long as it lives; one that never
  // calls it (a process that ends at once, where nobody would hear the choice) shows them
  // without.
  virtual void onNotificationView(std::function<void(const std::string& network)> view) {
    (void)view;
  }
  // Brings the window up on `network` ("cellular", "wifi"): the running one, else a new one,
  // started apart from this process. False, with the reason logged, when it could not be started.
  virtual bool openWindow(const std::string& network) {
    (void)network;
    return false;
  }
  // The number on the application's icon; 0 shows none. Kept across processes.
  virtual void setApplicationIconBadgeNumber(int number) = 0;
  virtual int applicationIconBadgeNumber() = 0;

  // Whether a mail client can be handed a message (xdg-email and a default mail handler).
  virtual bool canSendMail() = 0;
  // Hands the message to the user's mail client; false when that failed.
  virtual bool sendMail(const MailMessage& message) = 0;

  // The version of the platform ("6.1.0"), for features older versions lack.
  virtual std::string platformVersion() = 0;
  // The screen's idiom: the tablet idiom unless the screen is narrow.
  virtual UserInterfaceIdiom userInterfaceIdiom() { return UserInterfaceIdiom::Pad; }
  // The directory of the resources Kestrio ships (the settings schema); empty when none is found.
  virtual std::string resourceDirectory() { return {}; }
  // The desktop's autostart entry for Kestrio; nothing where the desktop has none.
  virtual Autostart* autostart() { return nullptr; }

  // Waits up to `seconds` for the request to end the process (SIGTERM, SIGINT). Answers true
  // when it came; false when the time passed.
  virtual bool waitForTermination(double seconds) = 0;
  // Ends the wait in progress early, as if its time had passed: called by an event served during
  // the wait that needs a pass now.
  virtual void interruptWait() {}

  // Called when a process is about to wait for minutes (the daemon between two refreshes):
  // hands back the memory it does not need until it works again.
  virtual void releaseIdleMemory() {}

  // Held while this process is the one daemon of the documents directory; nothing when another
  // process is. The real platform also recognises a daemon whose directory was removed and
  // created again.
  virtual std::unique_ptr<FileLock> claimDaemonInstance() {
    return files().tryLock(documentPath(kDaemonLockFileName));
  }

  // A watch on the documents directory, for a window that follows the other processes' passes;
  // nothing where the platform cannot watch it.
  virtual std::unique_ptr<DirectoryWatch> watchDocumentsDirectory() { return nullptr; }

  // --- Location (the last place of use) ---
  // Whether this platform can watch for significant changes of position at all.
  virtual bool significantLocationChangeMonitoringAvailable() { return false; }
  // Whether the location service is there and the user allows Kestrio to use it.
  virtual bool locationServicesEnabled() { return false; }
  // A manager reporting to `delegate`, stopped until told; nothing where there is no service.
  virtual std::unique_ptr<LocationManager> makeLocationManager(LocationManagerDelegate& delegate) {
    (void)delegate;
    return nullptr;
  }
  // The place nearest to a position, found offline; nothing when no place is near or the
  // place database cannot be read.
  virtual std::optional<Placemark> reverseGeocode(double latitude, double longitude) {
    (void)latitude;
    (void)longitude;
    return std::nullopt;
  }
  // Whether a daemon other than this process runs for the documents directory.
  virtual bool daemonRunningElsewhere() { return false; }
  // Platform events (positions) for a process with an event loop of its own: the descriptor is
  // readable when some wait, and `dispatchEvents` delivers them. -1 when there is nothing to
  // watch.
  virtual int eventDescriptor() { return -1; }
  virtual void dispatchEvents() {}

  // Path of a file in the documents directory.
  std::string documentPath(std::string_view name) {
    return documentsDirectory() + "/" + std::string(name);
  }
  // The lock that serialises passes and store updates across Kestrio's processes.
  std::unique_ptr<FileLock> lockDocuments() { return files().lock(documentPath(kLockFileName)); }

  static constexpr std::string_view kLockFileName = "kestrio.lock";
  static constexpr std::string_view kDaemonLockFileName = "daemon.lock";
  static constexpr std::string_view kDefaultsFileName = "defaults.plist";
  static constexpr std::string_view kNotificationsFileName = "notifications.plist";
};

}  // namespace kestrio
