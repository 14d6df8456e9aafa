// Kestrio processes sharing one notification schedule, and the hand-off of mail to stand-ins for
// xdg-email and xdg-mime. No desktop is involved: the session bus is pointed at nothing, and the
// delivering processes stand in for a desktop that shows a notification by the log line
// "Notification: <body>".
#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/utsname.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "platform/LinuxPlatform.h"
#include "platform/PlatformWrapper.h"
#include "services/Communications.h"
#include "support/Process.h"

namespace kestrio {
namespace {

using ::testing::ElementsAre;
using testing::readWholeFile;
using testing::TemporaryDirectory;

// Sets an environment variable for one test and puts the old value back afterwards.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const std::string& value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    ::setenv(name, value.c_str(), 1);
  }
  ~ScopedEnv() {
    if (old_) {
      ::setenv(name_, old_->c_str(), 1);
    } else {
      ::unsetenv(name_);
    }
  }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

int countLines(const std::string& text, const std::string& line) {
  int count = 0;
  for (std::size_t at = text.find(line); at != std::string::npos; at = text.find(line, at + 1)) {
    const bool wholeLine = at + line.size() == text.size() || text[at + line.size()] == '\n';
    if (wholeLine) ++count;
  }
  return count;
}

// A desktop that shows every notification as a line of the process's log.
class LoggingDesktop final : public PlatformWrapper {
 public:
  using PlatformWrapper::PlatformWrapper;
  bool deliverNotification(const LocalNotification& notification) override {
    log("Notification: " + notification.alertBody);
    return true;
  }
};

class NotificationProcessTest : public ::testing::Test {
 protected:
  NotificationProcessTest() {
    env.documentsDirectory = dir.path() + "/home";
    env.zoneId = "Europe/Berlin";
    env.localeId = "en_US";
    env.verbose = true;  // the delivery's log lines are read from standard error
  }

  std::unique_ptr<LinuxPlatform> platform() {
    std::string error;
    auto made = LinuxPlatform::create(env, &error);
    EXPECT_TRUE(made) << error;
    return made;
  }

  // Starts a process that waits for `start` to close, then delivers what is due with its log
  // in `logPath`. Its exit code is the number it delivered.
  pid_t startDeliverer(const int start[2], const std::string& logPath) {
    pid_t pid = ::fork();
    if (pid != 0) return pid;
    int log = ::open(logPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (log < 0 || ::dup2(log, STDERR_FILENO) < 0) ::_exit(255);
    ::close(start[1]);
    auto own = LinuxPlatform::create(env, nullptr);
    char byte = 0;
    while (::read(start[0], &byte, 1) < 0 && errno == EINTR) {
    }
    if (!own) ::_exit(255);
    LoggingDesktop desktop(*own);
    ::_exit(Communications::deliverDueNotifications(desktop));
  }

  static int exitCode(pid_t pid) {
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0) {
      if (errno != EINTR) return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  ScopedEnv noBus{"DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/kestrio-test-bus"};
  TemporaryDirectory dir;
  LinuxEnvironment env;
};

TEST_F(NotificationProcessTest, TwoProcessesDeliverEachDueNotificationOnce) {
  auto parent = platform();
  ASSERT_TRUE(parent);
  constexpr int kNotes = 20;
  for (int round = 0; round < 8; ++round) {
    const std::string prefix = "round " + std::to_string(round) + " note ";
    const Date due = parent->now().addingSeconds(-1);
    for (int i = 0; i < kNotes; ++i) {
      LocalNotification n;
      n.fireDate = due;
      n.alertBody = prefix + std::to_string(i);
      Communications::scheduleLocalNotification(*parent, n);
    }
    LocalNotification daily;
    daily.fireDate = due;
    daily.alertBody = prefix + "daily";
    daily.repeatInterval = RepeatInterval::Day;
    daily.repeatTimeZone = env.zoneId;
    Communications::scheduleLocalNotification(*parent, daily);

    int start[2];
    ASSERT_EQ(::pipe(start), 0);
    const std::string logA = dir.path() + "/a.log", logB = dir.path() + "/b.log";
    pid_t a = startDeliverer(start, logA);
    pid_t b = startDeliverer(start, logB);
    ::close(start[0]);
    ::close(start[1]);  // both start now
    const int deliveredA = exitCode(a), deliveredB = exitCode(b);

    EXPECT_EQ(deliveredA + deliveredB, kNotes + 1) << deliveredA << " + " << deliveredB;
    const std::string logs = readWholeFile(logA) + readWholeFile(logB);
    for (int i = 0; i < kNotes; ++i) {
      EXPECT_EQ(countLines(logs, "Notification: " + prefix + std::to_string(i)), 1) << logs;
    }
    EXPECT_EQ(countLines(logs, "Notification: " + prefix + "daily"), 1);

    // Only the daily one is left, armed for tomorrow.
    auto left = Communications::scheduledLocalNotifications(*parent);
    ASSERT_EQ(left.size(), 1u);
    EXPECT_EQ(left[0].alertBody, prefix + "daily");
    EXPECT_GT(left[0].fireDate, parent->now());
    Communications::cancelAllLocalNotifications(*parent);
  }
}

TEST_F(NotificationProcessTest, WithoutASessionBusANotificationWaitsInTheSchedule) {
  auto own = platform();
  ASSERT_TRUE(own);
  LocalNotification n;
  n.fireDate = own->now();
  n.alertBody = "Cellular usage exceeded 60.7";
  EXPECT_FALSE(own->deliverNotification(n));
  Communications::sendLocalNotificationNowWithAlertBody(*own, n.alertBody, "View");
  const auto waiting = Communications::scheduledLocalNotifications(*own);
  ASSERT_EQ(waiting.size(), 1u);
  EXPECT_EQ(waiting[0].alertBody, n.alertBody);
}

TEST_F(NotificationProcessTest, BadgeIsSharedBetweenProcesses) {
  auto one = platform();
  auto other = platform();
  ASSERT_TRUE(one && other);
  EXPECT_EQ(other->applicationIconBadgeNumber(), 0);

  LocalNotification reset;
  reset.fireDate = one->now();
  reset.alertBody = "open app to reset WiFi billing cycle";
  reset.applicationIconBadgeNumber = 1;
  Communications::scheduleLocalNotification(*one, reset);
  int start[2];
  ASSERT_EQ(::pipe(start), 0);
  pid_t child = startDeliverer(start, dir.path() + "/child.log");
  ::close(start[0]);
  ::close(start[1]);
  EXPECT_EQ(exitCode(child), 1);
  EXPECT_EQ(one->applicationIconBadgeNumber(), 1);
  EXPECT_EQ(other->applicationIconBadgeNumber(), 1);

  other->setApplicationIconBadgeNumber(0);
  EXPECT_EQ(one->applicationIconBadgeNumber(), 0);
}

// Stand-ins for xdg-email and xdg-mime in a directory that is the whole PATH.
class MailProcessTest : public NotificationProcessTest {
 protected:
  MailProcessTest() : bin(dir.path() + "/bin"), path("PATH", dir.path() + "/bin") {
    ::mkdir(bin.c_str(), 0700);
  }
  void script(const std::string& name, const std::string& body) {
    const std::string file = bin + "/" + name;
    std::ofstream(file) << "#!/bin/sh\n" << body << "\n";
    ::chmod(file.c_str(), 0700);
  }
  // The arguments the stand-in xdg-email was given, as it received them.
  std::vector<std::string> recordedArguments() {
    std::string raw = readWholeFile(dir.path() + "/args");
    std::vector<std::string> arguments;
    for (std::size_t start = 0, end; (end = raw.find('\0', start)) != std::string::npos;
         start = end + 1) {
      arguments.push_back(raw.substr(start, end - start));
    }
    return arguments;
  }

  std::string bin;
  // The tools a stand-in may use itself, found where the test's own PATH found them.
  const std::string toolPath{std::getenv("PATH") != nullptr ? std::getenv("PATH") : ""};
  ScopedEnv path;
};

TEST_F(MailProcessTest, MailNeedsXdgEmailAndAMailHandler) {
  auto desktop = platform();
  ASSERT_TRUE(desktop);
  EXPECT_FALSE(desktop->canSendMail());  // no xdg-email
  script("xdg-email", "exit 0");
  script("xdg-mime", "exit 0");
  EXPECT_FALSE(desktop->canSendMail());  // no default handler for mailto:
  script("xdg-mime", "[ \"$*\" = 'query default x-scheme-handler/mailto' ] && echo mail.desktop");
  EXPECT_TRUE(desktop->canSendMail());
}

TEST_F(MailProcessTest, MessageReachesXdgEmailWithoutAShell) {
  auto desktop = platform();
  ASSERT_TRUE(desktop);
  // It also keeps what the attached file held and the mode of the directory it was in.
  const std::string d = "'" + dir.path() + "/";
  script("xdg-email", "PATH='" + toolPath + "'\nfor a in \"$@\"; do printf '%s\\0' \"$a\" >> " + d +
                          "args'\n[ \"$p\" = --attach ] && stat -c %a \"${a%/*}\" > " + d +
                          "mode' && cp \"$a\" " + d + "attached'\np=$a; done\nread code < " + d +
                          "code'\nexit \"$code\"");
  std::ofstream(dir.path() + "/code") << "0";
  ScopedEnv runtime("XDG_RUNTIME_DIR", dir.path() + "/run");
  ::mkdir((dir.path() + "/run").c_str(), 0700);

  MailMessage message;
  message.subject = "Usage $(touch pwned); `id`";
  message.body = "<p>Tom's \"trip\" &amp; more</p>";
  message.bodyIsHtml = true;
  message.recipients = {"me@example.org"};
  EXPECT_TRUE(desktop->sendMail(message));

  const std::vector<std::string> arguments = recordedArguments();
  ASSERT_EQ(arguments.size(), 9u);
  const std::string html = arguments[6];
  EXPECT_THAT(arguments,
              ElementsAre("--utf8", "--subject", "Usage $(touch pwned); `id`", "--body",
                          "Tom's \"trip\" & more", "--attach", html, "--to", "me@example.org"));
  // The HTML travelled from a directory of its own that only this user can enter, never from
  // among Kestrio's data. It stays for the mail client, which may read it only when the user
  // sends the message, and a mail a day later removes it.
  EXPECT_THAT(html, ::testing::StartsWith(dir.path() + "/run/kestrio-mail-"));
  EXPECT_THAT(html, ::testing::EndsWith("/message.html"));
  EXPECT_THAT(readWholeFile(dir.path() + "/attached"), ::testing::HasSubstr(message.body));
  EXPECT_EQ(readWholeFile(dir.path() + "/mode"), "700\n");
  EXPECT_THAT(readWholeFile(html), ::testing::HasSubstr(message.body));
  EXPECT_NE(::access((env.documentsDirectory + "/message.html").c_str(), F_OK), 0);
  EXPECT_FALSE(::access((dir.path() + "/pwned").c_str(), F_OK) == 0);
  EXPECT_FALSE(::access((env.documentsDirectory + "/pwned").c_str(), F_OK) == 0);

  const std::string first = html.substr(0, html.rfind('/'));
  const timeval twoDaysAgo[2] = {{::time(nullptr) - 2 * 86400, 0},
                                 {::time(nullptr) - 2 * 86400, 0}};
  ASSERT_EQ(::utimes(first.c_str(), twoDaysAgo), 0);
  // A mail that fails leaves nothing behind; the day-old directory is gone all the same.
  std::ofstream(dir.path() + "/code") << "3";
  EXPECT_FALSE(desktop->sendMail(message));
  EXPECT_NE(::access(first.c_str(), F_OK), 0);
  std::size_t left = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir.path() + "/run")) {
    left += entry.path().filename().string().rfind("kestrio-mail-", 0) == 0 ? 1 : 0;
  }
  EXPECT_EQ(left, 0u);
}

TEST_F(NotificationProcessTest, PlatformVersionIsFixedNotTheKernelRelease) {
  auto desktop = platform();
  ASSERT_TRUE(desktop);
  // A kernel upgrade never changes what the application does.
  EXPECT_EQ(desktop->platformVersion(), kImplementedPlatformVersion);
  EXPECT_EQ(desktop->userInterfaceIdiom(), UserInterfaceIdiom::Pad);
  desktop->setScreenWidth(360);
  EXPECT_EQ(desktop->userInterfaceIdiom(), UserInterfaceIdiom::Phone);
  desktop->setScreenWidth(1280);
  EXPECT_EQ(desktop->userInterfaceIdiom(), UserInterfaceIdiom::Pad);
}

}  // namespace
}  // namespace kestrio
