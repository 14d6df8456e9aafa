// What the command line prints: JSON that is always valid UTF-8 with every control escaped, and
// terminal text without escape sequences.
#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "cli/Json.h"
#include "cli/TerminalText.h"
#include "platform/SafeText.h"

namespace kestrio::cli {
namespace {

struct Quoted {
  const char* name;
  std::string input;
  std::string json;
};

void PrintTo(const Quoted& c, std::ostream* os) {
  *os << c.name;
}

class JsonQuoteTest : public ::testing::TestWithParam<Quoted> {};

TEST_P(JsonQuoteTest, IsValidUtf8WithoutRawControls) {
  const std::string quoted = json::quote(GetParam().input);
  EXPECT_EQ(quoted, GetParam().json);
  EXPECT_EQ(text::forTerminal(quoted), quoted) << "a terminal would see a raw control";
}

INSTANTIATE_TEST_SUITE_P(
    Hostile, JsonQuoteTest,
    ::testing::Values(Quoted{"Plain", "K\xC3\xB6ln \"A\\B\"", "\"K\xC3\xB6ln \\\"A\\\\B\\\"\""},
                      Quoted{"Escape", "a\x1b[2Jz", "\"a\\u001b[2Jz\""},
                      Quoted{"EightBitCsi",
                             "\xC2\x9B"
                             "31m",
                             "\"\\u009b31m\""},
                      Quoted{"Delete", "\x7F", "\"\\u007f\""},
                      Quoted{"LineBreaks", "a\r\n\tb", "\"a\\r\\n\\tb\""},
                      Quoted{"NoBreakSpaceStays",
                             "a\xC2\xA0"
                             "b",
                             "\"a\xC2\xA0"
                             "b\""},
                      Quoted{"Malformed", "a\xFF\xC0\xAF",
                             "\"a\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\""},
                      Quoted{"CutShort", "\xE2\x82", "\"\xEF\xBF\xBD\xEF\xBF\xBD\""}),
    [](const auto& test) { return std::string(test.param.name); });

TEST(TerminalTextBuffer, ReplacesControlsButKeepsCharactersSplitBetweenWrites) {
  std::ostringstream target;
  {
    std::ostream out(target.rdbuf());
    TerminalTextBuffer safe(target.rdbuf());
    out.rdbuf(&safe);
    out << "name: \x1b]0;owned\x07"
        << "\n";
    // A euro sign cut in two by separate writes and a flush in between.
    out << "5 \xE2\x82" << std::flush;
    out << "\xAC"
        << "\tok\n";
    out << "stray \xFF\n";
    out << "last \xE2";  // unfinished at the end: still shown, as a replacement
    out.flush();
    out.rdbuf(target.rdbuf());
  }
  EXPECT_EQ(target.str(),
            "name: \xEF\xBF\xBD]0;owned\xEF\xBF\xBD\n"
            "5 \xE2\x82\xAC\tok\n"
            "stray \xEF\xBF\xBD\n"
            "last \xEF\xBF\xBD");
}

}  // namespace
}  // namespace kestrio::cli
