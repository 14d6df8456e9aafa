#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/Platform.h"

namespace kestrio {

// Receives the outcome of a mail composer.
class MailComposeDelegate {
 public:
  virtual ~MailComposeDelegate() = default;
  enum class Result { Sent, Cancelled, Failed };
  virtual void didFinishWithResult(Result result) = 0;
};

// A mail prepared for the user: the caller adds attachments, then sends it.
class MailComposer {
 public:
  MailComposer(Platform& platform, MailComposeDelegate* delegate);
  MailMessage& message() { return message_; }
  // Hands the message to the mail client and tells the delegate the outcome.
  void send();

 private:
  Platform& platform_;
  MailComposeDelegate* delegate_;
  MailMessage message_;
};

// Local notifications and mail. Scheduled notifications are kept in "notifications.plist" in
// the documents directory, so whichever Kestrio process runs next delivers those that fell due.
class Communications {
 public:
  // Shows the notification once the change in progress is stored; when the desktop cannot show
  // it, it is kept in the schedule, due, for whichever process can.
  static void sendLocalNotificationNowWithAlertBody(Platform& platform, const std::string& body,
                                                    const std::string& action);
  // A usage alert of `network` ("cellular", "wifi"), shown as the one above: it replaces the
  // network's previous alert on the desktop, its "View" action opens the window on the network,
  // and it is urgent once the quota is used up.
  static void sendUsageAlertWithAlertBody(Platform& platform, const std::string& body,
                                          const std::string& action, const std::string& network,
                                          bool critical);
  static void sendLocalNotificationOnDate(Platform& platform, Date fireDate,
                                          const std::string& body, const std::string& action,
                                          const std::string& uniqueId);
  // Cancels the first scheduled notification whose "UniqueId" is the identifier.
  static void cancelLocationNotification(Platform& platform, const std::string& uniqueId);
  // A composer with recipients (when given), subject and HTML body; nothing, with the warning
  // logged, when no mail client can be reached.
  static std::optional<MailComposer> showMessageComposerWithSubject(
      Platform& platform, const std::string& subject, const std::string& body,
      const std::optional<std::vector<std::string>>& recipients, MailComposeDelegate* delegate);

  // The platform's schedule.
  static void scheduleLocalNotification(Platform& platform, const LocalNotification& notification);
  static std::vector<LocalNotification> scheduledLocalNotifications(Platform& platform);
  static void cancelAllLocalNotifications(Platform& platform);
  // Delivers every scheduled notification whose moment has come, each exactly once even when
  // several processes call this at once; re-arms repeating ones for their next moment after now
  // (one that fell due several times while nothing ran is delivered once). One the desktop
  // cannot show stays scheduled, due, for a later call. Answers how many were taken from the
  // schedule to be shown.
  static int deliverDueNotifications(Platform& platform);
};

}  // namespace kestrio
