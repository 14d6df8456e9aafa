#include "services/Communications.h"

#include <cmath>
#include <ctime>
#include <memory>

#include "platform/Transaction.h"
#include "services/NotificationSchedule.h"

namespace kestrio {
namespace {

// An instant as the log shows it: "2026-01-15 11:00:00 +0000".
std::string describe(Date date) {
  const std::time_t seconds = static_cast<std::time_t>(std::floor(date.secondsSince1970));
  std::tm utc{};
  gmtime_r(&seconds, &utc);
  char text[40];
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S +0000", &utc);
  return text;
}

// The schedule is shared by every Kestrio process: each read-modify-write holds the lock.
std::unique_ptr<FileLock> lockSchedule(Platform& platform) {
  auto lock = platform.lockDocuments();
  if (!lock) platform.warn("Notifications: the schedule cannot be locked");
  return lock;
}

LocalNotification notificationFor(Platform& platform, Date fireDate, const std::string& body,
                                  const std::string& action) {
  LocalNotification notification;
  notification.fireDate = fireDate;
  notification.alertBody = body;
  notification.alertAction = action;
  notification.repeatTimeZone = platform.calendar().zoneId();
  return notification;
}

// Shows a notification whose change is stored. One the desktop cannot show now (no session bus:
// a timer, a server) goes back into the schedule, already due, for the next process that can:
// the daemon under the user's session or the window.
void present(Platform& platform, const LocalNotification& notification) {
  if (platform.deliverNotification(notification)) {
    if (notification.applicationIconBadgeNumber) {
      platform.setApplicationIconBadgeNumber(*notification.applicationIconBadgeNumber);
    }
    return;
  }
  LocalNotification pending = notification;
  if (pending.repeatInterval != RepeatInterval::None) {
    // Its next moment is scheduled already; what waits is this one moment's message, which
    // nothing cancels by identifier in place of the repeating one.
    pending.repeatInterval = RepeatInterval::None;
    pending.uniqueId.reset();
  }
  Communications::scheduleLocalNotification(platform, pending);
}

}  // namespace

MailComposer::MailComposer(Platform& platform, MailComposeDelegate* delegate)
    : platform_(platform), delegate_(delegate) {}

void MailComposer::send() {
  const bool sent = platform_.sendMail(message_);
  if (delegate_ != nullptr) {
    delegate_->didFinishWithResult(sent ? MailComposeDelegate::Result::Sent
                                        : MailComposeDelegate::Result::Failed);
  }
}

void Communications::sendLocalNotificationNowWithAlertBody(Platform& platform,
                                                           const std::string& body,
                                                           const std::string& action) {
  // A notification due now is shown at once rather than kept for the next process, but only once
  // the change that raised it is stored: an alert whose marker was lost would be shown again by
  // the next pass.
  platform.transactions().afterCommit(
      [&platform, notification = notificationFor(platform, platform.now(), body, action)] {
        present(platform, notification);
      });
}

void Communications::sendUsageAlertWithAlertBody(Platform& platform, const std::string& body,
                                                 const std::string& action,
                                                 const std::string& network, bool critical) {
  LocalNotification notification = notificationFor(platform, platform.now(), body, action);
  notification.replacesTag = "usage-" + network;
  notification.critical = critical;
  notification.viewTarget = network;
  platform.transactions().afterCommit(
      [&platform, notification] { present(platform, notification); });
}

void Communications::sendLocalNotificationOnDate(Platform& platform, Date fireDate,
                                                 const std::string& body, const std::string& action,
                                                 const std::string& uniqueId) {
  LocalNotification notification = notificationFor(platform, fireDate, body, action);
  notification.uniqueId = uniqueId;
  platform.log("unique id:" + uniqueId);
  platform.log("Firedate " + describe(fireDate));
  scheduleLocalNotification(platform, notification);
}

void Communications::cancelLocationNotification(Platform& platform, const std::string& uniqueId) {
  auto lock = lockSchedule(platform);
  if (!lock) return;
  NotificationSchedule schedule(platform);
  auto entries = schedule.load();
  if (!entries) return;
  for (auto it = entries->begin(); it != entries->end(); ++it) {
    if (it->notification.uniqueId == uniqueId) {
      platform.log("found notification to cancel");
      entries->erase(it);
      schedule.store(*entries);
      return;
    }
  }
}

std::optional<MailComposer> Communications::showMessageComposerWithSubject(
    Platform& platform, const std::string& subject, const std::string& body,
    const std::optional<std::vector<std::string>>& recipients, MailComposeDelegate* delegate) {
  if (!platform.canSendMail()) {
    platform.log("Warning: MFMailComposeViewController couldn't be instantiated!");
    return std::nullopt;
  }
  MailComposer composer(platform, delegate);
  MailMessage& message = composer.message();
  if (recipients) message.recipients = *recipients;
  message.subject = subject;
  message.body = body;
  message.bodyIsHtml = true;
  return composer;
}

void Communications::scheduleLocalNotification(Platform& platform,
                                               const LocalNotification& notification) {
  if (!std::isfinite(notification.fireDate.secondsSince1970)) return;
  auto lock = lockSchedule(platform);
  if (!lock) return;
  NotificationSchedule schedule(platform);
  auto entries = schedule.load();
  if (!entries) return;
  NotificationSchedule::insert(*entries, notification);
  schedule.store(*entries);
}

std::vector<LocalNotification> Communications::scheduledLocalNotifications(Platform& platform) {
  std::vector<LocalNotification> notifications;
  auto lock = lockSchedule(platform);
  if (!lock) return notifications;
  auto entries = NotificationSchedule(platform).load();
  if (!entries) return notifications;
  for (auto& entry : *entries) notifications.push_back(std::move(entry.notification));
  return notifications;
}

void Communications::cancelAllLocalNotifications(Platform& platform) {
  auto lock = lockSchedule(platform);
  if (!lock) return;
  NotificationSchedule schedule(platform);
  auto entries = schedule.load();
  // A file that could be neither read nor moved aside is left for the user, never overwritten.
  if (!entries) return;
  if (entries->empty() && !platform.files().exists(schedule.path())) return;
  schedule.store({});
}

int Communications::deliverDueNotifications(Platform& platform) {
  std::vector<LocalNotification> due;
  {
    Transaction transaction(platform);
    if (!transaction.locked()) {
      platform.warn("Notifications: the schedule cannot be locked");
      return 0;
    }
    NotificationSchedule schedule(platform);
    auto entries = schedule.load();
    if (!entries) return 0;
    const Date now = platform.now();
    std::vector<NotificationSchedule::Entry> kept;
    for (auto& entry : *entries) {
      if (entry.notification.fireDate > now) {
        kept.push_back(std::move(entry));
        continue;
      }
      due.push_back(entry.notification);
      // However many moments passed while nothing ran, it is shown once and waits for the next.
      if (auto next = schedule.nextFireDate(entry, now)) {
        NotificationSchedule::Entry rearmed = entry;
        rearmed.notification.fireDate = *next;
        auto at = std::upper_bound(kept.begin(), kept.end(), *next, [](Date d, const auto& e) {
          return d < e.notification.fireDate;
        });
        kept.insert(at, std::move(rearmed));
      }
    }
    if (due.empty()) return 0;
    // Stored before anything is shown: a process that dies after this point has shown too
    // little rather than twice, and no other process can show these again.
    if (!schedule.store(kept)) return 0;
    for (const LocalNotification& notification : due) {
      platform.transactions().afterCommit(
          [&platform, notification] { present(platform, notification); });
    }
    if (!transaction.commit().ok()) return 0;
  }
  return static_cast<int>(due.size());
}

}  // namespace kestrio
