#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/SystemLog.h"

namespace kestrio {
namespace {

struct Destinations {
  std::vector<std::string> journal, syslog, terminal;
  std::vector<LogPriority> priorities;  // of the journal's and syslog's entries
};

SystemLog::Outputs recording(Destinations& d, bool journalRuns) {
  return {[&d, journalRuns](std::string_view t, LogPriority p) {
            if (journalRuns) {
              d.journal.emplace_back(t);
              d.priorities.push_back(p);
            }
            return journalRuns;
          },
          [&d](std::string_view t, LogPriority p) {
            d.syslog.emplace_back(t);
            d.priorities.push_back(p);
          },
          [&d](std::string_view t) { d.terminal.emplace_back(t); }};
}

// Each case: whether the journal takes entries, --verbose, told or logged (with the priority it
// is logged at), where the line must end up, and the priority the system log gets: a told line
// is a notice.
struct Case {
  bool journalRuns, verbose, told;
  LogPriority logged;
  size_t journal, syslog, terminal;
  LogPriority recorded;
};

TEST(SystemLogTest, ALineGoesToOneSystemLogAtItsPriorityAndToTheTerminalOnlyWhenAsked) {
  using P = LogPriority;
  const Case cases[] = {
      {true, false, false, P::Info, 1, 0, 0, P::Info},
      {false, false, false, P::Warning, 0, 1, 0, P::Warning},
      {true, true, false, P::Warning, 1, 0, 1, P::Warning},
      {false, true, false, P::Info, 0, 1, 1, P::Info},
      {true, false, true, P::Info, 1, 0, 1, P::Notice},
      {false, true, true, P::Info, 0, 1, 1, P::Notice},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.journalRuns << c.verbose << c.told);
    Destinations d;
    SystemLog log(recording(d, c.journalRuns), c.verbose);
    c.told ? log.tell("Writing data to file failed: /d/f\nnext")
           : log.log("Writing data\x1b[2J", c.logged);
    ASSERT_EQ(d.priorities.size(), 1u);
    EXPECT_EQ(d.priorities.front(), c.recorded);
    EXPECT_EQ(d.journal.size(), c.journal);
    EXPECT_EQ(d.syslog.size(), c.syslog);
    ASSERT_EQ(d.terminal.size(), c.terminal);
    const std::string expected =
        c.told ? "Writing data to file failed: /d/f next" : "Writing data\xEF\xBF\xBD[2J";
    for (const auto& e : c.journalRuns ? d.journal : d.syslog) EXPECT_EQ(e, expected);
    for (const auto& t : d.terminal) EXPECT_EQ(t, "kestrio: " + expected + "\n");
  }
}

}  // namespace
}  // namespace kestrio
