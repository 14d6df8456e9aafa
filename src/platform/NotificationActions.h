#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>

#include "platform/DesktopBus.h"
#include "platform/EventLoop.h"

namespace kestrio {

// The "View" action of the notifications a long-lived process (the daemon, the window) shows.
// The notification service tells a chosen action only to the connection that showed the
// notification, and only while it is open: so this keeps one session-bus connection for both,
// served through `loop`, and calls `view` with the notification's target (its network) when the
// user chooses "View" or clicks the notification. A notification's activation token (which lets
// a Wayland compositor give the focus to the window it starts) comes with the call.
class NotificationActions {
 public:
  using View = std::function<void(const std::string& target, const std::string& activationToken)>;

  // Nothing, with `why` set, when there is no session bus to keep open.
  static std::unique_ptr<NotificationActions> open(EventLoop& loop, View view, std::string* why);
  ~NotificationActions();
  NotificationActions(const NotificationActions&) = delete;
  NotificationActions& operator=(const NotificationActions&) = delete;

  // Shows the notification with the "View" action for `target` when `target` is not empty;
  // false, with the reason in `error`, as showDesktopNotification.
  bool show(std::string_view body, std::string_view soundName, DesktopNotificationOptions options,
            const std::string& target, std::uint32_t* id, std::string* error);
  // Whether the connection still stands; once the bus has closed, notifications go the
  // one-connection way again.
  bool connected() const { return fd_ >= 0; }

 private:
  struct Bus;
  NotificationActions(EventLoop& loop, View view);
  void serve();
  void invoked(std::uint32_t id, const std::string& key);
  void closed(std::uint32_t id);

  EventLoop& loop_;
  View view_;
  std::unique_ptr<Bus> bus_;
  int fd_ = -1;
  // The target of each notification shown and not closed yet, by the service's id.
  std::map<std::uint32_t, std::string> targets_;
  // The activation token the service sent for a notification, until its action arrives.
  std::map<std::uint32_t, std::string> tokens_;
};

}  // namespace kestrio
