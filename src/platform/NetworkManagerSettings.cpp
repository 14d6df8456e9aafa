// Writing NetworkManager's own "connection.metered", so the choice holds for every program on
// the system, not for Kestrio alone.
#include "platform/NetworkManagerSettings.h"

#include <cstdint>
#include <cstring>

#include "platform/Systemd.h"

namespace kestrio {

namespace {

constexpr const char* kService = "org.freedesktop.NetworkManager";
constexpr const char* kSettingsPath = "/org/freedesktop/NetworkManager/Settings";
constexpr const char* kSettingsInterface = "org.freedesktop.NetworkManager.Settings";
constexpr const char* kConnectionInterface = "org.freedesktop.NetworkManager.Settings.Connection";
// NMSettingsUpdate2Flags: keep the change across restarts of NetworkManager.
constexpr std::uint32_t kUpdateToDisk = 0x1;
// Questions are answered at once; the change itself may wait for the user to answer polkit.
constexpr std::uint64_t kQuestionMicroseconds = 5'000'000;
constexpr std::uint64_t kAuthorisationMicroseconds = 120'000'000;

// One system bus connection and the calls on it; every failure keeps the first error's text.
class Session {
 public:
  explicit Session(const systemd::Functions& sd) : sd_(sd) {}
  ~Session() {
    if (bus_ != nullptr) sd_.sd_bus_flush_close_unref(bus_);
  }
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  bool open() {
    if (const int r = sd_.sd_bus_open_system(&bus_); r < 0) {
      bus_ = nullptr;
      return fail(r, nullptr, "no system bus: ");
    }
    sd_.sd_bus_set_method_call_timeout(bus_, kQuestionMicroseconds);
    return true;
  }

  // The object path of the stored connection with `uuid`.
  bool connectionPath(const std::string& uuid, std::string& path) {
    sd_bus_error error = SD_BUS_ERROR_NULL;
    sd_bus_message* reply = nullptr;
    int r = sd_.sd_bus_call_method(bus_, kService, kSettingsPath, kSettingsInterface,
                                   "GetConnectionByUuid", &error, &reply, "s", uuid.c_str());
    const char* found = nullptr;
    if (r >= 0) r = sd_.sd_bus_message_read(reply, "o", &found);
    if (r >= 0 && found != nullptr) path = found;
    sd_.sd_bus_message_unref(reply);
    return r >= 0 || fail(r, &error);
  }

  // The connection's settings (secrets left out by NetworkManager); the caller unrefs them.
  sd_bus_message* settings(const std::string& path) {
    sd_bus_error error = SD_BUS_ERROR_NULL;
    sd_bus_message* reply = nullptr;
    const int r = sd_.sd_bus_call_method(bus_, kService, path.c_str(), kConnectionInterface,
                                         "GetSettings", &error, &reply, "");
    if (r < 0) {
      fail(r, &error);
      return nullptr;
    }
    return reply;
  }

  // "connection.metered" in a GetSettings answer; Unknown when the connection leaves it out.
  bool readMetered(sd_bus_message* settings, ConnectionMetered& out) {
    out = ConnectionMetered::Unknown;
    int r = sd_.sd_bus_message_enter_container(settings, 'a', "{sa{sv}}");
    while (r > 0) {
      r = sd_.sd_bus_message_enter_container(settings, 'e', "sa{sv}");
      if (r <= 0) break;
      const char* group = nullptr;
      r = sd_.sd_bus_message_read(settings, "s", &group);
      if (r >= 0) r = sd_.sd_bus_message_enter_container(settings, 'a', "{sv}");
      while (r > 0) {
        r = sd_.sd_bus_message_enter_container(settings, 'e', "sv");
        if (r <= 0) break;
        const char* key = nullptr;
        r = sd_.sd_bus_message_read(settings, "s", &key);
        if (r >= 0 && std::strcmp(group, "connection") == 0 && std::strcmp(key, "metered") == 0) {
          std::int32_t value = 0;
          r = sd_.sd_bus_message_read(settings, "v", "i", &value);
          if (r >= 0) out = static_cast<ConnectionMetered>(value);
        } else if (r >= 0) {
          r = sd_.sd_bus_message_skip(settings, "v");
        }
        if (r >= 0) r = sd_.sd_bus_message_exit_container(settings);
        if (r >= 0) r = 1;
      }
      if (r >= 0) r = sd_.sd_bus_message_exit_container(settings);
      if (r >= 0) r = sd_.sd_bus_message_exit_container(settings);
      if (r >= 0) r = 1;
    }
    if (r >= 0) r = sd_.sd_bus_message_exit_container(settings);
    return r >= 0 || fail(r, nullptr, "NetworkManager's settings cannot be read: ");
  }

  // Stores the connection's settings as they are, "connection.metered" set to `value`, on a
  // call that allows polkit to ask the user.
  bool update(const std::string& path, sd_bus_message* settings, ConnectionMetered value) {
    sd_bus_message* call = nullptr;
    int r = sd_.sd_bus_message_new_method_call(bus_, &call, kService, path.c_str(),
                                               kConnectionInterface, "Update2");
    if (r >= 0) r = sd_.sd_bus_message_set_allow_interactive_authorization(call, 1);
    if (r >= 0) r = copyWithMetered(call, settings, static_cast<std::int32_t>(value));
    if (r >= 0) r = sd_.sd_bus_message_append(call, "u", kUpdateToDisk);
    if (r >= 0) r = sd_.sd_bus_message_append(call, "a{sv}", 0);
    sd_bus_error error = SD_BUS_ERROR_NULL;
    sd_bus_message* reply = nullptr;
    if (r >= 0) r = sd_.sd_bus_call(bus_, call, kAuthorisationMicroseconds, &error, &reply);
    sd_.sd_bus_message_unref(reply);
    sd_.sd_bus_message_unref(call);
    return r >= 0 || fail(r, &error);
  }

  const std::string& failure() const { return failure_; }

 private:
  // Every group and key of `settings` into `call`, with "connection.metered" replaced (or added).
  int copyWithMetered(sd_bus_message* call, sd_bus_message* settings, std::int32_t metered) {
    int r = sd_.sd_bus_message_enter_container(settings, 'a', "{sa{sv}}");
    if (r >= 0) r = sd_.sd_bus_message_open_container(call, 'a', "{sa{sv}}");
    bool sawConnection = false;
    while (r >= 0) {
      r = sd_.sd_bus_message_enter_container(settings, 'e', "sa{sv}");
      if (r <= 0) break;
      const char* group = nullptr;
      r = sd_.sd_bus_message_read(settings, "s", &group);
      const bool connection = r >= 0 && std::strcmp(group, "connection") == 0;
      sawConnection = sawConnection || connection;
      if (r >= 0) r = sd_.sd_bus_message_open_container(call, 'e', "sa{sv}");
      if (r >= 0) r = sd_.sd_bus_message_append(call, "s", group);
      if (r >= 0) r = sd_.sd_bus_message_enter_container(settings, 'a', "{sv}");
      if (r >= 0) r = sd_.sd_bus_message_open_container(call, 'a', "{sv}");
      while (r >= 0) {
        r = sd_.sd_bus_message_enter_container(settings, 'e', "sv");
        if (r <= 0) break;
        const char* key = nullptr;
        r = sd_.sd_bus_message_read(settings, "s", &key);
        if (r >= 0 && connection && std::strcmp(key, "metered") == 0) {
          r = sd_.sd_bus_message_skip(settings, "v");
        } else if (r >= 0) {
          r = sd_.sd_bus_message_open_container(call, 'e', "sv");
          if (r >= 0) r = sd_.sd_bus_message_append(call, "s", key);
          if (r >= 0) r = sd_.sd_bus_message_copy(call, settings, 0);
          if (r >= 0) r = sd_.sd_bus_message_close_container(call);
        }
        if (r >= 0) r = sd_.sd_bus_message_exit_container(settings);
      }
      if (r >= 0 && connection) r = appendMetered(call, metered);
      if (r >= 0) r = sd_.sd_bus_message_close_container(call);
      if (r >= 0) r = sd_.sd_bus_message_exit_container(settings);
      if (r >= 0) r = sd_.sd_bus_message_close_container(call);
      if (r >= 0) r = sd_.sd_bus_message_exit_container(settings);
    }
    if (r >= 0 && !sawConnection) {
      r = sd_.sd_bus_message_open_container(call, 'e', "sa{sv}");
      if (r >= 0) r = sd_.sd_bus_message_append(call, "s", "connection");
      if (r >= 0) r = sd_.sd_bus_message_open_container(call, 'a', "{sv}");
      if (r >= 0) r = appendMetered(call, metered);
      if (r >= 0) r = sd_.sd_bus_message_close_container(call);
      if (r >= 0) r = sd_.sd_bus_message_close_container(call);
    }
    if (r >= 0) r = sd_.sd_bus_message_close_container(call);
    if (r >= 0) r = sd_.sd_bus_message_exit_container(settings);
    if (r < 0) fail(r, nullptr, "NetworkManager's settings cannot be copied: ");
    return r;
  }

  int appendMetered(sd_bus_message* call, std::int32_t metered) {
    return sd_.sd_bus_message_append(call, "{sv}", "metered", "i", metered);
  }

  // Notes the first failure; always false.
  bool fail(int r, sd_bus_error* error, const char* prefix = "") {
    if (failure_.empty()) {
      failure_ = prefix;
      failure_ +=
          error != nullptr && error->message != nullptr ? error->message : std::strerror(-r);
    }
    if (error != nullptr) sd_.sd_bus_error_free(error);
    return false;
  }

  const systemd::Functions& sd_;
  sd_bus* bus_ = nullptr;
  std::string failure_;
};

}  // namespace

MeteredChange writeNetworkManagerMetered(const std::string& uuid, ConnectionMetered value) {
  MeteredChange change;
  const systemd::Functions* sd = systemd::load();
  if (sd == nullptr) {
    change.error = "libsystemd cannot be loaded";
    return change;
  }
  Session session(*sd);
  std::string path;
  sd_bus_message* before = nullptr;
  if (session.open() && session.connectionPath(uuid, path)) before = session.settings(path);
  if (before != nullptr && session.update(path, before, value)) {
    change.accepted = true;
    // What NetworkManager stores now, not what was asked: it may have normalised the value.
    if (sd_bus_message* after = session.settings(path)) {
      ConnectionMetered stored = ConnectionMetered::Unknown;
      if (session.readMetered(after, stored)) change.stored = stored;
      sd->sd_bus_message_unref(after);
    }
  }
  sd->sd_bus_message_unref(before);
  if (!change.accepted || !change.stored) change.error = session.failure();
  return change;
}

}  // namespace kestrio
