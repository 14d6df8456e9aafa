#include "platform/DesktopBus.h"

#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/SafeText.h"
#include "platform/Systemd.h"

namespace kestrio {
namespace {

constexpr const char* kAppName = "Kestrio";
// The desktop entry names the notifications' sender and its icon (the icon theme's name).
constexpr const char* kDesktopEntry = KESTRIO_APP_ID;
constexpr const char* kAppUri = "application://" KESTRIO_APP_ID ".desktop";
// A notification service that does not answer within this time is treated as absent; a pass
// must not hang on a stuck desktop.
constexpr std::uint64_t kCallTimeoutMicroseconds = 2'000'000;
// The freedesktop sound theme's name for an incoming message.
constexpr const char* kDefaultSound = "message-new-instant";

std::string reason(const char* what, int result, const sd_bus_error* error = nullptr) {
  std::string text = std::string(what) + ": ";
  if (error != nullptr && error->name != nullptr && error->message != nullptr) {
    text += error->message;
  } else {
    text += std::strerror(-result);
  }
  return text;
}

// A session-bus connection that is flushed and closed when it goes.
class SessionBus {
 public:
  SessionBus() = default;
  ~SessionBus() {
    if (bus_ != nullptr) sd_->sd_bus_flush_close_unref(bus_);
  }
  SessionBus(const SessionBus&) = delete;
  SessionBus& operator=(const SessionBus&) = delete;

  bool open(std::string* error) {
    if (!sessionBusKnown()) {
      if (error != nullptr) *error = reason("no session bus", -ENOENT);
      return false;
    }
    sd_ = systemd::load();
    if (sd_ == nullptr) {
      if (error != nullptr) *error = "no session bus: libsystemd cannot be loaded";
      return false;
    }
    int r = sd_->sd_bus_open_user(&bus_);
    if (r < 0) {
      bus_ = nullptr;
      if (error != nullptr) *error = reason("no session bus", r);
      return false;
    }
    return true;
  }
  sd_bus* get() const { return bus_; }
  // The library's functions; only once open() has succeeded.
  const systemd::Functions& library() const { return *sd_; }

 private:
  const systemd::Functions* sd_ = nullptr;
  sd_bus* bus_ = nullptr;
};

class Message {
 public:
  explicit Message(const systemd::Functions& sd) : sd_(sd) {}
  ~Message() { sd_.sd_bus_message_unref(message_); }
  Message(const Message&) = delete;
  Message& operator=(const Message&) = delete;
  sd_bus_message** out() { return &message_; }
  sd_bus_message* get() const { return message_; }

 private:
  const systemd::Functions& sd_;
  sd_bus_message* message_ = nullptr;
};

// Appends the hints dictionary ("a{sv}") of a notification.
int appendHints(const systemd::Functions& sd, sd_bus_message* m, std::string_view soundName,
                bool critical) {
  int r = sd.sd_bus_message_open_container(m, 'a', "{sv}");
  if (r < 0) return r;
  r = sd.sd_bus_message_append(m, "{sv}", "desktop-entry", "s", kDesktopEntry);
  if (r < 0) return r;
  r = sd.sd_bus_message_append(m, "{sv}", "urgency", "y",
                               static_cast<std::uint8_t>(critical ? 2 : 1));
  if (r < 0) return r;
  if (!soundName.empty()) {
    const std::string sound = notificationSoundName(soundName);
    r = sd.sd_bus_message_append(m, "{sv}", "sound-name", "s", sound.c_str());
    if (r < 0) return r;
  }
  return sd.sd_bus_message_close_container(m);
}

}  // namespace

bool sessionBusKnown() {
  const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS");
  if (address != nullptr && *address != '\0') return true;
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime == nullptr || *runtime == '\0') return false;
  struct stat socket {};
  return ::stat((std::string(runtime) + "/bus").c_str(), &socket) == 0;
}

std::string escapeNotificationMarkup(std::string_view raw) {
  // sd-bus refuses a whole message for one malformed UTF-8 sequence, and a control character
  // has no place in a bubble.
  const std::string text = text::forTerminal(raw);
  std::string escaped;
  escaped.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '&':
        escaped += "&amp;";
        break;
      case '<':
        escaped += "&lt;";
        break;
      case '>':
        escaped += "&gt;";
        break;
      case '\'':
        escaped += "&apos;";
        break;
      case '"':
        escaped += "&quot;";
        break;
      default:
        escaped += c;
    }
  }
  return escaped;
}

std::string notificationSoundName(std::string_view soundName) {
  // Names of the sound theme are words of letters, digits, '-', '_' and '.'; anything else (a
  // path, a control character) is not a theme sound, and the user still hears the usual one.
  constexpr std::size_t kMaxLength = 255;
  const bool themeName =
      !soundName.empty() && soundName.size() <= kMaxLength && soundName != "default" &&
      soundName.front() != '.' && std::all_of(soundName.begin(), soundName.end(), [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_' || c == '.';
      });
  return themeName ? std::string(soundName) : kDefaultSound;
}

bool showDesktopNotification(std::string_view body, std::string_view soundName,
                             const DesktopNotificationOptions& options, std::uint32_t* id,
                             std::string* error) {
  SessionBus bus;
  if (!bus.open(error)) return false;
  // Nobody would hear the action on a connection closed at once.
  DesktopNotificationOptions withoutAction = options;
  withoutAction.viewAction = false;
  return showDesktopNotificationOn(bus.get(), body, soundName, withoutAction, id, error);
}

bool showDesktopNotificationOn(sd_bus* bus, std::string_view body, std::string_view soundName,
                               const DesktopNotificationOptions& options, std::uint32_t* id,
                               std::string* error) {
  const systemd::Functions* library = systemd::load();
  if (library == nullptr) {
    if (error != nullptr) *error = "no session bus: libsystemd cannot be loaded";
    return false;
  }
  const systemd::Functions& sd = *library;

  Message call(sd);
  int r = sd.sd_bus_message_new_method_call(bus, call.out(), "org.freedesktop.Notifications",
                                            "/org/freedesktop/Notifications",
                                            "org.freedesktop.Notifications", "Notify");
  if (r < 0) {
    if (error != nullptr) *error = reason("cannot build the notification", r);
    return false;
  }
  const std::string text = escapeNotificationMarkup(body);
  // app_name, replaces_id, app_icon, summary, body, actions
  if (options.viewAction) {
    r = sd.sd_bus_message_append(call.get(), "susssas", kAppName, options.replacesId, kDesktopEntry,
                                 kAppName, text.c_str(), 4, kClickActionKey, "View", kViewActionKey,
                                 "View");
  } else {
    r = sd.sd_bus_message_append(call.get(), "susssas", kAppName, options.replacesId, kDesktopEntry,
                                 kAppName, text.c_str(), 0);
  }
  if (r >= 0) r = appendHints(sd, call.get(), soundName, options.critical);
  if (r >= 0) r = sd.sd_bus_message_append(call.get(), "i", std::int32_t{-1});  // server's timeout
  if (r < 0) {
    if (error != nullptr) *error = reason("cannot build the notification", r);
    return false;
  }

  sd_bus_error callError = SD_BUS_ERROR_NULL;
  Message reply(sd);
  r = sd.sd_bus_call(bus, call.get(), kCallTimeoutMicroseconds, &callError, reply.out());
  if (r < 0 && error != nullptr) *error = reason("notification service", r, &callError);
  sd.sd_bus_error_free(&callError);
  if (r < 0) return false;
  std::uint32_t shown = 0;
  if (id != nullptr && sd.sd_bus_message_read(reply.get(), "u", &shown) >= 0) *id = shown;
  return true;
}

std::string launcherEntryPath(std::string_view appUri) {
  // FNV-1a: a stable hash, so every process uses the same path for the same application.
  std::uint64_t hash = 14695981039346656037ull;
  for (unsigned char c : appUri) {
    hash ^= c;
    hash *= 1099511628211ull;
  }
  char digits[17];
  std::snprintf(digits, sizeof digits, "%016llx", static_cast<unsigned long long>(hash));
  return std::string("/com/canonical/unity/launcherentry/") + digits;
}

bool publishLauncherCount(int count, std::string* error) {
  SessionBus bus;
  if (!bus.open(error)) return false;
  const std::string path = launcherEntryPath(kAppUri);
  int r = bus.library().sd_bus_emit_signal(
      bus.get(), path.c_str(), "com.canonical.Unity.LauncherEntry", "Update", "sa{sv}", kAppUri, 2,
      "count", "x", static_cast<std::int64_t>(count), "count-visible", "b", count != 0 ? 1 : 0);
  if (r < 0) {
    if (error != nullptr) *error = reason("cannot publish the badge", r);
    return false;
  }
  // The connection's flush on close sends the signal before the process moves on.
  return true;
}

}  // namespace kestrio
