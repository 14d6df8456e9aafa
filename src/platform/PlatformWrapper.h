#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/Platform.h"

namespace kestrio {

// A platform that hands every operation to another one. A decorator derives from it and
// overrides only the calls it changes (the window keeps a notification that falls due while it
// is in front), so an operation added to Platform reaches the real platform through every
// decorator without touching them.
class PlatformWrapper : public Platform {
 public:
  explicit PlatformWrapper(Platform& target) : target_(target) {}
  // A wrapper of a wrapper decorates it too. Without this the implicit copy constructor would be
  // chosen for a decorator argument and the copy would skip that decorator.
  explicit PlatformWrapper(PlatformWrapper& target) : target_(target) {}
  PlatformWrapper(const PlatformWrapper&) = delete;
  PlatformWrapper& operator=(const PlatformWrapper&) = delete;

  // The platform every call goes to.
  Platform& target() const { return target_; }

  Date now() override { return target_.now(); }
  const Calendar& calendar() override { return target_.calendar(); }
  std::optional<std::vector<InterfaceCounters>> readInterfaceCounters() override {
    return target_.readInterfaceCounters();
  }
  std::string interfaceCountersFailure() override { return target_.interfaceCountersFailure(); }
  InterfaceKind interfaceKind(const std::string& name) override {
    return target_.interfaceKind(name);
  }
  ConnectionSnapshot activeConnections() override { return target_.activeConnections(); }
  std::unique_ptr<ConnectionWatch> watchConnections(std::function<void()> changed) override {
    return target_.watchConnections(std::move(changed));
  }
  ApplicationCounters readApplicationCounters() override {
    return target_.readApplicationCounters();
  }
  std::vector<std::string> dataDirectories() override { return target_.dataDirectories(); }
  MeteredChange setConnectionMetered(const std::string& uuid, ConnectionMetered value) override {
    return target_.setConnectionMetered(uuid, value);
  }
  void setConnectionMeteredLater(const std::string& uuid, ConnectionMetered value,
                                 std::function<void(const MeteredChange&)> done) override {
    target_.setConnectionMeteredLater(uuid, value, std::move(done));
  }
  std::int64_t bootInstant() override { return target_.bootInstant(); }
  std::string bootId() override { return target_.bootId(); }
  std::string machineName() override { return target_.machineName(); }
  const std::string& documentsDirectory() override { return target_.documentsDirectory(); }
  FileSystem& files() override { return target_.files(); }
  Transactions& transactions() override { return target_.transactions(); }
  UserDefaults& userDefaults() override { return target_.userDefaults(); }
  void log(std::string_view line) override { target_.log(line); }
  void warn(std::string_view line) override { target_.warn(line); }
  bool deliverNotification(const LocalNotification& notification) override {
    return target_.deliverNotification(notification);
  }
  void onNotificationView(std::function<void(const std::string&)> view) override {
    target_.onNotificationView(std::move(view));
  }
  bool openWindow(const std::string& network) override { return target_.openWindow(network); }
  void setApplicationIconBadgeNumber(int number) override {
    target_.setApplicationIconBadgeNumber(number);
  }
  int applicationIconBadgeNumber() override { return target_.applicationIconBadgeNumber(); }
  bool canSendMail() override { return target_.canSendMail(); }
  bool sendMail(const MailMessage& message) override { return target_.sendMail(message); }
  std::string platformVersion() override { return target_.platformVersion(); }
  UserInterfaceIdiom userInterfaceIdiom() override { return target_.userInterfaceIdiom(); }
  std::string resourceDirectory() override { return target_.resourceDirectory(); }
  Autostart* autostart() override { return target_.autostart(); }
  bool waitForTermination(double seconds) override { return target_.waitForTermination(seconds); }
  void interruptWait() override { target_.interruptWait(); }
  void releaseIdleMemory() override { target_.releaseIdleMemory(); }
  std::unique_ptr<FileLock> claimDaemonInstance() override { return target_.claimDaemonInstance(); }
  std::unique_ptr<DirectoryWatch> watchDocumentsDirectory() override {
    return target_.watchDocumentsDirectory();
  }
  bool significantLocationChangeMonitoringAvailable() override {
    return target_.significantLocationChangeMonitoringAvailable();
  }
  bool locationServicesEnabled() override { return target_.locationServicesEnabled(); }
  std::unique_ptr<LocationManager> makeLocationManager(LocationManagerDelegate& delegate) override {
    return target_.makeLocationManager(delegate);
  }
  std::optional<Placemark> reverseGeocode(double latitude, double longitude) override {
    return target_.reverseGeocode(latitude, longitude);
  }
  bool daemonRunningElsewhere() override { return target_.daemonRunningElsewhere(); }
  int eventDescriptor() override { return target_.eventDescriptor(); }
  void dispatchEvents() override { target_.dispatchEvents(); }

 private:
  Platform& target_;
};

}  // namespace kestrio
