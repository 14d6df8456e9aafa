#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/SystemLog.h"

namespace kestrio {
namespace {

struct Destinations {
  std::vector<std::string> journal, syslog, terminal;
};

SystemLog::Outputs recording(Destinations& d, bool journalRuns) {
  return {[&d, journalRuns](std::string_view t) {
            if (journalRuns) d.journal.emplace_back(t);
            return journalRuns;
          },
          [&d](std::string_view t) { d.syslog.emplace_back(t); },
          [&d](std::string_view t) { d.terminal.emplace_back(t); }};
}

// Each case: whether the journal takes entries, --verbose, told or logged, and where the line
// must end up.
struct Case {
  bool journalRuns, verbose, told;
  size_t journal, syslog, terminal;
};

TEST(SystemLogTest, ALineGoesToOneSystemLogAndToTheTerminalOnlyWhenAsked) {
  const Case cases[] = {
      {true, false, false, 1, 0, 0}, {false, false, false, 0, 1, 0}, {true, true, false, 1, 0, 1},
      {false, true, false, 0, 1, 1}, {true, false, true, 1, 0, 1},   {false, true, true, 0, 1, 1},
  };
  for (const Case& c : cases) {
    Destinations d;
    SystemLog log(recording(d, c.journalRuns), c.verbose);
    c.told ? log.tell("Writing data to file failed: /d/f\nnext") : log.log("Writing data\x1b[2J");
    SCOPED_TRACE(testing::Message() << c.journalRuns << c.verbose << c.told);
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
