#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>

#include "platform/DesktopBus.h"
#include "platform/MailClient.h"
#include "platform/MoveAside.h"
#include "platform/PropertyList.h"
#include "services/Communications.h"
#include "support/FakePlatform.h"

namespace kestrio {
namespace {

using ::testing::ElementsAre;
using testing::FakePlatform;
using ::testing::HasSubstr;

constexpr double kHour = 3600;
constexpr double kDay = 86400;

LocalNotification note(Date fireDate, std::string body, std::optional<std::string> id = {}) {
  LocalNotification n;
  n.fireDate = fireDate;
  n.alertBody = std::move(body);
  n.alertAction = "View";
  n.uniqueId = std::move(id);
  return n;
}

std::vector<std::string> bodies(const std::vector<LocalNotification>& notifications) {
  std::vector<std::string> texts;
  for (const auto& n : notifications) texts.push_back(n.alertBody);
  return texts;
}

class CommunicationsTest : public ::testing::Test {
 protected:
  std::vector<LocalNotification> scheduled() {
    return Communications::scheduledLocalNotifications(p);
  }
  int countLog(const std::string& line) {
    return static_cast<int>(std::count(p.logLines.begin(), p.logLines.end(), line));
  }
  std::string schedulePath() { return p.documentPath(Platform::kNotificationsFileName); }

  FakePlatform p;  // Europe/Berlin, 2026-01-15 12:00
};

TEST_F(CommunicationsTest, ScheduleKeepsFiringOrderAndEveryField) {
  Communications::scheduleLocalNotification(p, note(p.now().addingSeconds(3 * kHour), "third"));
  Communications::scheduleLocalNotification(p, note(p.now().addingSeconds(kHour), "first", "a"));
  LocalNotification repeating = note(p.now().addingSeconds(kHour), "second", "b");
  repeating.applicationIconBadgeNumber = 1;
  repeating.repeatInterval = RepeatInterval::Month;
  repeating.repeatTimeZone = "America/New_York";
  repeating.soundName = "bell";
  Communications::scheduleLocalNotification(p, repeating);

  auto all = scheduled();
  // Equal moments keep the order they were scheduled in.
  EXPECT_THAT(bodies(all), ElementsAre("first", "second", "third"));
  EXPECT_EQ(all[1], repeating);
  EXPECT_EQ(all[0].uniqueId, "a");
  EXPECT_FALSE(all[0].applicationIconBadgeNumber);
  EXPECT_EQ(p.fakeFiles().writesOutsideLock(), 0);

  // The file is a property list other tools can read, the identifier under "UniqueId".
  auto parsed = plist::parse(p.fakeFiles().contents().at(schedulePath()));
  ASSERT_TRUE(parsed && parsed->is<PlistValue::Array>());
  const auto& first = *parsed->get<PlistValue::Array>()->at(0).get<PlistValue::Dictionary>();
  EXPECT_EQ(first.at("userInfo"), (PlistValue(PlistValue::Dictionary{{"UniqueId", "a"}})));
  EXPECT_TRUE(first.at("fireDate").is<Date>());
}

TEST_F(CommunicationsTest, DatedNotificationIsIdentifiedLoggedAndWaits) {
  Date fire = p.at(2026, 2, 1, 9, 30);
  Communications::sendLocalNotificationOnDate(p, fire, "Custom Counter Trip Ended!", "View",
                                              "id-1");

  EXPECT_THAT(p.logLines, ElementsAre("unique id:id-1", "Firedate 2026-02-01 08:30:00 +0000"));
  auto all = scheduled();
  ASSERT_EQ(all.size(), 1u);
  EXPECT_EQ(all[0].fireDate, fire);
  EXPECT_EQ(all[0].uniqueId, "id-1");
  EXPECT_EQ(all[0].alertAction, "View");
  EXPECT_EQ(all[0].repeatInterval, RepeatInterval::None);
  EXPECT_FALSE(all[0].applicationIconBadgeNumber);
  EXPECT_TRUE(p.delivered.empty());
}

TEST_F(CommunicationsTest, CancelRemovesOnlyTheFirstMatch) {
  Communications::scheduleLocalNotification(p,
                                            note(p.now().addingSeconds(2 * kHour), "later", "x"));
  Communications::scheduleLocalNotification(p, note(p.now().addingSeconds(kHour), "sooner", "x"));
  Communications::scheduleLocalNotification(p, note(p.now().addingSeconds(kHour), "anonymous"));

  Communications::cancelLocationNotification(p, "x");
  EXPECT_THAT(bodies(scheduled()), ElementsAre("anonymous", "later"));
  EXPECT_EQ(countLog("found notification to cancel"), 1);

  // An identifier never scheduled changes nothing and logs nothing; neither does "" match the
  // notification that has no identifier.
  p.logLines.clear();
  const int writes = p.fakeFiles().writeCount();
  Communications::cancelLocationNotification(p, "never");
  Communications::cancelLocationNotification(p, "");
  EXPECT_THAT(bodies(scheduled()), ElementsAre("anonymous", "later"));
  EXPECT_TRUE(p.logLines.empty());
  EXPECT_EQ(p.fakeFiles().writeCount(), writes);
}

TEST_F(CommunicationsTest, CancelAllRemovesIdentifiedAndAnonymousAlike) {
  Communications::cancelAllLocalNotifications(p);
  EXPECT_FALSE(p.files().exists(schedulePath()));  // nothing to cancel writes nothing

  Communications::scheduleLocalNotification(p, note(p.now().addingSeconds(kHour), "a", "id"));
  Communications::scheduleLocalNotification(p, note(p.now().addingSeconds(kDay), "b"));
  Communications::cancelAllLocalNotifications(p);
  EXPECT_TRUE(scheduled().empty());
  p.advance(2 * kDay);
  EXPECT_EQ(Communications::deliverDueNotifications(p), 0);
  EXPECT_TRUE(p.delivered.empty());
}

TEST_F(CommunicationsTest, ImmediateNotificationIsShownAtOnceAndNotKept) {
  Communications::sendLocalNotificationNowWithAlertBody(p, "Cellular usage at 90%", "Kestrio");
  ASSERT_EQ(p.delivered.size(), 1u);
  EXPECT_EQ(p.delivered[0].alertBody, "Cellular usage at 90%");
  EXPECT_EQ(p.delivered[0].alertAction, "Kestrio");
  EXPECT_EQ(p.delivered[0].soundName, "default");
  EXPECT_EQ(p.delivered[0].fireDate, p.now());
  EXPECT_TRUE(scheduled().empty());
  EXPECT_EQ(p.applicationIconBadgeNumber(), 0);
}

TEST_F(CommunicationsTest, WhatNoDesktopCouldShowWaitsForAProcessThatCan) {
  // A timer's `kestrio update` without a session bus raises an alert and reaches a reminder's
  // moment: neither is lost, and nothing is shown twice.
  p.desktopShowsNotifications = false;
  LocalNotification reminder = note(p.now(), "open app to reset cellular billing cycle", "r");
  reminder.repeatInterval = RepeatInterval::Day;
  reminder.applicationIconBadgeNumber = 1;
  Communications::sendLocalNotificationNowWithAlertBody(p, "Cellular usage exceeded 60.7", "View");
  Communications::scheduleLocalNotification(p, reminder);
  EXPECT_EQ(Communications::deliverDueNotifications(p), 2);
  EXPECT_TRUE(p.delivered.empty());
  EXPECT_EQ(p.applicationIconBadgeNumber(), 0);
  // The reminder's next moment keeps its identifier; the missed one waits without it, so a
  // cancel by identifier still reaches the repeating one.
  const auto waiting = scheduled();
  ASSERT_EQ(waiting.size(), 3u);
  EXPECT_THAT(bodies(waiting), ElementsAre("Cellular usage exceeded 60.7",
                                           "open app to reset cellular billing cycle",
                                           "open app to reset cellular billing cycle"));
  EXPECT_FALSE(waiting[1].uniqueId);
  EXPECT_EQ(waiting[1].repeatInterval, RepeatInterval::None);
  EXPECT_EQ(waiting[2].uniqueId, "r");
  EXPECT_EQ(waiting[2].fireDate, p.now().addingSeconds(kDay));

  // The daemon under the user's session (or the window) shows each once.
  p.desktopShowsNotifications = true;
  p.advance(kHour);
  EXPECT_EQ(Communications::deliverDueNotifications(p), 2);
  EXPECT_EQ(Communications::deliverDueNotifications(p), 0);
  EXPECT_THAT(bodies(p.delivered), ElementsAre("Cellular usage exceeded 60.7",
                                               "open app to reset cellular billing cycle"));
  EXPECT_EQ(p.applicationIconBadgeNumber(), 1);
  ASSERT_EQ(scheduled().size(), 1u);
  EXPECT_EQ(scheduled()[0].uniqueId, "r");
}

TEST_F(CommunicationsTest, DueNotificationIsDeliveredExactlyOnce) {
  Communications::scheduleLocalNotification(p, note(p.now().addingSeconds(kHour), "due"));
  Communications::scheduleLocalNotification(p, note(p.now().addingSeconds(kDay), "tomorrow"));

  EXPECT_EQ(Communications::deliverDueNotifications(p), 0);
  p.advance(kHour);  // exactly at its moment
  EXPECT_EQ(Communications::deliverDueNotifications(p), 1);
  EXPECT_EQ(Communications::deliverDueNotifications(p), 0);
  EXPECT_THAT(bodies(p.delivered), ElementsAre("due"));
  EXPECT_THAT(bodies(scheduled()), ElementsAre("tomorrow"));
  EXPECT_EQ(p.fakeFiles().writesOutsideLock(), 0);
}

TEST_F(CommunicationsTest, NothingIsShownUntilTheDeliveryIsRecorded) {
  Communications::scheduleLocalNotification(p, note(p.now(), "due"));
  p.fakeFiles().failWrites(testing::FakeFileSystem::Failure::DiskFull);
  EXPECT_EQ(Communications::deliverDueNotifications(p), 0);
  EXPECT_TRUE(p.delivered.empty());
  EXPECT_THAT(bodies(scheduled()), ElementsAre("due"));

  EXPECT_EQ(Communications::deliverDueNotifications(p), 1);
  EXPECT_THAT(bodies(p.delivered), ElementsAre("due"));
}

TEST_F(CommunicationsTest, DeliveredBadgeNumberSetsTheBadge) {
  LocalNotification reset = note(p.now(), "open app to reset cellular billing cycle");
  reset.applicationIconBadgeNumber = 1;
  Communications::scheduleLocalNotification(p, reset);
  Communications::scheduleLocalNotification(p, note(p.now(), "no badge"));
  EXPECT_EQ(p.applicationIconBadgeNumber(), 0);
  EXPECT_EQ(Communications::deliverDueNotifications(p), 2);
  EXPECT_EQ(p.applicationIconBadgeNumber(), 1);  // the one without a number leaves it
}

// Repeating notifications: each moment is built from the first one's wall-clock fields in the
// notification's zone.
class RepeatTest : public CommunicationsTest {
 protected:
  void scheduleRepeating(Date first, RepeatInterval interval, std::string zone = "Europe/Berlin") {
    LocalNotification n = note(first, "reminder");
    n.repeatInterval = interval;
    n.repeatTimeZone = std::move(zone);
    Communications::scheduleLocalNotification(p, n);
  }
  // Moves the clock to `when`, delivers, and answers the next moment.
  Date deliverAt(Date when) {
    p.setNow(when);
    const std::size_t before = p.delivered.size();
    EXPECT_EQ(Communications::deliverDueNotifications(p), 1);
    EXPECT_EQ(p.delivered.size(), before + 1);
    auto all = scheduled();
    EXPECT_EQ(all.size(), 1u);
    return all.empty() ? Date{} : all[0].fireDate;
  }
};

TEST_F(RepeatTest, DailyIsReArmedForTheNextDay) {
  scheduleRepeating(p.at(2026, 1, 15, 20, 0), RepeatInterval::Day);
  EXPECT_EQ(deliverAt(p.at(2026, 1, 15, 20, 0)), p.at(2026, 1, 16, 20, 0));
}

TEST_F(RepeatTest, MissedRepeatsAreDeliveredOnceLate) {
  scheduleRepeating(p.at(2026, 1, 16, 9, 0), RepeatInterval::Week);
  // Five weeks and a day pass without a Kestrio process.
  EXPECT_EQ(deliverAt(p.at(2026, 2, 21, 10, 0)), p.at(2026, 2, 27, 9, 0));
  EXPECT_EQ(Communications::deliverDueNotifications(p), 0);
  EXPECT_EQ(p.delivered.size(), 1u);

  // A daily one missed for years is also shown once and waits for tomorrow.
  Communications::cancelAllLocalNotifications(p);
  scheduleRepeating(p.at(2026, 3, 1, 8, 0), RepeatInterval::Day);
  EXPECT_EQ(deliverAt(p.at(2031, 6, 10, 12, 0)), p.at(2031, 6, 11, 8, 0));
}

TEST_F(RepeatTest, WeeklyKeepsTheWallClockTimeAcrossSummerTime) {
  // Berlin moves to summer time on 29 March 2026: that week is an hour short.
  scheduleRepeating(p.at(2026, 3, 28, 10, 0), RepeatInterval::Week);
  Date next = deliverAt(p.at(2026, 3, 28, 10, 0));
  EXPECT_EQ(next, p.at(2026, 4, 4, 10, 0));
  EXPECT_EQ(next.secondsSince1970 - p.at(2026, 3, 28, 10, 0).secondsSince1970, 7 * kDay - kHour);
}

TEST_F(RepeatTest, DailyOnAMissingHourReturnsToItsTimeNextDay) {
  // 02:30 does not exist on 29 March in Berlin; the calendar moves that day's moment to 03:30.
  scheduleRepeating(p.at(2026, 3, 28, 2, 30), RepeatInterval::Day);
  Date gap = deliverAt(p.at(2026, 3, 28, 2, 30));
  EXPECT_EQ(p.calendar().components(gap).hour, 3);
  EXPECT_EQ(deliverAt(gap), p.at(2026, 3, 30, 2, 30));
}

TEST_F(RepeatTest, MonthlyOnThe31stRollsAsTheCalendarDoes) {
  scheduleRepeating(p.at(2026, 1, 31, 9, 0), RepeatInterval::Month);
  Date next = deliverAt(p.at(2026, 1, 31, 9, 0));
  EXPECT_EQ(next, p.at(2026, 3, 3, 9, 0));  // 31 February rolls over into March
  next = deliverAt(next);
  EXPECT_EQ(next, p.at(2026, 3, 31, 9, 0));  // and the next month is back on the 31st
  next = deliverAt(next);
  EXPECT_EQ(next, p.at(2026, 5, 1, 9, 0));  // 31 April
  EXPECT_EQ(deliverAt(next), p.at(2026, 5, 31, 9, 0));
}

TEST_F(RepeatTest, RepeatsInTheNotificationsOwnZone) {
  // New York moves its clocks on 8 March, three weeks before Berlin: the next 09:00 there is 23
  // hours later, which a Berlin calendar would make 24.
  FakePlatform ny("America/New_York", "en_US");
  Date first = ny.at(2026, 3, 7, 9, 0);
  scheduleRepeating(first, RepeatInterval::Day, "America/New_York");
  Date next = deliverAt(first);
  EXPECT_EQ(next, ny.at(2026, 3, 8, 9, 0));
  EXPECT_EQ(next.secondsSince1970 - first.secondsSince1970, kDay - kHour);
}

TEST_F(CommunicationsTest, UnreadableScheduleIsMovedAsideNotOverwritten) {
  const std::string garbage = "<?xml version=\"1.0\"?><plist><array><dict><key>fire";
  p.fakeFiles().put(schedulePath(), garbage);
  Communications::scheduleLocalNotification(p, note(p.now().addingSeconds(kHour), "new"));

  auto aside = filesMovedAside(p.files(), p.documentsDirectory());
  ASSERT_EQ(aside.size(), 1u);
  EXPECT_EQ(p.fakeFiles().contents().at(p.documentPath(aside[0])), garbage);
  EXPECT_THAT(p.logLines, ::testing::Contains(HasSubstr("cannot be read; moved to")));
  EXPECT_THAT(bodies(scheduled()), ElementsAre("new"));

  // A list whose entry has no moment is not a schedule either; nor is a file that cannot be read.
  p.fakeFiles().put(
      schedulePath(),
      plist::toXml(PlistValue::Array{PlistValue::Dictionary{{"alertBody", "no date"}}}));
  EXPECT_TRUE(scheduled().empty());
  p.fakeFiles().put(schedulePath(), "x");
  p.fakeFiles().makeUnreadable(schedulePath());
  EXPECT_EQ(Communications::deliverDueNotifications(p), 0);
  EXPECT_EQ(filesMovedAside(p.files(), p.documentsDirectory()).size(), 3u);
}

TEST(NotificationMarkupTest, UserTextIsEscapedForTheNotificationService) {
  EXPECT_EQ(escapeNotificationMarkup("Custom Counter <b>Tom's \"trip\"</b> & co Ended!"),
            "Custom Counter &lt;b&gt;Tom&apos;s &quot;trip&quot;&lt;/b&gt; &amp; co Ended!");
  EXPECT_EQ(escapeNotificationMarkup("Zähler 90 % – ok"), "Zähler 90 % – ok");
  EXPECT_EQ(escapeNotificationMarkup("&amp;"), "&amp;amp;");
  // The bus refuses malformed UTF-8, and a bubble has no use for controls.
  EXPECT_EQ(escapeNotificationMarkup("Trip\x1b[2J\nends \xff!"),
            "Trip\xEF\xBF\xBD[2J\nends \xEF\xBF\xBD!");
}

TEST(NotificationMarkupTest, OnlyThemeSoundNamesAreAskedFor) {
  EXPECT_EQ(notificationSoundName("default"), "message-new-instant");
  EXPECT_EQ(notificationSoundName("bell"), "bell");
  EXPECT_EQ(notificationSoundName("alarm-clock-elapsed"), "alarm-clock-elapsed");
  for (const char* hostile : {"../../../etc/passwd", "/usr/share/sounds/x.oga", ".hidden",
                              "bell\x1b[2J", "b\xC3\xA9ll", "bell name"}) {
    EXPECT_EQ(notificationSoundName(hostile), "message-new-instant") << hostile;
  }
  EXPECT_EQ(notificationSoundName(std::string(256, 'a')), "message-new-instant");
}

class Delegate : public MailComposeDelegate {
 public:
  void didFinishWithResult(Result result) override { results.push_back(result); }
  std::vector<Result> results;
};

TEST_F(CommunicationsTest, ComposerCarriesWhatWasGivenAndReportsTheOutcome) {
  Delegate delegate;
  auto composer = Communications::showMessageComposerWithSubject(p, "History", "<table></table>",
                                                                 std::nullopt, &delegate);
  ASSERT_TRUE(composer);
  EXPECT_TRUE(composer->message().recipients.empty());
  EXPECT_EQ(composer->message().subject, "History");
  EXPECT_EQ(composer->message().body, "<table></table>");
  EXPECT_TRUE(composer->message().bodyIsHtml);
  composer->message().attachments.push_back({p.documentPath("kestrio.csv"), "text/csv", "x.csv"});
  composer->send();
  ASSERT_EQ(p.sentMail.size(), 1u);
  EXPECT_EQ(p.sentMail[0].attachments.size(), 1u);

  auto addressed = Communications::showMessageComposerWithSubject(
      p, "s", "b", std::vector<std::string>{"a@example.org", "b@example.org"}, &delegate);
  ASSERT_TRUE(addressed);
  EXPECT_THAT(addressed->message().recipients, ElementsAre("a@example.org", "b@example.org"));
  p.mailSucceeds = false;
  addressed->send();
  EXPECT_THAT(delegate.results,
              ElementsAre(MailComposeDelegate::Result::Sent, MailComposeDelegate::Result::Failed));

  // No mail client: nothing, and the warning.
  p.mailAvailable = false;
  EXPECT_FALSE(Communications::showMessageComposerWithSubject(p, "s", "b", std::nullopt, nullptr));
  EXPECT_EQ(countLog("Warning: MFMailComposeViewController couldn't be instantiated!"), 1);
  EXPECT_EQ(p.sentMail.size(), 2u);
}

TEST(MailClientTest, HtmlBodyTravelsAsAttachmentBesidePlainText) {
  MailMessage m;
  m.subject = "Kestrio history";
  m.body =
      "<html><body><h1>Usage</h1><table><tr><th>Date</th><th>MB</th></tr>"
      "<tr><td>1/2</td><td>12&nbsp;&amp;&#x263A;</td></tr></table></body></html>";
  m.bodyIsHtml = true;
  m.attachments.push_back({"/docs/kestrio.csv", "text/csv", "kestrio.csv"});
  m.recipients = {"me@example.org", "mailto:x@y?attach=/etc/passwd", "", "-v"};

  MailClientCall call = xdgEmailCall(m, "/docs/message.html");
  EXPECT_THAT(call.arguments,
              ElementsAre("xdg-email", "--utf8", "--subject", "Kestrio history", "--body",
                          "Usage\nDate\tMB\n1/2\t12 &\u263A", "--attach", "/docs/message.html",
                          "--attach", "/docs/kestrio.csv", "--to", "me@example.org", "--to",
                          "mailto:x@y?attach=/etc/passwd", "--to", "-v"));
  ASSERT_TRUE(call.htmlFileContent);
  EXPECT_EQ(*call.htmlFileContent, m.body);

  // A fragment is made a document that names its encoding; a plain body stays as it is; empty
  // texts are left out, as xdg-email refuses an option without a value.
  m.body = "<p>caf\u00e9</p>";
  EXPECT_THAT(*xdgEmailCall(m, "/h").htmlFileContent, HasSubstr("charset=\"utf-8\""));
  m.bodyIsHtml = false;
  m.subject.clear();
  m.body = "plain <b>";
  m.attachments.clear();
  m.recipients.clear();
  call = xdgEmailCall(m, "/h");
  EXPECT_THAT(call.arguments, ElementsAre("xdg-email", "--utf8", "--body", "plain <b>"));
  EXPECT_FALSE(call.htmlFileContent);
}

TEST(MailClientTest, PlainTextOfHtml) {
  EXPECT_EQ(plainTextFromHtml("<style>td{color:red}</style><p>Hello,\n   world</p><p>Bye<br/>"
                              "now &lt;3 &bogus; &#65;</p>"),
            "Hello, world\nBye\nnow <3 &bogus; A");
  // The history's table: a header and one preformatted paragraph per record, columns lined up
  // by blanks. Each record is a line of its own, its blanks kept.
  EXPECT_EQ(plainTextFromHtml("<pre><b>Data Type     Total</b></pre>"
                              "<p><pre>Cellular     19.07 MB</pre>"
                              "<p><pre>   Wi-Fi     2.00 MB</pre>"),
            "Data Type     Total\nCellular     19.07 MB\nWi-Fi     2.00 MB");
  EXPECT_EQ(plainTextFromHtml("<PRE>a  b\n c</PRE>d   e"), "a  b\nc\nd e");
  EXPECT_EQ(plainTextFromHtml("no tags"), "no tags");
  EXPECT_EQ(plainTextFromHtml("cut <b"), "cut");
}

}  // namespace
}  // namespace kestrio
