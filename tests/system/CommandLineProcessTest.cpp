// The two programs' command lines as a user meets them: what a word alone, a typo, a version
// flag or a destructive command without a terminal does. Real processes, each on its own
// temporary home; standard input is not a terminal.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>

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
        LineCase{
            "WithoutAPlanSaysHowToSetOne",
            false,
            {"status", "--network", "wifi"},
            0,
            "\nNo quota set: kestrio plan --wifi quota 5 GB sets one (see kestrio plan --help).\n",
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
        LineCase{"AMistypedValue",
                 false,
                 {"status", "--network", "wfi"},
                 2,
                 "",
                 "--network: \"wfi\" is not cellular or wifi; did you mean wifi?"},
        LineCase{"TheCompletionHelperIsNoSuggestion",
                 false,
                 {"complete"},
                 2,
                 "",
                 "\"complete\" is not a kestrio command (see kestrio --help)"},
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

namespace kestrio {
namespace {

struct CompletionCase {
  const char* name;
  const char* line;  // what was typed before Tab
  bool withData;     // a data directory with two counters, else none at all
  std::vector<std::string> offered;
};

class CompletionProcessTest : public ::testing::TestWithParam<CompletionCase> {};

// The completion script in bash as a user's shell runs it, with this build's kestrio first on
// the PATH. Pressing Tab must never create the data directory.
TEST_P(CompletionProcessTest, OffersWhatTheCommandsAcceptAndWritesNothing) {
  const std::string library = "/usr/share/bash-completion/bash_completion";
  const std::string bash = testing::findProgram("bash");
  if (!std::filesystem::exists(library) || bash.empty()) {
    GTEST_SKIP() << "needs bash and bash-completion";
  }
  const CompletionCase& c = GetParam();
  testing::TemporaryDirectory dir;
  const std::string home = dir.path() + "/home";
  const std::string binary = KESTRIO_BINARY;
  const std::map<std::string, std::string> env{
      {"KESTRIO_HOME", home},
      {"KESTRIO_COUNTERS", dir.path() + "/net_dev"},
      {"PATH", binary.substr(0, binary.rfind('/')) + ":" + std::getenv("PATH")},
      {"TZ", "UTC"},
      {"LANG", "C"}};
  if (c.withData) {
    testing::replaceFile(dir.path() + "/net_dev", testing::procNetDevText({{"wwan7", 1000, 100}}));
    for (const char* name : {"Trip", "Month"}) {
      ASSERT_EQ(testing::runProcess({binary, "counters", "add", name}, env).exitCode, 0);
    }
  }
  const std::string script = R"(
source "$1"
source "$2"
line=$3
read -ra COMP_WORDS <<< "$line"
[[ $line == *" " ]] && COMP_WORDS+=("")
COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
COMP_LINE=$line
COMP_POINT=${#line}
_kestrio
printf '%s\n' "${COMPREPLY[@]}"
)";
  const ProcessResult r = testing::runProcess(
      {bash, "-c", script, "completion", library, KESTRIO_COMPLETION_SCRIPT, c.line}, env);
  ASSERT_EQ(r.exitCode, 0) << r.err;
  std::vector<std::string> offered;
  std::istringstream lines(r.out);
  for (std::string word; std::getline(lines, word);) {
    // Counter identifiers differ from run to run: their form is what counts.
    if (word.size() == 36 && word[8] == '-') word = "ID";
    if (!word.empty()) offered.push_back(word);
  }
  EXPECT_EQ(offered, c.offered) << r.out;
  EXPECT_EQ(std::filesystem::exists(home), c.withData);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, CompletionProcessTest,
    ::testing::Values(
        CompletionCase{"ACommand", "kestrio stat", false, {"status"}},
        CompletionCase{"ColourAfterItsEqualsSign", "kestrio --color=al", false, {"--color=always"}},
        CompletionCase{
            "OnlyKeysThatSettingsSetTakes",
            "kestrio settings set cell",
            false,
            {"cell_daily_cap", "cellularDataLimit", "cellularDataLimitUnit", "cellularInterfaces"}},
        CompletionCase{"TheChoicesOfAKey",
                       "kestrio --color never settings set dataunit_settings ",
                       false,
                       {"KB", "MB", "GB"}},
        CompletionCase{"NoCountersWithoutData", "kestrio counters pause ", false, {}},
        CompletionCase{"CounterPositionsAndIdentifiers",
                       "kestrio counters delete ",
                       true,
                       {"--yes", "1", "2", "ID", "ID"}},
        CompletionCase{"NoConnectionsWithoutData", "kestrio connections metered ", false, {}},
        CompletionCase{"TheAppsPeriods", "kestrio apps --period ", false, {"current", "all"}},
        CompletionCase{
            "TheMeteredValues", "kestrio connections metered Home ", false, {"yes", "no", "auto"}},
        CompletionCase{"ThePlansSettings",
                       "kestrio plan ",
                       false,
                       {"type", "start-day", "every", "custom-start", "quota", "daily-cap", "usage",
                        "--wifi", "--help"}}),
    testing::NameField{});

}  // namespace
}  // namespace kestrio
