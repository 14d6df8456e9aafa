// The desktop services of LinuxPlatform: notifications and the icon badge over the session
// D-Bus, mail through the user's mail client.

#include <sys/utsname.h>

#include "platform/DesktopBus.h"
#include "platform/LinuxPlatform.h"
#include "platform/MailClient.h"

namespace kestrio {
namespace {

// The badge lives in the user-defaults store, so every Kestrio process shows the same number.
constexpr const char* kBadgeKey = "applicationIconBadgeNumber";
// Where an HTML body is written to travel as an attachment.
constexpr std::string_view kHtmlMessageFileName = "message.html";

bool hasText(const std::string& s) {
  return s.find_first_not_of(" \t\r\n") != std::string::npos;
}

}  // namespace

void LinuxPlatform::deliverNotification(const LocalNotification& notification) {
  // A look that stores nothing shows nothing: its alerts stay due for a process that stores.
  if (env_.readOnly) return;
  std::string error;
  if (!showDesktopNotification(notification.alertBody, notification.soundName, &error)) {
    // Without a desktop (a timer, a server) the log is where the user finds it.
    log("Notification: " + notification.alertBody);
  }
}

void LinuxPlatform::setApplicationIconBadgeNumber(int number) {
  if (number < 0) number = 0;
  defaults_.setInteger(kBadgeKey, number);
  if (!defaults_.synchronize()) log("the badge number could not be stored");
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
  const std::string htmlPath = documentPath(kHtmlMessageFileName);
  MailClientCall call = xdgEmailCall(message, htmlPath);
  if (call.htmlFileContent && !files_.writeAtomically(htmlPath, *call.htmlFileContent)) {
    log("Mail: the message could not be written to " + htmlPath);
    return false;
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
