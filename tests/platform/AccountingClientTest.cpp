// Reading kestrio-accountd: its answers as a client takes them, from a stand-in service on a
// socket of a temporary directory.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <thread>

#include "platform/AccountingClient.h"
#include "support/CaseNames.h"

#ifndef SO_NETNS_COOKIE
#define SO_NETNS_COOKIE 71
#endif

namespace kestrio {
namespace {

using accounting::Entry;
using State = ApplicationCounters::State;

InterfaceNamer fakeInterfaces() {
  return [](std::uint32_t ifindex) -> std::optional<std::string> {
    if (ifindex == 2) return "wlan0";
    if (ifindex == 3) return "wwan0";
    return std::nullopt;
  };
}

TEST(CountersInNamespaceTest, KeepsOnlyThisNamespacesInterfacesThatStillExist) {
  const std::vector<Entry> entries{
      {"/a", 7, 2, 100, 10},  // wlan0 here
      {"/a", 8, 2, 500, 50},  // index 2 of another namespace: another interface
      {"/a", 7, 3, 30, 3},    // wwan0
      {"/b", 7, 9, 1, 1},     // an interface that is gone
  };
  EXPECT_EQ(countersInNamespace(entries, 7, fakeInterfaces()),
            (std::vector<ApplicationCounter>{{"/a", "wlan0", 100, 10}, {"/a", "wwan0", 30, 3}}));
}

struct AnswerCase {
  std::string name;
  std::string answer;  // "COOKIE" stands for this process's namespace cookie
  State state;
  std::size_t counters;
};

class AccountingClientTest : public ::testing::TestWithParam<AnswerCase> {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/kestrio-accountd-test-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    directory = pattern;
    socketPath = directory + "/socket";
  }
  void TearDown() override { std::filesystem::remove_all(directory); }

  // Serves one connection: reads the request, then writes `answer` and closes.
  std::thread serveOnce(std::string answer, std::string* request) {
    listening = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    socketPath.copy(address.sun_path, sizeof address.sun_path - 1);
    EXPECT_EQ(::bind(listening, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    EXPECT_EQ(::listen(listening, 1), 0);
    return std::thread([this, answer = std::move(answer), request] {
      const int client = ::accept(listening, nullptr, nullptr);
      char buffer[512];
      ssize_t got = 0;
      while (request->find('\n') == std::string::npos &&
             (got = ::read(client, buffer, sizeof buffer)) > 0) {
        request->append(buffer, static_cast<std::size_t>(got));
      }
      std::string_view rest = answer;
      while (!rest.empty()) {
        const ssize_t sent = ::send(client, rest.data(), rest.size(), MSG_NOSIGNAL);
        if (sent <= 0) break;
        rest.remove_prefix(static_cast<std::size_t>(sent));
      }
      ::close(client);
      ::close(listening);
    });
  }

  static std::uint64_t ownCookie() {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    std::uint64_t cookie = 0;
    socklen_t size = sizeof cookie;
    EXPECT_EQ(::getsockopt(fd, SOL_SOCKET, SO_NETNS_COOKIE, &cookie, &size), 0);
    ::close(fd);
    return cookie;
  }

  std::string directory;
  std::string socketPath;
  int listening = -1;
};

TEST_P(AccountingClientTest, TakesTheServicesAnswer) {
  std::string answer = GetParam().answer;
  for (std::size_t at; (at = answer.find("COOKIE")) != std::string::npos;) {
    answer.replace(at, 6, std::to_string(ownCookie()));
  }
  std::string request;
  std::thread service = serveOnce(answer, &request);
  const ApplicationCounters read = readApplicationCounters(socketPath, fakeInterfaces());
  service.join();
  EXPECT_EQ(request, accounting::kCountersRequest);
  EXPECT_EQ(read.state, GetParam().state) << read.reason;
  EXPECT_EQ(read.counters.size(), GetParam().counters);
  EXPECT_EQ(read.reason.empty(), GetParam().state == State::Read) << read.reason;
}

INSTANTIATE_TEST_SUITE_P(
    Answers, AccountingClientTest,
    ::testing::Values(
        AnswerCase{"counters",
                   "ok 1\n/u/app-a-1.scope\tCOOKIE\t2\t100\t10\n/u/b\\tc\t1\t2\t5\t5\n"
                   "/u/app-a-1.scope\tCOOKIE\t3\t7\t0\nend\n",
                   State::Read, 2},
        AnswerCase{"none of the user's", "ok 1\nend\n", State::Read, 0},
        AnswerCase{"refused", "error unsupported version\n", State::Failed, 0},
        AnswerCase{"cut short", "ok 1\n/u/a\tCOOKIE\t2\t100\t10\n", State::Failed, 0},
        AnswerCase{"nothing", "", State::Failed, 0},
        AnswerCase{"malformed line", "ok 1\n/u/a\tCOOKIE\t2\t-1\t10\nend\n", State::Failed, 0},
        AnswerCase{"relative path", "ok 1\nu/a\tCOOKIE\t2\t1\t10\nend\n", State::Failed, 0},
        AnswerCase{"bad escape", "ok 1\n/u/\\x\tCOOKIE\t2\t1\t10\nend\n", State::Failed, 0},
        AnswerCase{"after the end", "ok 1\nend\n/u/a\tCOOKIE\t2\t1\t1\n", State::Failed, 0},
        AnswerCase{"other version", "ok 2\nend\n", State::Failed, 0}),
    testing::NameField{});

TEST(AccountingClientMissingTest, NoSocketIsAMissingService) {
  const ApplicationCounters read =
      readApplicationCounters("/nonexistent-kestrio-dir/socket", fakeInterfaces());
  EXPECT_EQ(read.state, State::ServiceMissing);
  EXPECT_NE(read.reason.find("/nonexistent-kestrio-dir/socket"), std::string::npos);
}

TEST(AccountingProtocolTest, PathsWithTabsLineBreaksAndBackslashesSurviveTheLine) {
  const Entry entry{"/a\tb\nc\\d\\t", 1, 2, 3, 4};
  const accounting::Answer parsed = accounting::parseAnswer(
      accounting::answerHeader() + accounting::entryLine(entry) + accounting::answerEnd());
  ASSERT_TRUE(parsed.ok) << parsed.error;
  EXPECT_EQ(parsed.entries, std::vector<Entry>{entry});
}

}  // namespace
}  // namespace kestrio
