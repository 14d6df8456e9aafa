// The desktop services of LinuxPlatform: notifications and the icon badge over the session
// D-Bus, mail through the user's mail client.

#include <sys/random.h>
#include <sys/stat.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>
#include <vector>

#include "platform/DesktopBus.h"
#include "platform/LinuxPlatform.h"
#include "platform/MailClient.h"
#include "platform/WindowLauncher.h"

namespace kestrio {
namespace {

// The badge lives in the user-defaults store, so every Kestrio process shows the same number.
constexpr const char* kBadgeKey = "applicationIconBadgeNumber";
// The name under which an HTML body travels as an attachment.
constexpr std::string_view kHtmlMessageFileName = "message.html";

// Where a mail's attachments wait for the mail client: the user's runtime directory (emptied at
// logout), else the temporary one.
std::string attachmentBase() {
  for (const char* variable : {"XDG_RUNTIME_DIR", "TMPDIR"}) {
    const char* value = std::getenv(variable);
    if (value != nullptr && value[0] == '/') return value;
  }
  return "/tmp";
}

constexpr std::string_view kMailDirectoryPrefix = "kestrio-mail-";
// A mail client may read an attachment only when the user sends the message, long after
// xdg-email has returned: a mail's directory stays this long before a later mail removes it.
constexpr std::time_t kAttachmentLifetimeSeconds = 24 * 60 * 60;

// Removes the attachment directories of earlier mails that are older than their lifetime: only
// directories of this user with the mail prefix, and only the regular files in them.
void removeOldAttachments(FileSystem& files, const std::string& base) {
  const std::time_t now = std::time(nullptr);
  const auto isOwn = [](const std::string& path, struct stat& info, bool directory) {
    return ::lstat(path.c_str(), &info) == 0 &&
           (directory ? S_ISDIR(info.st_mode) : S_ISREG(info.st_mode)) && info.st_uid == ::getuid();
  };
  for (const std::string& name : files.list(base)) {
    const std::string path = base + "/" + name;
    struct stat info {};
    if (name.rfind(kMailDirectoryPrefix, 0) != 0 || !isOwn(path, info, true) ||
        now - info.st_mtime < kAttachmentLifetimeSeconds) {
      continue;
    }
    for (const std::string& file : files.list(path)) {
      if (isOwn(path + "/" + file, info, false)) ::unlink((path + "/" + file).c_str());
    }
    ::rmdir(path.c_str());
  }
}

// A directory that only this user can enter, made fresh (so nobody can have made it first) and
// removed with the files kept in it when this goes, unless it was handed to the mail client.
class PrivateDirectory {
 public:
  static std::optional<PrivateDirectory> create(const std::string& base) {
    std::string pattern = base + "/" + std::string(kMailDirectoryPrefix) + "XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) return std::nullopt;  // made with mode 0700
    return PrivateDirectory(std::move(pattern));
  }
  PrivateDirectory(PrivateDirectory&& other) noexcept
      : path_(std::move(other.path_)), files_(std::move(other.files_)) {
    other.path_.clear();
  }
  PrivateDirectory(const PrivateDirectory&) = delete;
  PrivateDirectory& operator=(const PrivateDirectory&) = delete;
  PrivateDirectory& operator=(PrivateDirectory&&) = delete;
  ~PrivateDirectory() {
    if (path_.empty()) return;
    for (const std::string& file : files_) ::unlink(file.c_str());
    ::rmdir(path_.c_str());
  }

  const std::string& path() const { return path_; }
  // A file written in the directory, removed with it.
  void keep(const std::string& file) { files_.push_back(file); }
  // Leaves the directory to the mail client; a later mail removes it once it is old.
  void handOver() { path_.clear(); }

 private:
  explicit PrivateDirectory(std::string path) : path_(std::move(path)) {}
  std::string path_;
  std::vector<std::string> files_;
};

bool hasText(const std::string& s) {
  return s.find_first_not_of(" \t\r\n") != std::string::npos;
}

}  // namespace

bool LinuxPlatform::deliverNotification(const LocalNotification& notification) {
  // A look that stores nothing shows nothing: its alerts stay due for a process that stores.
  if (env_.readOnly) return false;
  std::string error;
  DesktopNotificationOptions options;
  options.critical = notification.critical;
  // The server's id of the last one of its tag, kept in the store so that an alert from the
  // daemon replaces one from `kestrio update` too.
  const std::string idKey = "desktopNotificationId-" + notification.replacesTag;
  if (!notification.replacesTag.empty()) {
    options.replacesId = static_cast<std::uint32_t>(
        std::clamp<std::int64_t>(defaults_.integerForKey(idKey), 0, UINT32_MAX));
  }
  // The connection that hears the actions is made at the first alert that has one, not at the
  // start of every process that may show one.
  if (viewHandler_ && !notification.viewTarget.empty() && !notificationActions_) {
    std::string why;
    notificationActions_ = NotificationActions::open(
        events_,
        [this](const std::string& target, const std::string& token) {
          activationToken_ = token;
          if (viewHandler_) viewHandler_(target);
          activationToken_.clear();
        },
        &why);
    if (!notificationActions_) log("Notifications: their actions cannot be heard (" + why + ")");
  }
  std::uint32_t id = 0;
  const bool shown =
      notificationActions_ && notificationActions_->connected()
          ? notificationActions_->show(notification.alertBody, notification.soundName, options,
                                       notification.viewTarget, &id, &error)
          : showDesktopNotification(notification.alertBody, notification.soundName, options, &id,
                                    &error);
  if (shown) {
    if (!notification.replacesTag.empty() && id != 0) {
      defaults_.setInteger(idKey, id);
      if (!defaults_.synchronize()) warn("the notification's id could not be stored");
    }
    return true;
  }
  // Without a desktop (a timer, a server) nobody would see it: it waits for a process that can
  // show it, and the log says so.
  log("Notification not shown yet (" + error + "): " + notification.alertBody);
  return false;
}

void LinuxPlatform::onNotificationView(std::function<void(const std::string&)> view) {
  viewHandler_ = std::move(view);
  if (!viewHandler_) notificationActions_.reset();
}

bool LinuxPlatform::openWindow(const std::string& network) {
  if (network != "cellular" && network != "wifi") return false;
  WindowStart start;
  start.dataDirectory = env_.documentsDirectory;
  start.activationToken = activationToken_;
  std::uint64_t random = 0;
  if (::getrandom(&random, sizeof random, GRND_NONBLOCK) != sizeof random) {
    random =
        static_cast<std::uint64_t>(::getpid()) << 32 ^ static_cast<std::uint64_t>(::time(nullptr));
  }
  char instance[17];
  std::snprintf(instance, sizeof instance, "%016llx", static_cast<unsigned long long>(random));
  start.instance = instance;
  const std::string program = windowProgram();
  // A unit of the user's service manager (the daemon's) starts the window as a unit of its own.
  const char* invocation = std::getenv("INVOCATION_ID");
  if (invocation != nullptr && *invocation != '\0' && isOnPath("systemd-run")) {
    start.underServiceManager = true;
    const int code = runProgram(windowCommand(program, network, start), nullptr);
    if (code == 0) return true;
    warn("Window: systemd-run could not start it (exit code " + std::to_string(code) +
         "); starting it directly");
    start.underServiceManager = false;
  }
  std::vector<std::string> environment{"KESTRIO_HOME=" + start.dataDirectory};
  if (!start.activationToken.empty()) {
    environment.push_back("XDG_ACTIVATION_TOKEN=" + start.activationToken);
    environment.push_back("DESKTOP_STARTUP_ID=" + start.activationToken);
  }
  std::string error;
  if (startDetached(windowCommand(program, network, start), environment, &error)) return true;
  warn("Window: cannot be started: " + error);
  return false;
}

void LinuxPlatform::setApplicationIconBadgeNumber(int number) {
  if (number < 0) number = 0;
  defaults_.setInteger(kBadgeKey, number);
  if (!defaults_.synchronize()) warn("the badge number could not be stored");
  if (env_.readOnly) return;
  std::string error;
  publishLauncherCount(number, &error);  // without a bus there is no launcher to tell
}

int LinuxPlatform::applicationIconBadgeNumber() {
  // Another process may have set it since this one last read the store.
  defaults_.synchronize();
  return static_cast<int>(defaults_.integerForKey(kBadgeKey));
}

bool LinuxPlatform::canSendMail() {
  if (!isOnPath("xdg-email")) return false;
  std::string handler;
  if (runProgram({"xdg-mime", "query", "default", "x-scheme-handler/mailto"}, &handler) != 0) {
    return false;
  }
  return hasText(handler);
}

bool LinuxPlatform::sendMail(const MailMessage& message) {
  MailClientCall call = xdgEmailCall(message, "");
  // A directory of our own that no other user can have made first, away from the data.
  const auto freshDirectory = [this] {
    const std::string base = attachmentBase();
    removeOldAttachments(files_, base);
    return PrivateDirectory::create(base);
  };
  std::optional<PrivateDirectory> attachments =
      call.htmlFileContent ? freshDirectory() : std::nullopt;
  if (call.htmlFileContent) {
    const std::string htmlPath =
        attachments ? attachments->path() + "/" + std::string(kHtmlMessageFileName) : "";
    if (htmlPath.empty() || !files_.writeAtomically(htmlPath, *call.htmlFileContent)) {
      warn("Mail: the message could not be written to a temporary file");
      return false;
    }
    attachments->keep(htmlPath);
    call = xdgEmailCall(message, htmlPath);
  }
  int code = runProgram(call.arguments, nullptr);
  if (code != 0) {
    warn(code < 0 ? std::string("Mail: xdg-email could not be run")
                  : "Mail: xdg-email failed with exit code " + std::to_string(code));
    return false;
  }
  if (attachments) attachments->handOver();
  return true;
}

std::string LinuxPlatform::platformVersion() {
  return kImplementedPlatformVersion;
}

}  // namespace kestrio
