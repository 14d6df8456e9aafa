// The desktop services of LinuxPlatform: notifications and the icon badge over the session
// D-Bus, mail through the user's mail client.

#include <sys/stat.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "platform/DesktopBus.h"
#include "platform/LinuxPlatform.h"
#include "platform/MailClient.h"

namespace kestrio {
namespace {

// The badge lives in the user-defaults store, so every Kestrio process shows the same number.
constexpr const char* kBadgeKey = "applicationIconBadgeNumber";
// The name under which an HTML body travels as an attachment.
constexpr std::string_view kHtmlMessageFileName = "message.html";

// A directory that only this user can enter, made fresh (so nobody can have made it first) and
// removed with the files kept in it when this goes.
class PrivateDirectory {
 public:
  static std::optional<PrivateDirectory> create(const std::string& prefix) {
    std::string base = "/tmp";
    for (const char* variable : {"XDG_RUNTIME_DIR", "TMPDIR"}) {
      const char* value = std::getenv(variable);
      if (value != nullptr && value[0] == '/') {
        base = value;
        break;
      }
    }
    std::string pattern = base + "/" + prefix + "-XXXXXX";
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
  if (showDesktopNotification(notification.alertBody, notification.soundName, &error)) return true;
  // Without a desktop (a timer, a server) nobody would see it: it waits for a process that can
  // show it, and the log says so.
  log("Notification not shown yet (" + error + "): " + notification.alertBody);
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
  std::optional<PrivateDirectory> attachments =
      call.htmlFileContent ? PrivateDirectory::create("kestrio-mail") : std::nullopt;
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
    log(code < 0 ? std::string("Mail: xdg-email could not be run")
                 : "Mail: xdg-email failed with exit code " + std::to_string(code));
    return false;
  }
  return true;
}

std::string LinuxPlatform::platformVersion() {
  return kImplementedPlatformVersion;
}

}  // namespace kestrio
