#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <ostream>
#include <string>
#include <vector>

#include "platform/PropertyList.h"

namespace kestrio {
namespace {

using Array = PlistValue::Array;
using Dictionary = PlistValue::Dictionary;
using Data = PlistValue::Data;
using Uid = PlistValue::Uid;

enum class Format { Xml, Binary };

std::string serialise(const PlistValue& value, Format format) {
  return format == Format::Xml ? plist::toXml(value) : plist::toBinary(value);
}

PlistValue nested(int depth, PlistValue leaf) {
  PlistValue value = std::move(leaf);
  for (int i = 0; i < depth; ++i) value = PlistValue(Array{std::move(value)});
  return value;
}

std::string nestedXml(int depth, std::string_view open, std::string_view close) {
  std::string xml = "<plist version=\"1.0\">";
  for (int i = 0; i < depth; ++i) xml += open;
  for (int i = 0; i < depth; ++i) xml += close;
  return xml + "</plist>";
}

// `v` in `width` bytes, most significant first.
std::string be(std::uint64_t v, int width) {
  std::string out;
  for (int i = width - 1; i >= 0; --i) out += static_cast<char>((v >> (8 * i)) & 0xFF);
  return out;
}

// A binary list of the given objects (each already encoded), with 4-byte offsets and references.
std::string binaryList(const std::vector<std::string>& objects, std::uint32_t top = 0) {
  std::string out = "bplist00";
  std::vector<std::uint64_t> offsets;
  for (const auto& object : objects) {
    offsets.push_back(out.size());
    out += object;
  }
  std::uint64_t table = out.size();
  for (auto offset : offsets) out += be(offset, 4);
  out += std::string(6, '\0') + be(4, 1) + be(4, 1) + be(objects.size(), 8) + be(top, 8) +
         be(table, 8);
  return out;
}

// An array object holding references to the given objects.
std::string arrayObject(const std::vector<std::uint32_t>& refs) {
  std::string out(1, static_cast<char>(0xA0 | std::min<size_t>(refs.size(), 15)));
  if (refs.size() >= 15) out += "\x12" + be(refs.size(), 4);
  for (auto ref : refs) out += be(ref, 4);
  return out;
}

const std::string kIntFive("\x10\x05", 2);

PlistValue sample() {
  Data bytes;
  for (int i = 0; i < 256; ++i) bytes.push_back(static_cast<std::uint8_t>(i));
  return Dictionary{
      {"counters", Array{std::int64_t{0}, std::int64_t{-1}, std::int64_t{1} << 40, 0.25}},
      {"enabled", true},
      {"name", "Wi-Fi <home> & €"},
      {"start", Date::fromSecondsSinceReferenceDate(789000000)},
      {"blob", bytes},
      {"nested", Dictionary{{"empty", Array{}}, {"none", Dictionary{}}, {"ref", Uid{3}}}},
  };
}

// ----------------------------------------------------------------------------------------------

struct RoundTripCase {
  const char* name;
  PlistValue value;
};

class PropertyListRoundTrip : public testing::TestWithParam<Format> {};

TEST_P(PropertyListRoundTrip, EveryTypeComesBackExactly) {
  const std::vector<RoundTripCase> cases = {
      {"true", true},
      {"false", false},
      {"zero", 0},
      {"minus one", -1},
      {"one byte edge", 255},
      {"two byte edge", 65536},
      {"above 32 bits", std::int64_t{1} << 32},
      {"int64 min", std::numeric_limits<std::int64_t>::min()},
      {"int64 max", std::numeric_limits<std::int64_t>::max()},
      {"tenth", 0.1},
      {"1e15 + 1", 1e15 + 1},
      {"tiny", 1e-300},
      {"huge negative", -1.7976931348623157e308},
      {"integral real", 5.0},
      {"infinity", std::numeric_limits<double>::infinity()},
      {"empty string", ""},
      {"markup", "a<b & c>d \"q\" 'a' ]]>"},
      {"utf8", "Grüße € 漢字 🙂"},
      {"whitespace", "  two\n\tlines  "},
      {"whole-second date", Date::fromSecondsSince1970(1767605445)},
      {"date before 2001", Date::fromSecondsSinceReferenceDate(-86400 * 400 - 1)},
      {"empty data", Data{}},
      {"empty array", Array{}},
      {"empty dictionary", Dictionary{}},
      {"uid", Uid{7}},
      {"32-bit uid", Uid{0xFFFFFFFF}},
      {"empty key", Dictionary{{"", 1}, {"b", "x"}}},
      {"sample", sample()},
      {"deep but allowed", nested(254, Dictionary{{"k", Array{}}})},
  };
  for (const auto& c : cases) {
    std::string bytes = serialise(c.value, GetParam());
    auto parsed = plist::parse(bytes);
    ASSERT_TRUE(parsed) << c.name;
    EXPECT_TRUE(*parsed == c.value) << c.name << "\n" << plist::toXml(*parsed);
  }
}

TEST_P(PropertyListRoundTrip, NanStaysNan) {
  auto parsed = plist::parse(serialise(std::numeric_limits<double>::quiet_NaN(), GetParam()));
  ASSERT_TRUE(parsed && parsed->is<double>());
  EXPECT_TRUE(std::isnan(*parsed->get<double>()));
}

// Both forms keep 32-bit seconds since 2001: dates beyond them are written at the nearest end.
TEST_P(PropertyListRoundTrip, DatesOutsideThe32BitRangeAreClamped) {
  constexpr double kMax = std::numeric_limits<std::int32_t>::max();
  constexpr double kMin = std::numeric_limits<std::int32_t>::min();
  auto roundTrip = [&](double referenceSeconds) {
    auto parsed =
        plist::parse(serialise(Date::fromSecondsSinceReferenceDate(referenceSeconds), GetParam()));
    EXPECT_TRUE(parsed && parsed->is<Date>());
    return parsed && parsed->is<Date>() ? parsed->get<Date>()->secondsSinceReferenceDate() : -1.0;
  };
  EXPECT_EQ(roundTrip(kMax), kMax);
  EXPECT_EQ(roundTrip(kMin), kMin);
  EXPECT_EQ(roundTrip(kMax + 1), kMax);
  EXPECT_EQ(roundTrip(1e12), kMax);
  EXPECT_EQ(roundTrip(kMin - 1), kMin);
  EXPECT_EQ(roundTrip(-1e12), kMin);
  EXPECT_EQ(roundTrip(std::numeric_limits<double>::infinity()), kMax);
  EXPECT_EQ(roundTrip(std::numeric_limits<double>::quiet_NaN()), 0.0);
}

TEST_P(PropertyListRoundTrip, OutputIsRecognisedByItsOwnForm) {
  std::string bytes = serialise(sample(), GetParam());
  EXPECT_EQ(bytes.starts_with("bplist00"), GetParam() == Format::Binary);
}

INSTANTIATE_TEST_SUITE_P(Forms, PropertyListRoundTrip, testing::Values(Format::Xml, Format::Binary),
                         [](const testing::TestParamInfo<Format>& param) {
                           return param.param == Format::Xml ? "Xml" : "Binary";
                         });

TEST(PropertyListDates, BinaryKeepsMicrosecondsEitherSideOfTheReferenceDate) {
  for (double seconds : {789000000.123456, 0.75, -0.25, -0.999999, -1.5, -86400.000001, 1e-6}) {
    auto parsed = plist::parse(plist::toBinary(Date::fromSecondsSinceReferenceDate(seconds)));
    ASSERT_TRUE(parsed && parsed->is<Date>()) << seconds;
    EXPECT_NEAR(parsed->get<Date>()->secondsSinceReferenceDate(), seconds, 1.5e-6) << seconds;
  }
}

TEST(PropertyListDates, XmlKeepsTheSecondTheInstantFallsIn) {
  for (auto [seconds, expected] : {std::pair{1.75, 1.0}, {-0.25, -1.0}, {-1.5, -2.0}}) {
    auto parsed = plist::parse(plist::toXml(Date::fromSecondsSinceReferenceDate(seconds)));
    ASSERT_TRUE(parsed && parsed->is<Date>()) << seconds;
    EXPECT_EQ(parsed->get<Date>()->secondsSinceReferenceDate(), expected) << seconds;
  }
}

TEST(PropertyListXml, DictionaryKeysAreWrittenSorted) {
  std::string xml = plist::toXml(Dictionary{{"zeta", 1}, {"alpha", 2}, {"mid", 3}});
  auto alpha = xml.find("<key>alpha</key>");
  auto mid = xml.find("<key>mid</key>");
  auto zeta = xml.find("<key>zeta</key>");
  ASSERT_NE(zeta, std::string::npos);
  EXPECT_LT(alpha, mid);
  EXPECT_LT(mid, zeta);
}

TEST(PropertyListXml, ReadsIntegersOfOtherWriters) {
  auto wrap = [](const std::string& body) {
    return plist::parse("<?xml version=\"1.0\" encoding=\"UTF-8\"?><plist version=\"1.0\">" + body +
                        "</plist>");
  };
  EXPECT_EQ(wrap("<integer>-5</integer>"), PlistValue(-5));
  EXPECT_EQ(wrap("<integer>9223372036854775807</integer>"),
            PlistValue(std::numeric_limits<std::int64_t>::max()));
  // Above INT64_MAX: the magnitude survives as a real rather than turning negative.
  EXPECT_EQ(wrap("<integer>18446744073709551615</integer>"), PlistValue(18446744073709551615.0));
  EXPECT_EQ(wrap("<dict><key>CF$UID</key><integer>4</integer></dict>"), PlistValue(Uid{4}));
  EXPECT_EQ(wrap("<dict><key>CF$UID</key><string>4</string></dict>"),
            PlistValue(Dictionary{{"CF$UID", "4"}}));
}

// A binary UID is written in at most 32 bits, as libplist wrote it (a wider one came back as 0, a
// reference to "$null"); no archive has that many objects, so a wider one is written as the 32-bit
// maximum.
TEST(PropertyListBinary, UidsWiderThan32BitsPointNowhere) {
  PlistValue wide = Uid{std::uint64_t{1} << 33};
  EXPECT_EQ(plist::parse(plist::toBinary(wide)), PlistValue(Uid{0xFFFFFFFF}));
  EXPECT_EQ(plist::parse(plist::toXml(wide)), wide);
}

TEST(PropertyListBinary, CfUidDictionaryStaysADictionary) {
  PlistValue value = Dictionary{{"CF$UID", 4}};
  EXPECT_EQ(plist::parse(plist::toBinary(value)), value);
}

// ----------------------------------------------------------------------------------------------

class PropertyListBadInput : public testing::Test {};

TEST_F(PropertyListBadInput, EveryTruncationOfXmlIsSafe) {
  std::string xml = plist::toXml(sample());
  size_t rootClose = xml.rfind("</dict>");
  ASSERT_NE(rootClose, std::string::npos);
  for (size_t length = 0; length < xml.size(); ++length) {
    auto parsed = plist::parse(std::string_view(xml).substr(0, length));
    // Cut inside the document, a list never reads back as the whole value.
    if (length < rootClose && parsed) {
      EXPECT_NE(*parsed, sample()) << length;
    }
  }
  EXPECT_EQ(plist::parse(xml), sample());
}

TEST_F(PropertyListBadInput, EveryTruncationOfBinaryIsRefused) {
  std::string binary = plist::toBinary(sample());
  for (size_t length = 0; length < binary.size(); ++length) {
    EXPECT_FALSE(plist::parse(std::string_view(binary).substr(0, length))) << length;
  }
  EXPECT_EQ(plist::parse(binary), sample());
}

TEST_F(PropertyListBadInput, EveryCorruptedByteIsSafe) {
  for (std::string original : {plist::toBinary(sample()), plist::toXml(sample())}) {
    int refused = 0;
    for (size_t i = 0; i < original.size(); ++i) {
      for (unsigned char flip : {0x01, 0x80, 0xFF}) {
        std::string corrupt = original;
        corrupt[i] = static_cast<char>(corrupt[i] ^ flip);
        if (!plist::parse(corrupt)) ++refused;
      }
    }
    EXPECT_GT(refused, 0);
  }
}

TEST_F(PropertyListBadInput, EmptyAndGarbageAreRefused) {
  EXPECT_FALSE(plist::parse(""));
  EXPECT_FALSE(plist::parse("hello, world"));
  EXPECT_FALSE(plist::parse("bplist00"));
  EXPECT_FALSE(plist::parse(std::string("bplist00") + std::string(40, '\xFF')));
  EXPECT_FALSE(plist::parse("<html><body>Not found</body></html>"));
  EXPECT_FALSE(plist::parse("<plist version=\"1.0\"><foo/></plist>"));
  EXPECT_FALSE(plist::parse(std::string(1000, '\0')));
  std::string noise;
  for (unsigned i = 0; i < 4096; ++i) noise += static_cast<char>((i * 2654435761u) >> 13);
  EXPECT_FALSE(plist::parse(noise));
}

TEST_F(PropertyListBadInput, XmlNestedDeeperThan256IsRefused) {
  EXPECT_TRUE(plist::parse(nestedXml(256, "<array>", "</array>")));
  EXPECT_FALSE(plist::parse(nestedXml(257, "<array>", "</array>")));
  EXPECT_FALSE(plist::parse(nestedXml(257, "<dict><key>k</key>", "</dict>")));
  // Deep enough to overflow libplist's own recursion if it were handed over.
  EXPECT_FALSE(plist::parse(nestedXml(300000, "<array>", "</array>")));
  EXPECT_FALSE(plist::parse(nestedXml(300000, "<dict><key>k</key>", "</dict>")));
  // Closing tags hidden in comments or CDATA do not lower the count.
  EXPECT_FALSE(plist::parse(nestedXml(300, "<array><!-- </array> -->", "</array>")));
  EXPECT_FALSE(plist::parse(nestedXml(300, "<array ><![CDATA[</array>]]>", "</array>")));
  // Empty elements open nothing: the innermost are the 256th level.
  EXPECT_TRUE(plist::parse(nestedXml(255, "<array><array/><dict/>", "</array>")));
}

TEST_F(PropertyListBadInput, BinaryNestedDeeperThan256IsRefused) {
  EXPECT_TRUE(plist::parse(plist::toBinary(nested(256, 1))));
  EXPECT_FALSE(plist::parse(plist::toBinary(nested(257, 1))));

  // Far deeper than a reader that recursed would survive.
  std::vector<std::string> chain;
  constexpr std::uint32_t kDepth = 100000;
  for (std::uint32_t i = 0; i < kDepth; ++i) chain.push_back(arrayObject({i + 1}));
  chain.push_back(kIntFive);
  EXPECT_FALSE(plist::parse(binaryList(chain)));
}

TEST_F(PropertyListBadInput, BinaryCyclesAndExplodingSharingAreRefused) {
  EXPECT_FALSE(plist::parse(binaryList({arrayObject({0})})));
  EXPECT_FALSE(plist::parse(binaryList({arrayObject({1}), arrayObject({2}), arrayObject({0})})));
  EXPECT_FALSE(plist::parse(binaryList({arrayObject({7}), kIntFive})));  // dangling reference

  // Each level refers twice to the next: 2^40 nodes once expanded.
  std::vector<std::string> doubling;
  for (std::uint32_t i = 0; i < 40; ++i) doubling.push_back(arrayObject({i + 1, i + 1}));
  doubling.push_back(kIntFive);
  EXPECT_FALSE(plist::parse(binaryList(doubling)));

  // Modest sharing, as writers that unique equal objects produce, is fine.
  auto shared = plist::parse(binaryList({arrayObject({1, 1, 1}), kIntFive}));
  ASSERT_TRUE(shared);
  EXPECT_EQ(*shared, PlistValue(Array{5, 5, 5}));
}

// ----------------------------------------------------------------------------------------------
// Binary lists made to mislead the reader: each declares more than it holds, loops, nests or
// expands beyond what it may, and is refused without reading or allocating beyond the file; the
// controls beside them read.

struct HostileCase {
  const char* name;
  std::string bytes;
  std::optional<PlistValue> expected;  // nothing: refused
};

void PrintTo(const HostileCase& c, std::ostream* os) {
  *os << c.name;
}

// Overwrites bytes of `list` at `at` (negative: from the end) with `v` in `width` bytes.
std::string patched(std::string list, long at, std::uint64_t v, int width) {
  const size_t pos = at < 0 ? list.size() - static_cast<size_t>(-at) : static_cast<size_t>(at);
  list.replace(pos, static_cast<size_t>(width), be(v, width));
  return list;
}

// Where the offset table of a binaryList of `count` objects starts.
size_t tableOf(const std::string& list, size_t count) {
  return list.size() - 32 - 4 * count;
}

std::string dictionaryChain(int depth) {
  std::vector<std::string> objects;
  const auto key = static_cast<std::uint32_t>(depth + 1);
  for (int i = 0; i < depth; ++i) {
    objects.push_back("\xD1" + be(key, 4) + be(static_cast<std::uint32_t>(i + 1), 4));
  }
  objects.push_back(kIntFive);
  objects.push_back("\x51k");
  return binaryList(objects);
}

PlistValue nestedDictionaries(int depth) {
  PlistValue value = 5;
  for (int i = 0; i < depth; ++i) value = Dictionary{{"k", std::move(value)}};
  return value;
}

std::vector<HostileCase> hostileCases() {
  const std::string two = binaryList({arrayObject({1}), kIntFive});
  const std::string bigString = "\x5F\x12" + be(100000, 4) + std::string(100000, 'x');
  return {
      {"PatchedListUntouched", two, PlistValue(Array{5})},
      {"TopBeyondCount", binaryList({arrayObject({1}), kIntFive}, 2), std::nullopt},
      {"ObjectCountBeyondFile", patched(two, -24, std::uint64_t{1} << 40, 8), std::nullopt},
      {"OffsetIntoOffsetTable", patched(two, tableOf(two, 2) + 4, tableOf(two, 2), 4),
       std::nullopt},
      {"OffsetIntoHeader", patched(two, tableOf(two, 2) + 4, 3, 4), std::nullopt},
      {"ArrayCountBeyondFile",
       binaryList({"\xAF\x13" + be(std::uint64_t{1} << 60, 8) + be(1, 4), kIntFive}), std::nullopt},
      {"StringLengthBeyondFile", binaryList({"\x5F\x12" + be(0xFFFFFFFF, 4) + "abc"}),
       std::nullopt},
      {"Utf16LengthOverflows",
       binaryList({"\x6F\x13" + be(std::uint64_t{1} << 63, 8) + std::string("\0a", 2)}),
       std::nullopt},
      {"DictionaryHoldsItself", binaryList({"\xD1" + be(1, 4) + be(0, 4), "\x51k"}), std::nullopt},
      {"DictionaryKeyNotAString", binaryList({"\xD1" + be(1, 4) + be(1, 4), kIntFive}),
       std::nullopt},
      {"Dictionaries257Deep", dictionaryChain(257), std::nullopt},
      {"Dictionaries256Deep", dictionaryChain(256), nestedDictionaries(256)},
      // 60,000 references to one string of 100,000 bytes: 6 GB once expanded.
      {"LargeStringSharedWithoutBound",
       binaryList({arrayObject(std::vector<std::uint32_t>(60000, 1)), bigString}), std::nullopt},
      {"LargeStringSharedModestly",
       binaryList({arrayObject(std::vector<std::uint32_t>(8, 1)), bigString}),
       PlistValue(Array(8, std::string(100000, 'x')))},
      {"Integer128AboveInt64", binaryList({"\x14" + be(0, 8) + be(~std::uint64_t{0}, 8)}),
       PlistValue(18446744073709551615.0)},
      {"Integer128Negative",
       binaryList({"\x14" + be(~std::uint64_t{0}, 8) + be(static_cast<std::uint64_t>(-5), 8)}),
       PlistValue(-5)},
  };
}

class PropertyListHostileBinary : public testing::TestWithParam<HostileCase> {};

TEST_P(PropertyListHostileBinary, IsRefusedOrReadsAsExpected) {
  const HostileCase& c = GetParam();
  EXPECT_EQ(plist::parse(c.bytes), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, PropertyListHostileBinary, testing::ValuesIn(hostileCases()),
                         [](const testing::TestParamInfo<HostileCase>& param) {
                           return std::string(param.param.name);
                         });

}  // namespace
}  // namespace kestrio
