#include "platform/NotificationActions.h"

#include <cstring>
#include <utility>
#include <vector>

#include "platform/Systemd.h"

namespace kestrio {

namespace {

// The notification service's signals for the notifications of this connection; the bus daemon
// sends them here only, so other applications' notifications never wake the process.
constexpr const char* kMatches[] = {
    "type='signal',sender='org.freedesktop.Notifications',path='/org/freedesktop/Notifications',"
    "interface='org.freedesktop.Notifications',member='ActionInvoked'",
    "type='signal',sender='org.freedesktop.Notifications',path='/org/freedesktop/Notifications',"
    "interface='org.freedesktop.Notifications',member='ActivationToken'",
    "type='signal',sender='org.freedesktop.Notifications',path='/org/freedesktop/Notifications',"
    "interface='org.freedesktop.Notifications',member='NotificationClosed'",
};

// A service that never closes its notifications (some keep none) must not make the list grow
// without end: the oldest ids are forgotten first, long after anyone could choose them.
constexpr std::size_t kRememberedNotifications = 64;

}  // namespace

struct NotificationActions::Bus {
  const systemd::Functions* sd = nullptr;
  sd_bus* bus = nullptr;
  std::vector<sd_bus_slot*> slots;

  ~Bus() {
    if (sd == nullptr) return;
    for (sd_bus_slot* slot : slots) sd->sd_bus_slot_unref(slot);
    if (bus != nullptr) sd->sd_bus_flush_close_unref(bus);
  }
};

NotificationActions::NotificationActions(EventLoop& loop, View view)
    : loop_(loop), view_(std::move(view)), bus_(std::make_unique<Bus>()) {}

NotificationActions::~NotificationActions() {
  if (fd_ >= 0) loop_.remove(fd_);
}

std::unique_ptr<NotificationActions> NotificationActions::open(EventLoop& loop, View view,
                                                               std::string* why) {
  if (!sessionBusKnown()) {
    if (why) *why = "no session bus";
    return nullptr;
  }
  std::unique_ptr<NotificationActions> actions(new NotificationActions(loop, std::move(view)));
  Bus& b = *actions->bus_;
  b.sd = systemd::load();
  if (b.sd == nullptr) {
    if (why) *why = "libsystemd cannot be loaded";
    return nullptr;
  }
  int r = b.sd->sd_bus_open_user(&b.bus);
  auto signalled = [](sd_bus_message* message, void* context, sd_bus_error*) {
    auto* self = static_cast<NotificationActions*>(context);
    const systemd::Functions& sd = *self->bus_->sd;
    std::uint32_t id = 0;
    const char* text = nullptr;
    const char* member = sd.sd_bus_message_get_member(message);
    if (member == nullptr) return 0;
    if (std::strcmp(member, "NotificationClosed") == 0) {
      std::uint32_t reason = 0;
      if (sd.sd_bus_message_read(message, "uu", &id, &reason) >= 0) self->closed(id);
    } else if (sd.sd_bus_message_read(message, "us", &id, &text) >= 0 && text != nullptr) {
      if (std::strcmp(member, "ActionInvoked") == 0) {
        self->invoked(id, text);
      } else if (self->targets_.count(id) != 0) {
        self->tokens_[id] = text;
      }
    }
    return 0;
  };
  for (const char* match : kMatches) {
    if (r < 0) break;
    sd_bus_slot* slot = nullptr;
    r = b.sd->sd_bus_add_match(b.bus, &slot, match, signalled, actions.get());
    if (r >= 0) b.slots.push_back(slot);
  }
  int fd = -1;
  if (r >= 0) r = fd = b.sd->sd_bus_get_fd(b.bus);
  if (r < 0) {
    if (why) *why = std::string("the session bus cannot be watched: ") + std::strerror(-r);
    return nullptr;
  }
  NotificationActions* self = actions.get();
  if (!loop.add(fd, [self] { self->serve(); })) {
    if (why) *why = "the session bus cannot be watched";
    return nullptr;
  }
  actions->fd_ = fd;
  return actions;
}

bool NotificationActions::show(std::string_view body, std::string_view soundName,
                               DesktopNotificationOptions options, const std::string& target,
                               std::uint32_t* id, std::string* error) {
  options.viewAction = !target.empty();
  std::uint32_t shown = 0;
  if (!showDesktopNotificationOn(bus_->bus, body, soundName, options, &shown, error)) {
    return false;
  }
  if (id != nullptr) *id = shown;
  tokens_.erase(shown);
  if (target.empty()) {
    targets_.erase(shown);
  } else {
    targets_[shown] = target;
    // Ids grow as the service hands them out: the smallest is the oldest.
    while (targets_.size() > kRememberedNotifications) targets_.erase(targets_.begin());
  }
  // The reply's wait may have read signals the loop will not be woken for.
  serve();
  return true;
}

void NotificationActions::serve() {
  if (fd_ < 0) return;
  Bus& b = *bus_;
  int r = 0;
  while ((r = b.sd->sd_bus_process(b.bus, nullptr)) > 0) {
  }
  if (r < 0) {
    loop_.remove(fd_);
    fd_ = -1;
  }
}

void NotificationActions::invoked(std::uint32_t id, const std::string& key) {
  const auto found = targets_.find(id);
  if (found == targets_.end()) return;
  if (key != kViewActionKey && key != kClickActionKey) return;
  std::string token;
  if (const auto given = tokens_.find(id); given != tokens_.end()) {
    token = std::move(given->second);
    tokens_.erase(given);
  }
  // The service closes the notification after the action; the target is kept until it says so.
  if (view_) view_(found->second, token);
}

void NotificationActions::closed(std::uint32_t id) {
  targets_.erase(id);
  tokens_.erase(id);
}

}  // namespace kestrio
