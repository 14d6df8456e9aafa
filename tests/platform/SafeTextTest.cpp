// Hostile texts (escape sequences, controls, malformed UTF-8) on their way into property lists
// and onto terminals.
#include <gtest/gtest.h>

#include <string>

#include "platform/PropertyList.h"
#include "platform/SafeText.h"

namespace kestrio {
namespace {

#define R "\xEF\xBF\xBD"  // U+FFFD

struct HostileText {
  const char* name;
  std::string input;
  std::string utf8;      // validUtf8
  std::string xml;       // forXml
  std::string terminal;  // forTerminal
};

void PrintTo(const HostileText& c, std::ostream* os) {
  *os << c.name;
}

class SafeTextTest : public ::testing::TestWithParam<HostileText> {};

TEST_P(SafeTextTest, EachDestinationGetsWhatItCanTake) {
  const HostileText& c = GetParam();
  EXPECT_EQ(text::validUtf8(c.input), c.utf8);
  EXPECT_EQ(text::forXml(c.input), c.xml);
  EXPECT_EQ(text::forTerminal(c.input), c.terminal);
}

// An XML list keeps what XML can carry; a binary list keeps every control (its strings are
// counted, not parsed) but never writes malformed UTF-8.
TEST_P(SafeTextTest, PropertyListsReadBackAsWritten) {
  const HostileText& c = GetParam();
  const PlistValue written(PlistValue::Dictionary{{c.input, PlistValue(c.input)}});

  auto xml = plist::parse(plist::toXml(written));
  ASSERT_TRUE(xml) << "a reader refuses the XML written for " << c.name;
  EXPECT_EQ(*xml, PlistValue(PlistValue::Dictionary{{c.xml, PlistValue(c.xml)}}));

  auto binary = plist::parse(plist::toBinary(written));
  ASSERT_TRUE(binary) << "a reader refuses the binary list written for " << c.name;
  EXPECT_EQ(*binary, PlistValue(PlistValue::Dictionary{{c.utf8, PlistValue(c.utf8)}}));
}

INSTANTIATE_TEST_SUITE_P(
    Hostile, SafeTextTest,
    ::testing::Values(
        HostileText{"Plain", "Trip to K\xC3\xB6ln \xF0\x9F\x99\x82",
                    "Trip to K\xC3\xB6ln \xF0\x9F\x99\x82", "Trip to K\xC3\xB6ln \xF0\x9F\x99\x82",
                    "Trip to K\xC3\xB6ln \xF0\x9F\x99\x82"},
        HostileText{"TitleEscape", "a\x1b]0;owned\x07z", "a\x1b]0;owned\x07z",
                    "a" R "]0;owned" R "z", "a" R "]0;owned" R "z"},
        HostileText{"EightBitCsi",
                    "\xC2\x9B"
                    "31m",
                    "\xC2\x9B"
                    "31m",
                    "\xC2\x9B"
                    "31m",
                    R "31m"},
        HostileText{"Delete", "a\x7F", "a\x7F", "a\x7F", "a" R},
        HostileText{"TabAndLineFeed", "a\tb\nc", "a\tb\nc", "a\tb\nc", "a\tb\nc"},
        HostileText{"CarriageReturn", "100 MB\rowned", "100 MB\rowned", "100 MB\rowned",
                    "100 MB" R "owned"},
        HostileText{"StrayByte",
                    "a\xFF"
                    "b",
                    "a" R "b", "a" R "b", "a" R "b"},
        HostileText{"Overlong", "\xC0\xAF", R R, R R, R R},
        HostileText{"Surrogate", "\xED\xA0\x80", R R R, R R R, R R R},
        HostileText{"CutShort", "ab\xE2\x82", "ab" R R, "ab" R R, "ab" R R},
        HostileText{"BeyondUnicode", "\xF4\x90\x80\x80", R R R R, R R R R, R R R R},
        HostileText{"NonCharacter", "x\xEF\xBF\xBF", "x\xEF\xBF\xBF", "x" R, "x\xEF\xBF\xBF"}),
    [](const auto& test) { return std::string(test.param.name); });

struct Piece {
  const char* name;
  std::string text;
  std::size_t complete;
};

void PrintTo(const Piece& c, std::ostream* os) {
  *os << c.name;
}

class CompletePrefixTest : public ::testing::TestWithParam<Piece> {};

TEST_P(CompletePrefixTest, HoldsBackOnlyAnUnfinishedCharacter) {
  EXPECT_EQ(text::completePrefix(GetParam().text), GetParam().complete);
}

INSTANTIATE_TEST_SUITE_P(Pieces, CompletePrefixTest,
                         ::testing::Values(Piece{"Empty", "", 0}, Piece{"Ascii", "abc", 3},
                                           Piece{"ThreeBytesWhole", "a\xE2\x82\xAC", 4},
                                           Piece{"ThreeBytesLackOne", "a\xE2\x82", 1},
                                           Piece{"ThreeBytesLackTwo", "a\xE2", 1},
                                           Piece{"FourBytesLackOne", "a\xF0\x9F\x99", 1},
                                           Piece{"FourBytesWhole", "a\xF0\x9F\x99\x82", 5},
                                           Piece{"StrayContinuation", "a\x82", 2},
                                           Piece{"TwoBytesLackOne", "a\xC3", 1}),
                         [](const auto& test) { return std::string(test.param.name); });

}  // namespace
}  // namespace kestrio
