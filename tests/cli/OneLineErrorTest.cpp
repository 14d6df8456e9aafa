// A value typed with a line break (pasted, or from a script's variable) is refused with the one
// line every refusal has: the value is repeated in quotes with its breaks shown, never split.
#include <gtest/gtest.h>

#include <CLI/CLI.hpp>
#include <algorithm>
#include <functional>
#include <sstream>

#include "cli/Commands.h"
#include "cli/CountersCommand.h"
#include "cli/CountersCommandLine.h"
#include "cli/SettingsCommand.h"
#include "support/CaseNames.h"
#include "support/FakePlatform.h"

namespace kestrio::cli {
namespace {

using testing::FakePlatform;

const std::string kTyped = "12\nrm -rf \"x\"\t\x1b[2J";
const std::string kShown = R"("12\nrm -rf \"x\"\t\x1B[2J")";

struct Refusal {
  const char* name;
  std::function<int(FakePlatform&, std::ostream& out, std::ostream& err)> run;
};

void PrintTo(const Refusal& c, std::ostream* os) {
  *os << c.name;
}

const Refusal kRefusals[] = {
    {"settings set number",
     [](FakePlatform& p, std::ostream& out, std::ostream& err) {
       return runSettingsSet(p, "firstDayOfCycle", kTyped, out, err);
     }},
    {"settings set unknown key",
     [](FakePlatform& p, std::ostream& out, std::ostream& err) {
       return runSettingsSet(p, kTyped, "1", out, err);
     }},
    {"status alert",
     [](FakePlatform& p, std::ostream& out, std::ostream& err) {
       StatusOptions options;
       options.alert = kTyped;
       return runStatus(p, options, out, err);
     }},
    {"adjust", [](FakePlatform& p, std::ostream& out,
                  std::ostream& err) { return runAdjust(p, "cellular", kTyped, out, err); }},
    {"counters edit unknown counter",
     [](FakePlatform& p, std::ostream& out, std::ostream& err) {
       return runCountersCommandLine(p, {"edit", kTyped, "--no-end"}, out, err);
     }},
    {"counters add end date",
     [](FakePlatform& p, std::ostream& out, std::ostream& err) {
       return runCountersCommandLine(p, {"add", "Trip", "--ends", kTyped}, out, err);
     }},
};

class OneLineErrorTest : public ::testing::TestWithParam<Refusal> {};

TEST_P(OneLineErrorTest, RepeatsTheValueOnOneLine) {
  FakePlatform platform;
  std::ostringstream out;
  std::ostringstream err;
  EXPECT_EQ(GetParam().run(platform, out, err), 2);
  const std::string message = err.str();
  EXPECT_EQ(std::count(message.begin(), message.end(), '\n'), 1) << message;
  EXPECT_NE(message.find(kShown), std::string::npos) << message;
}

INSTANTIATE_TEST_SUITE_P(EveryValueRepeated, OneLineErrorTest, ::testing::ValuesIn(kRefusals),
                         testing::NameField());

}  // namespace
}  // namespace kestrio::cli
