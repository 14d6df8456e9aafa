#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/Platform.h"

namespace kestrio {

// The scheduled local notifications, kept in "notifications.plist" in the documents directory as
// an XML property list: an array of dictionaries, in the order they will fire (equal moments in
// the order they were scheduled). Each holds "fireDate", "alertBody", "alertAction", "soundName",
// and when set "applicationIconBadgeNumber", "userInfo" ({"UniqueId": text}) and, for a repeating
// one, "repeatInterval" ("day", "week" or "month"), "repeatCalendar" ("gregorian"), "timeZone"
// and "repeatFromDate". Dates keep whole seconds.
//
// A repeating notification counts its moments from "repeatFromDate", the first one, so one set
// for 02:30 stays at 02:30 after a day on which 02:30 did not exist, and one set for the 31st is
// back on the 31st after a shorter month (whose missing day rolled over into the next month, as
// the calendar rolls it: 31 February fires on 3 March, 31 April on 1 May).
//
// Callers hold the documents lock around a load and the store that follows.
class NotificationSchedule {
 public:
  struct Entry {
    LocalNotification notification;
    Date repeatFrom;  // the first moment of a repeating notification
  };

  explicit NotificationSchedule(Platform& platform) : platform_(platform) {}

  // The stored schedule; empty when the file is missing or empty. A file that cannot be read is
  // moved aside under a dated name and logged, and the schedule starts empty; nothing when it
  // could not even be moved (the file then stays as it is and must not be overwritten).
  std::optional<std::vector<Entry>> load();
  // Replaces the file atomically; false, logged, when that failed (the old file stays).
  bool store(const std::vector<Entry>& entries);

  // Adds a notification at its place in the firing order.
  static void insert(std::vector<Entry>& entries, const LocalNotification& notification);
  // The first moment of a repeating notification after `after`, counted from `entry.repeatFrom`
  // in the notification's zone (the platform's when it names none); nothing for a single one.
  std::optional<Date> nextFireDate(const Entry& entry, Date after);

  std::string path();

 private:
  Platform& platform_;
};

}  // namespace kestrio
