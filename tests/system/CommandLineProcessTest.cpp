// The two programs' command lines as a user meets them: what a word alone, a typo, a version
// flag or a destructive command without a terminal does. Real processes, each on its own
// temporary home; standard input is not a terminal.
#include <gtest/gtest.h>

#include <filesystem>

#include "support/CaseNames.h"
#include "support/ProcNetDev.h"
#include "support/Process.h"

namespace kestrio {
namespace {

using testing::ProcessResult;

struct LineCase {
  const char* name;
  bool gui;
  std::vector<std::string> args;
  int exitCode;
  const char* out;  // in standard output; empty: anything
  const char* err;  // in standard error; empty: nothing at all
};

class CommandLineProcessTest : public ::testing::TestWithParam<LineCase> {
 protected:
  CommandLineProcessTest()
      : env{{"KESTRIO_HOME", dir.path() + "/home"},
            {"KESTRIO_COUNTERS", dir.path() + "/net_dev"},
            {"TZ", "UTC"},
            {"LANG", "C"},
            {"DISPLAY", ""},
            {"WAYLAND_DISPLAY", ""},
            {"DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent"}} {
    testing::replaceFile(dir.path() + "/net_dev", testing::procNetDevText({{"wwan7", 1000, 100}}));
  }

  testing::TemporaryDirectory dir;
  std::map<std::string, std::string> env;
};

TEST_P(CommandLineProcessTest, AnswersAsAUserExpects) {
  const LineCase& c = GetParam();
  std::vector<std::string> argv = c.args;
  argv.insert(argv.begin(), c.gui ? KESTRIO_GUI_BINARY : KESTRIO_BINARY);
  const ProcessResult r = testing::runProcess(argv, env);
  EXPECT_EQ(r.exitCode, c.exitCode) << r.out << r.err;
  EXPECT_NE(r.out.find(c.out), std::string::npos) << r.out;
  if (*c.err == '\0') {
    EXPECT_EQ(r.err, "");
  } else {
    EXPECT_NE(r.err.find(c.err), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << "one line: " << r.err;
  }
  // A refusal or a parse error leaves no usage record behind.
  if (c.exitCode == 2) {
    EXPECT_FALSE(std::filesystem::exists(dir.path() + "/home/app_data_cellular.plist"));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Lines, CommandLineProcessTest,
    ::testing::Values(
        LineCase{"AloneShowsTheStatus", false, {}, 0, "Used this period   0.00 MB, no quota\n", ""},
        LineCase{"WithoutAPlanSaysHowToSetOne",
                 false,
                 {"status", "--network", "wifi"},
                 0,
                 "\nNo quota set: kestrio plan quota 5 GB sets one (see kestrio plan --help).\n",
                 ""},
        LineCase{"AMistypedCommand",
                 false,
                 {"statu"},
                 2,
                 "",
                 "\"statu\" is not a kestrio command; did you mean status? (see kestrio status "
                 "--help)"},
        LineCase{"AMistypedOption",
                 false,
                 {"status", "--jsn"},
                 2,
                 "",
                 "unknown option --jsn; did you mean --json? (see kestrio status --help)"},
        LineCase{"AMistypedSubcommand",
                 false,
                 {"history", "delet", "1"},
                 2,
                 "",
                 "did you mean delete? (see kestrio history delete --help)"},
        LineCase{"NothingNear",
                 false,
                 {"frobnicate"},
                 2,
                 "",
                 "\"frobnicate\" is not a kestrio command (see kestrio --help)"},
        LineCase{"Version", false, {"-V"}, 0, "kestrio ", ""},
        LineCase{"GuiVersion", true, {"-V"}, 0, "kestrio-gui ", ""},
        LineCase{"GuiLongVersion", true, {"--version"}, 0, "kestrio-gui ", ""},
        LineCase{"GuiVerboseIsNoVersion", true, {"-v"}, 1, "", "no display"},
        LineCase{"ResetWithoutATerminal",
                 false,
                 {"reset", "cellular"},
                 2,
                 "",
                 "reset asks for confirmation, and there is no terminal to ask on"},
        LineCase{"HistoryClearWithoutATerminal", false, {"history", "clear"}, 2, "", "--yes"},
        LineCase{
            "HistoryDeleteWithoutATerminal", false, {"history", "delete", "1"}, 2, "", "--yes"},
        LineCase{"CountersDeleteWithoutATerminal",
                 false,
                 {"counters", "delete", "1"},
                 2,
                 "",
                 "counters remove asks for confirmation"}),
    testing::NameField{});

}  // namespace
}  // namespace kestrio
