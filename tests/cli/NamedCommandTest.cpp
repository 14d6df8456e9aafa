#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli/NamedCommand.h"

namespace kestrio::cli {
namespace {

struct Case {
  const char* name;
  std::vector<const char*> arguments;  // after the program's name
  std::optional<std::string_view> command;
};

void PrintTo(const Case& c, std::ostream* os) {
  *os << c.name;
}

class NamedCommandTest : public ::testing::TestWithParam<Case> {};

// A command found where there is none would leave the one asked for without its options; one
// missed only costs the time of setting up the others.
TEST_P(NamedCommandTest, FindsTheCommandAfterTheGlobalOptions) {
  std::vector<const char*> argv{"kestrio"};
  argv.insert(argv.end(), GetParam().arguments.begin(), GetParam().arguments.end());
  EXPECT_EQ(namedCommand(static_cast<int>(argv.size()), argv.data()), GetParam().command);
}

INSTANTIATE_TEST_SUITE_P(
    Arguments, NamedCommandTest,
    ::testing::Values(
        Case{"Alone", {"update"}, "update"},
        Case{"AfterAFlag", {"-v", "status", "--json"}, "status"},
        Case{"AfterAnOptionAndItsValue", {"--color", "always", "history", "export"}, "history"},
        Case{"AfterAnOptionWithItsValue", {"--color=never", "plan", "quota", "2", "GB"}, "plan"},
        // A command's own arguments may be other commands' names.
        Case{"OtherCommandsAmongItsArguments", {"counters", "add", "update"}, "counters"},
        Case{"CommandsHelp", {"status", "--help"}, "status"},
        // The program's help and version list every command.
        Case{"ProgramsHelp", {"--help"}, std::nullopt},
        Case{"ProgramsHelpAfterAFlag", {"-v", "-h"}, std::nullopt},
        Case{"ProgramsVersion", {"-V"}, std::nullopt}, Case{"NoArguments", {}, std::nullopt},
        // An unknown word gets the parser's own error, which needs every command.
        Case{"UnknownWord", {"updat"}, std::nullopt},
        // --color takes the next word as its value, even a command's name.
        Case{"CommandsNameAsAnOptionsValue", {"--color", "status"}, std::nullopt}),
    [](const ::testing::TestParamInfo<Case>& c) { return std::string(c.param.name); });

}  // namespace
}  // namespace kestrio::cli
