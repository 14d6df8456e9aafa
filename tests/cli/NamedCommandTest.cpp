#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli/NamedCommand.h"
#include "cli/Suggestion.h"
#include "support/CaseNames.h"

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

struct NearCase {
  const char* name;
  const char* typed;
  std::vector<std::string> near;
};

class NearestWordsTest : public ::testing::TestWithParam<NearCase> {};

// A suggestion far from what was typed misleads more than none.
TEST_P(NearestWordsTest, SuggestsOnlyWhatWasLikelyMeant) {
  const std::vector<std::string> words{"update",   "status", "adjust",   "reset",
                                       "daemon",   "plan",   "settings", "history",
                                       "counters", "--json", "--detail", "--days"};
  EXPECT_EQ(nearestWords(GetParam().typed, words), GetParam().near);
}

INSTANTIATE_TEST_SUITE_P(Words, NearestWordsTest,
                         ::testing::Values(NearCase{"ALetterLeftOut", "statu", {"status"}},
                                           NearCase{"TwoLettersSwapped", "stauts", {"status"}},
                                           NearCase{"ALetterChanged", "histery", {"history"}},
                                           NearCase{"ABeginning", "hist", {"history"}},
                                           NearCase{"ABeginningOfTwo", "--d", {}},
                                           NearCase{"ABeginningSharedByTwo", "--de", {"--detail"}},
                                           NearCase{"AnOptionMistyped", "--jsno", {"--json"}},
                                           NearCase{"AnOptionsLastLetter", "--dayz", {"--days"}},
                                           NearCase{"AShortWordFarFromAll", "ls", {}},
                                           NearCase{"NothingNear", "frobnicate", {}}),
                         testing::NameField{});

}  // namespace
}  // namespace kestrio::cli
