#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/Date.h"

namespace kestrio {

enum class RepeatInterval { None, Day, Week, Month };

// A local notification, scheduled for a moment or delivered at once.
struct LocalNotification {
  Date fireDate;
  std::string alertBody;
  std::string alertAction;
  std::string soundName = "default";
  std::optional<int> applicationIconBadgeNumber;
  RepeatInterval repeatInterval = RepeatInterval::None;
  // The calendar and zone a repeating notification is re-armed in ("Europe/Berlin").
  std::string repeatTimeZone;
  // The identifier under "UniqueId" of the user information; nothing for an anonymous one.
  std::optional<std::string> uniqueId;
  // Notifications with the same tag replace one another on the desktop: one usage alert per
  // network ("usage-cellular"), never a stack of stale ones. Empty: it stands alone.
  std::string replacesTag;
  // Shown as urgent: the quota is used up.
  bool critical = false;
  // The network ("cellular", "wifi") the notification's "View" action opens the window on; empty:
  // no action.
  std::string viewTarget;

  friend bool operator==(const LocalNotification&, const LocalNotification&) = default;
};

// A message handed to the user's mail client.
struct MailMessage {
  struct Attachment {
    std::string path;  // a file in the documents directory
    std::string mimeType;
    std::string fileName;
  };
  std::string subject;
  std::string body;
  bool bodyIsHtml = false;
  std::vector<std::string> recipients;
  std::vector<Attachment> attachments;
};

}  // namespace kestrio
