// The accounting service's answers: who may read which cgroup, and requests that are refused.
#include <gtest/gtest.h>

#include <random>

#include "accountd/Access.h"
#include "accountd/Answer.h"
#include "support/CaseNames.h"

namespace kestrio::accountd {
namespace {

using accounting::Entry;

struct OwnerCase {
  std::string name;
  std::string path;
  std::optional<uid_t> owner;
};

class CgroupOwnerTest : public ::testing::TestWithParam<OwnerCase> {};

TEST_P(CgroupOwnerTest, IsTheFirstUserManagerOnThePath) {
  EXPECT_EQ(cgroupOwner(GetParam().path), GetParam().owner);
}

INSTANTIATE_TEST_SUITE_P(
    Paths, CgroupOwnerTest,
    ::testing::Values(
        OwnerCase{"app scope",
                  "/user.slice/user-1000.slice/user@1000.service/app.slice/app-gnome-x-1.scope",
                  1000},
        OwnerCase{"manager itself", "/user.slice/user-1000.slice/user@1000.service", 1000},
        OwnerCase{"test tree", "/user@1001.service/app-test-1.scope", 1001},
        // A user names cgroups below their own manager as they like: only the first counts.
        OwnerCase{"nested name of another user", "/user@1000.service/app.slice/user@0.service",
                  1000},
        OwnerCase{"login session outside the manager",
                  "/user.slice/user-1000.slice/session-3.scope", std::nullopt},
        OwnerCase{"system service", "/system.slice/NetworkManager.service", std::nullopt},
        OwnerCase{"root", "/", std::nullopt},
        OwnerCase{"leading zero", "/user@01000.service/x.scope", std::nullopt},
        OwnerCase{"not a number", "/user@abc.service/x.scope", std::nullopt},
        OwnerCase{"empty uid", "/user@.service/x.scope", std::nullopt},
        OwnerCase{"too large", "/user@99999999999999999999.service/x.scope", std::nullopt},
        OwnerCase{"prefix of a name", "/xuser@1000.service/x.scope", std::nullopt}),
    testing::NameField{});

const std::vector<Entry> kEntries{
    {"/user@1000.service/app-a-1.scope", 7, 2, 100, 50},
    {"/user@1001.service/app-b-1.scope", 7, 2, 300, 70},
    {"/system.slice/sshd.service", 7, 2, 9, 9},
    {"/user@1000.service/we\tird\nname", 9, 3, 1, 2},
};

std::vector<std::string> cgroupsIn(const std::string& answer) {
  const accounting::Answer parsed = accounting::parseAnswer(answer);
  EXPECT_TRUE(parsed.ok) << answer;
  std::vector<std::string> cgroups;
  for (const Entry& entry : parsed.entries) cgroups.push_back(entry.cgroup);
  return cgroups;
}

TEST(AnswerTest, AUserReadsOnlyTheirOwnCgroupsAndRootReadsAll) {
  const std::string request(accounting::kCountersRequest);
  EXPECT_EQ(cgroupsIn(answerRequest(1000, request, kEntries)),
            (std::vector<std::string>{kEntries[0].cgroup, kEntries[3].cgroup}));
  EXPECT_EQ(cgroupsIn(answerRequest(1001, request, kEntries)),
            std::vector<std::string>{kEntries[1].cgroup});
  EXPECT_TRUE(cgroupsIn(answerRequest(65534, request, kEntries)).empty());
  const accounting::Answer all = accounting::parseAnswer(answerRequest(0, request, kEntries));
  ASSERT_TRUE(all.ok);
  EXPECT_EQ(all.entries, kEntries);
}

struct RefusedCase {
  std::string name;
  std::string request;
};

class RefusedRequestTest : public ::testing::TestWithParam<RefusedCase> {};

TEST_P(RefusedRequestTest, IsAnsweredWithOneErrorLineAndNothingElse) {
  const std::string answer = answerRequest(0, GetParam().request, kEntries);
  ASSERT_EQ(answer.rfind("error ", 0), 0u) << answer;
  EXPECT_EQ(answer.find('\n'), answer.size() - 1);
  for (char c : answer.substr(0, answer.size() - 1)) {
    EXPECT_TRUE(c >= 0x20 && c < 0x7f) << "byte " << static_cast<int>(c);
  }
  EXPECT_FALSE(accounting::parseAnswer(answer).ok);
}

INSTANTIATE_TEST_SUITE_P(
    Malformed, RefusedRequestTest,
    ::testing::Values(
        RefusedCase{"empty", ""}, RefusedCase{"line break only", "\n"},
        RefusedCase{"without line break", "kestrio-accountd 1 counters"},
        RefusedCase{"two requests", "kestrio-accountd 1 counters\nkestrio-accountd 1 counters\n"},
        RefusedCase{"trailing byte", "kestrio-accountd 1 counters\nx"},
        RefusedCase{"carriage return", "kestrio-accountd 1 counters\r\n"},
        RefusedCase{"other version", "kestrio-accountd 2 counters\n"},
        RefusedCase{"negative version", "kestrio-accountd -1 counters\n"},
        RefusedCase{"leading zero", "kestrio-accountd 01 counters\n"},
        RefusedCase{"huge version", "kestrio-accountd 99999999999999999999 counters\n"},
        RefusedCase{"unknown command", "kestrio-accountd 1 delete\n"},
        RefusedCase{"argument", "kestrio-accountd 1 counters /\n"},
        RefusedCase{"no command", "kestrio-accountd 1\n"},
        RefusedCase{"other program", "GET / HTTP/1.0\n"},
        RefusedCase{"zero byte", std::string("kestrio-accountd 1 coun\0ters\n", 29)},
        RefusedCase{"escape sequence", "kestrio-accountd 1 \x1b[31mcounters\n"},
        RefusedCase{"non-ASCII", "kestrio-accountd 1 c\xc3\xb6unters\n"},
        RefusedCase{"too long", std::string(accounting::kMaxRequestBytes, 'a') + "\n"}),
    testing::NameField{});

// Random bytes and random changes of a good request: every answer is one error line or, only for
// the request itself, the full answer; nothing reads outside the request or loops.
TEST(AnswerTest, MutatedAndRandomRequestsAreRefusedCleanly) {
  std::mt19937 random(20240611);
  const std::string good(accounting::kCountersRequest);
  std::uniform_int_distribution<int> byte(0, 255);
  for (int round = 0; round < 20000; ++round) {
    std::string request = good;
    const int kind = round % 4;
    if (kind == 0) {
      request.assign(static_cast<std::size_t>(random() % (accounting::kMaxRequestBytes + 40)),
                     '\0');
      for (char& c : request) c = static_cast<char>(byte(random));
    } else {
      const int changes = 1 + static_cast<int>(random() % 4);
      for (int i = 0; i < changes; ++i) {
        const std::size_t at = random() % (request.size() + 1);
        switch (random() % 3) {
          case 0:
            if (at < request.size()) request[at] = static_cast<char>(byte(random));
            break;
          case 1:
            request.insert(at, 1, static_cast<char>(byte(random)));
            break;
          default:
            if (at < request.size()) request.erase(at, 1);
        }
      }
    }
    const std::string answer = answerRequest(1000, request, kEntries);
    if (request == good) {
      EXPECT_EQ(cgroupsIn(answer).size(), 2u);
      continue;
    }
    ASSERT_EQ(answer.rfind("error ", 0), 0u) << ::testing::PrintToString(request);
    ASSERT_EQ(answer.find('\n'), answer.size() - 1);
  }
}

}  // namespace
}  // namespace kestrio::accountd
