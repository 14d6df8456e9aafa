#pragma once

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/Platform.h"
#include "platform/TransactionalFileSystem.h"
#include "support/FakeFileSystem.h"
#include "support/FakeLocation.h"

namespace kestrio::testing {

// An autostart entry that is only a flag; `failWith` makes the next changes fail.
class FakeAutostart final : public Autostart {
 public:
  bool enabled() override { return on; }
  bool setEnabled(bool value, std::string& error) override {
    if (!failWith.empty()) {
      error = failWith;
      return false;
    }
    on = value;
    return true;
  }
  bool on = false;
  std::string failWith;
};

// The platform for unit tests: a clock that only moves when told, scripted interface counters,
// in-memory files, recorded log lines, and a fixed zone and locale.
class FakePlatform final : public Platform {
 public:
  static constexpr const char* kDocuments = "/kestrio-home";

  explicit FakePlatform(const std::string& zoneId = "Europe/Berlin",
                        const std::string& localeId = "en_US");

  Date now() override { return now_; }
  const Calendar& calendar() override { return calendar_; }
  std::optional<std::vector<InterfaceCounters>> readInterfaceCounters() override;
  InterfaceKind interfaceKind(const std::string& name) override;
  // NetworkManager's connections as a test sets them; each question is counted.
  ConnectionSnapshot activeConnections() override {
    ++connectionQueries;
    return connections;
  }
  ConnectionSnapshot connections;
  int connectionQueries = 0;
  // The watch holds the callback while it lives; `changeConnections` calls it, as NetworkManager's
  // signal would, when the connections differ from before.
  std::unique_ptr<ConnectionWatch> watchConnections(std::function<void()> changed) override;
  void changeConnections(ConnectionSnapshot now);
  // The accounting service's answer as a test sets it; missing until told.
  ApplicationCounters readApplicationCounters() override { return applicationCounters; }
  ApplicationCounters applicationCounters;
  std::vector<std::string> dataDirectories() override { return dataDirs; }
  std::vector<std::string> dataDirs;
  // NetworkManager's stored "connection.metered" by connection UUID. A change is refused with
  // `meteredRefusal` when set, fails for a UUID not here, and stores `meteredStoresInstead`
  // instead of the value asked for when set.
  MeteredChange setConnectionMetered(const std::string& uuid, ConnectionMetered value) override {
    meteredRequests.emplace_back(uuid, value);
    if (!meteredRefusal.empty()) return {false, std::nullopt, meteredRefusal};
    auto it = storedMetered.find(uuid);
    if (it == storedMetered.end()) return {false, std::nullopt, "no connection with UUID " + uuid};
    it->second = meteredStoresInstead.value_or(value);
    return {true, it->second, ""};
  }
  // With `holdMeteredAnswers`, the later answers wait in `heldMeteredAnswers` until called, as
  // NetworkManager's wait while polkit asks the user.
  void setConnectionMeteredLater(const std::string& uuid, ConnectionMetered value,
                                 std::function<void(const MeteredChange&)> done) override {
    const MeteredChange change = setConnectionMetered(uuid, value);
    if (!holdMeteredAnswers) {
      done(change);
      return;
    }
    heldMeteredAnswers.push_back([done, change] { done(change); });
  }
  bool holdMeteredAnswers = false;
  std::vector<std::function<void()>> heldMeteredAnswers;
  std::map<std::string, ConnectionMetered> storedMetered;
  std::string meteredRefusal;
  std::optional<ConnectionMetered> meteredStoresInstead;
  std::vector<std::pair<std::string, ConnectionMetered>> meteredRequests;
  std::int64_t bootInstant() override { return bootInstant_; }
  std::string bootId() override { return bootId_; }
  std::string machineName() override { return "fake-machine"; }
  const std::string& documentsDirectory() override { return documents_; }
  FileSystem& files() override { return transactional_; }
  Transactions& transactions() override { return transactional_; }
  UserDefaults& userDefaults() override { return defaults_; }
  void log(std::string_view line) override { logLines.emplace_back(line); }
  bool deliverNotification(const LocalNotification& n) override {
    if (!desktopShowsNotifications) return false;
    delivered.push_back(n);
    return true;
  }
  // The handler of the "View" action; `chooseView` stands for the user choosing it.
  void onNotificationView(std::function<void(const std::string&)> view) override {
    viewHandler_ = std::move(view);
  }
  void chooseView(const std::string& network) {
    if (viewHandler_) viewHandler_(network);
  }
  bool openWindow(const std::string& network) override {
    openedWindows.push_back(network);
    return true;
  }
  std::vector<std::string> openedWindows;
  void setApplicationIconBadgeNumber(int number) override { badge_ = number; }
  int applicationIconBadgeNumber() override { return badge_; }
  bool canSendMail() override { return mailAvailable; }
  bool sendMail(const MailMessage& message) override {
    sentMail.push_back(message);
    return mailSucceeds;
  }
  std::string platformVersion() override { return version; }
  UserInterfaceIdiom userInterfaceIdiom() override { return idiom; }
  std::string resourceDirectory() override { return resources; }
  bool significantLocationChangeMonitoringAvailable() override { return locationAvailable; }
  bool locationServicesEnabled() override { return locationEnabled; }
  std::unique_ptr<LocationManager> makeLocationManager(LocationManagerDelegate& d) override;
  std::optional<Placemark> reverseGeocode(double latitude, double longitude) override;
  bool daemonRunningElsewhere() override { return daemonElsewhere; }
  Autostart* autostart() override { return hasAutostart ? &fakeAutostart : nullptr; }
  // The clock moves on by the time waited; termination comes after `waitsBeforeTermination`.
  bool waitForTermination(double seconds) override;
  // Something that happens `after` seconds into the next wait (traffic, a change of connection);
  // it may arm the wait after it. A wait it interrupts ends there.
  struct WaitEvent {
    double after = 0;
    std::function<void()> happen;
  };
  std::optional<WaitEvent> duringNextWait;
  void interruptWait() override { waitInterrupted_ = true; }
  double clockStepOnWait = 0;  // the wall clock is stepped by this much during the next wait
  int waits = 0;
  int waitsBeforeTermination = -1;  // never

  // A watch whose descriptor (a pipe) becomes readable when a stored file of the documents
  // directory changes in the fake's files, as another process's pass would change it.
  std::unique_ptr<DirectoryWatch> watchDocumentsDirectory() override;
  // Watches open now.
  int openWatches() const { return static_cast<int>(watches_.size()); }

  // Clock.
  void setNow(Date date) { now_ = date; }
  void setNow(int year, int month, int day, int hour = 0, int minute = 0, int second = 0) {
    now_ = at(year, month, day, hour, minute, second);
  }
  void advance(double seconds) { now_ = now_.addingSeconds(seconds); }
  // An instant in the fake's zone.
  Date at(int year, int month, int day, int hour = 0, int minute = 0, int second = 0) const;

  // Counters: the loopback "lo" first, then interfaces in the order they were first set.
  void setCounters(const std::string& name, std::uint64_t received, std::uint64_t sent,
                   InterfaceKind kind);
  void setCounters(const std::string& name, std::uint64_t received, std::uint64_t sent);
  void setLoopback(const std::string& name, std::uint64_t received, std::uint64_t sent);
  // The kernel's index of an interface already set; a link created again gets a new one.
  void setIndex(const std::string& name, std::uint32_t index);
  void setHardwareAddress(const std::string& name, const std::string& address);
  void removeInterface(const std::string& name);
  void setCountersUnreadable(bool unreadable) { countersUnreadable_ = unreadable; }
  int counterReads() const { return counterReads_; }

  // Boot.
  void setBoot(std::int64_t instant, std::string id) {
    bootInstant_ = instant;
    bootId_ = std::move(id);
  }

  FakeFileSystem& fakeFiles() { return files_; }
  std::vector<std::string> logLines;
  std::vector<LocalNotification> delivered;
  bool desktopShowsNotifications = true;  // false: no desktop session can show them
  std::vector<MailMessage> sentMail;
  bool mailAvailable = true;
  bool mailSucceeds = true;
  std::string version = "6.1.0";
  UserInterfaceIdiom idiom = UserInterfaceIdiom::Pad;
  std::string resources = "/resources";  // in the fake's files
  FakeAutostart fakeAutostart;
  bool hasAutostart = true;

  // Location: the managers made (the live one last), the places known, the positions asked.
  bool locationAvailable = true;
  bool locationEnabled = true;
  bool daemonElsewhere = false;
  int locationManagersMade = 0;
  FakeLocationManager* locationManager = nullptr;  // the latest one still alive
  std::vector<FakePlace> places;
  std::vector<std::pair<double, double>> geocoded;

 private:
  std::function<void(const std::string&)> viewHandler_;
  bool waitInterrupted_ = false;
  std::function<void()> connectionsChanged_;
  std::string documents_ = kDocuments;
  Calendar calendar_;
  FakeFileSystem files_;
  TransactionalFileSystem transactional_;
  UserDefaults defaults_;
  Date now_;
  std::vector<InterfaceCounters> counters_;
  std::map<std::string, InterfaceKind> kinds_;
  bool countersUnreadable_ = false;
  int counterReads_ = 0;
  int badge_ = 0;
  std::int64_t bootInstant_ = -1;
  std::string bootId_;
  class Watch;
  std::vector<Watch*> watches_;
};

}  // namespace kestrio::testing
