#pragma once

#include <signal.h>

#include <map>
#include <memory>
#include <optional>
#include <string>

#include "platform/EventLoop.h"
#include "platform/LinuxFileSystem.h"
#include "platform/NotificationActions.h"
#include "platform/PlaceDatabase.h"
#include "platform/Platform.h"
#include "platform/ScratchFileSystem.h"
#include "platform/SystemLog.h"
#include "platform/TransactionalFileSystem.h"

namespace kestrio {

// Where LinuxPlatform reads the kernel's facts. Tests point these at files of their own.
struct LinuxPaths {
  std::string procNetDev = "/proc/net/dev";
  std::string sysClassNet = "/sys/class/net";
  // Where the system bus listens unless DBUS_SYSTEM_BUS_ADDRESS says otherwise.
  std::string systemBusSocket = "/run/dbus/system_bus_socket";
  std::string procStat = "/proc/stat";
  std::string bootId = "/proc/sys/kernel/random/boot_id";
  // Where kestrio-accountd answers (KESTRIO_ACCOUNTD_SOCKET when set).
  std::string accountingSocket = "/run/kestrio-accountd/socket";
};

// Settings taken from the environment once, at start.
struct LinuxEnvironment {
  std::string
      documentsDirectory;  // KESTRIO_HOME, else $XDG_DATA_HOME/kestrio, else ~/.local/share/kestrio
  std::string zoneId;      // TZ when it names a zone, else the system's zone
  std::string localeId;    // LC_ALL, LC_TIME or LANG, else "en_US_POSIX"
  LinuxPaths paths;        // procNetDev replaced by KESTRIO_COUNTERS when set
  // True: the counters come from the kernel's link table over rtnetlink, with procNetDev and
  // sysfs's ifindex as the fallback. False: procNetDev is a scripted counters file, which may
  // give each interface's index ("NAME@INDEX:").
  bool kernelLinkTable = false;
  // How long a command waits for another Kestrio process's lock before it gives up
  // (KESTRIO_LOCK_TIMEOUT, in seconds).
  double lockTimeoutSeconds = 60;
  // XDG_RUNTIME_DIR: where the daemon's and the window's sockets live when it is the user's
  // private directory (else in the data directory).
  std::string runtimeDirectory;
  // KESTRIO_LOCATION: positions are read from this file instead of the location service.
  std::string locationFile;
  // The diagnostic log is also shown on standard error (the command line's --verbose).
  bool verbose = false;
  // $XDG_CONFIG_HOME, else ~/.config: where the desktop's autostart entries live.
  std::string configDirectory;
  // Why dates cannot be trusted in this environment (see LocalTime.h); empty when they can.
  std::string timeProblem;
  // A process that only looks: every change of the data directory stays in memory, its lock is
  // taken shared, nothing is shown on the desktop and routine lines are not logged.
  bool readOnly = false;
  // With readOnly: a data directory not made yet reads as empty instead of being an error, for a
  // look that must not create it (the shell's completion).
  bool absentIsEmpty = false;

  static LinuxEnvironment fromProcessEnvironment();
};

// The directory of the settings schema for a program in `programDirectory`: its own
// `../share/kestrio`, else `configuredDirectory`; the canonical path, empty when neither holds
// the schema.
std::string findResourceDirectory(const std::string& programDirectory,
                                  const std::string& configuredDirectory);

class LinuxPlatform final : public Platform {
 public:
  // Creates the documents directory (mode 0700) when missing. Nothing, with `error` set to a
  // one-line reason, when the environment's dates cannot be trusted (before anything is touched),
  // or when the directory cannot be made or is not a writable directory. An
  // existing directory that other users can read or write is tightened to 0700 when it is the
  // user's own, with a warning in the log either way.
  static std::unique_ptr<LinuxPlatform> create(const LinuxEnvironment& env, std::string* error);

  Date now() override;
  const Calendar& calendar() override { return calendar_; }
  std::optional<std::vector<InterfaceCounters>> readInterfaceCounters() override;
  std::string interfaceCountersFailure() override { return countersFailure_; }
  InterfaceKind interfaceKind(const std::string& name) override;
  ConnectionSnapshot activeConnections() override;
  // NetworkManager's signals on the system bus, served with the other events.
  std::unique_ptr<ConnectionWatch> watchConnections(std::function<void()> changed) override;
  ApplicationCounters readApplicationCounters() override;
  std::vector<std::string> dataDirectories() override;
  MeteredChange setConnectionMetered(const std::string& uuid, ConnectionMetered value) override;
  // On a thread of its own; the answer comes back through the platform's events.
  void setConnectionMeteredLater(const std::string& uuid, ConnectionMetered value,
                                 std::function<void(const MeteredChange&)> done) override;
  std::int64_t bootInstant() override;
  std::string bootId() override;
  std::string machineName() override;
  const std::string& documentsDirectory() override { return env_.documentsDirectory; }
  FileSystem& files() override { return transactional_; }
  Transactions& transactions() override { return transactional_; }
  UserDefaults& userDefaults() override { return defaults_; }
  // The journal, else syslog; standard error only when verbose.
  void log(std::string_view line) override;
  void warn(std::string_view line) override;

  // The desktop services (LinuxDesktop.cpp): notifications and the badge over the session
  // D-Bus, mail through xdg-email.
  bool deliverNotification(const LocalNotification& notification) override;
  // The "View" action over a session-bus connection kept open from the first alert that offers
  // it (NotificationActions.h); a window started from here gets the notification's activation
  // token.
  void onNotificationView(std::function<void(const std::string&)> view) override;
  bool openWindow(const std::string& network) override;
  void setApplicationIconBadgeNumber(int number) override;
  int applicationIconBadgeNumber() override;
  bool canSendMail() override;
  bool sendMail(const MailMessage& message) override;
  std::string platformVersion() override;
  // LinuxResources.cpp: the idiom of the screen the window is on (tablet until told), and the
  // resources beside the program (../share/kestrio, in the build tree as installed), else the
  // installed data directory.
  UserInterfaceIdiom userInterfaceIdiom() override { return idiom_; }
  void setScreenWidth(int logicalWidth) { idiom_ = idiomForScreenWidth(logicalWidth); }
  std::string resourceDirectory() override;
  // LinuxAutostart.cpp: the XDG autostart entry that runs kestrio-gui --tray.
  Autostart* autostart() override;
  // LinuxProcess.cpp: SIGTERM, SIGINT and SIGHUP are blocked at the first call (main blocks
  // them before anything else) and awaited.
  bool waitForTermination(double seconds) override;
  void interruptWait() override { waitInterrupted_ = true; }
  // LinuxProcess.cpp: the heap's free parts.
  void releaseIdleMemory() override;
  // LinuxProcess.cpp: the daemon lock file, and a socket in the user's private runtime directory
  // named after the directory's path, which outlives the directory being removed and created
  // again (InstanceSocket.h). Nothing when another daemon holds either.
  std::unique_ptr<FileLock> claimDaemonInstance() override;
  // InotifyWatch.cpp.
  std::unique_ptr<DirectoryWatch> watchDocumentsDirectory() override;

  // LinuxLocation.cpp: positions from GeoClue (or the KESTRIO_LOCATION file), places from
  // libgweather's world database, read at the first question.
  bool significantLocationChangeMonitoringAvailable() override { return true; }
  bool locationServicesEnabled() override;
  std::unique_ptr<LocationManager> makeLocationManager(LocationManagerDelegate& delegate) override;
  std::optional<Placemark> reverseGeocode(double latitude, double longitude) override;
  int eventDescriptor() override { return events_.descriptor(); }
  void dispatchEvents() override { events_.dispatch(); }
  // LinuxProcess.cpp: whether a daemon of the user's own listens on this directory's socket.
  bool daemonRunningElsewhere() override;

  const LinuxEnvironment& environment() const { return env_; }

 private:
  explicit LinuxPlatform(LinuxEnvironment env);
  // The interface's flags from sysfs (IFF_LOOPBACK ...); nothing when sysfs has no entry.
  std::optional<std::uint64_t> interfaceFlags(const std::string& name);
  // The interface's index from sysfs; 0 when sysfs has no entry.
  std::uint32_t interfaceIndex(const std::string& name);
  // /proc/net/dev (or the scripted file), with loopback flags and indexes from sysfs.
  std::optional<std::vector<InterfaceCounters>> readCountersFile(bool scripted);
  // False, with the failure told, when a reading lists more interfaces than Kestrio reads.
  bool withinInterfaceLimit(std::size_t count, const std::string& table);
  // Whether a system bus may run here: its address is set or its socket exists.
  bool systemBusMayRun() const;
  // The daemon's wait while positions may come: serves them as they come.
  bool waitForTerminationServingEvents(const sigset_t& stop, double wait);

  LinuxEnvironment env_;
  SystemLog systemLog_;
  Calendar calendar_;
  LinuxFileSystem files_;
  ScratchFileSystem scratch_;  // over files_, for a read-only process
  TransactionalFileSystem transactional_;
  UserDefaults defaults_;
  std::map<std::string, InterfaceKind> kinds_;  // each interface is classified once
  bool toldLinkTableFallback_ = false;          // the fallback is logged once per process
  std::optional<bool> networkManagerKnown_;     // NetworkManager answered the last time asked
  std::string countersFailure_;                 // why the last reading answered nothing
  UserInterfaceIdiom idiom_ = UserInterfaceIdiom::Pad;
  std::optional<std::string> resources_;
  EventLoop events_;
  std::unique_ptr<PlaceDatabase> places_;
  bool placesLoaded_ = false;
  bool locationRefused_ = false;   // the service or the user said no: asked no more
  std::string toldLocationOff_;    // the reason last logged, so it is logged once
  bool holdsDaemonClaim_ = false;  // this process is the daemon
  bool waitInterrupted_ = false;   // an event served during the wait asked to end it
  std::unique_ptr<XdgAutostart> autostart_;
  std::function<void(const std::string&)> viewHandler_;  // the answer to an alert's "View"
  std::unique_ptr<NotificationActions> notificationActions_;
  std::string activationToken_;  // the token of the action being answered
};

}  // namespace kestrio
