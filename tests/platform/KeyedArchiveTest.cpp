#include <gtest/gtest.h>

#include <cstdint>
#include <ostream>
#include <random>
#include <string>
#include <vector>

#include "platform/BinaryPlistWriter.h"
#include "platform/KeyedArchive.h"
#include "platform/PropertyList.h"

namespace kestrio {
namespace {

using Array = PlistValue::Array;
using Dictionary = PlistValue::Dictionary;
using Uid = PlistValue::Uid;

// ---------------------------------------------------------------------------------------------
// The binary writer, read back by the general reader.

std::optional<PlistValue> roundTrip(const PlistValue& value) {
  return plist::parse(writeBinaryPlist(value));
}

// The trailer's offset size and reference size.
std::pair<int, int> trailerSizes(const std::string& bytes) {
  return {static_cast<unsigned char>(bytes[bytes.size() - 26]),
          static_cast<unsigned char>(bytes[bytes.size() - 25])};
}

TEST(BinaryPlistWriter, StringsOfEveryKindComeBackExactly) {
  for (const std::string& s : std::vector<std::string>{
           "", "plain ascii", std::string(14, 'a'), std::string(15, 'b'), std::string(70000, 'c'),
           std::string("Grüße, 漢字"), std::string("é"),
           std::string("🙂 emoji outside the basic plane 𝄞"),
           std::string("mixed ü") + std::string(40, 'x') + "🙂"}) {
    auto parsed = roundTrip(Dictionary{{s, s}, {"k", Array{s, s}}});
    ASSERT_TRUE(parsed) << s;
    EXPECT_EQ(*parsed, PlistValue(Dictionary{{s, s}, {"k", Array{s, s}}})) << s;
  }
}

TEST(BinaryPlistWriter, MalformedUtf8BecomesReplacementCharacters) {
  // A stray continuation byte, an overlong '/', an encoded surrogate and a cut-short sequence.
  auto parsed =
      roundTrip(std::string("a\x80"
                            "b\xC0\xAF"
                            "c\xED\xA0\x80"
                            "d\xE2\x82",
                            12));
  ASSERT_TRUE(parsed && parsed->is<std::string>());
  EXPECT_EQ(*parsed->get<std::string>(),
            "a\uFFFD"
            "b\uFFFD\uFFFD"
            "c\uFFFD\uFFFD\uFFFD"
            "d\uFFFD\uFFFD");
}

TEST(BinaryPlistWriter, LargeContainersAndCounts) {
  // Counts of 15 and more take an integer after the marker; beyond 65,535 objects references
  // need three bytes, and the offsets grow with the file.
  for (size_t n : {14u, 15u, 255u, 256u, 70000u}) {
    Array items;
    Dictionary dict;
    for (size_t i = 0; i < n; ++i) {
      items.emplace_back(static_cast<std::int64_t>(i) * 1000003);
      if (i < 300) dict.emplace("key" + std::to_string(i), Uid{i});
    }
    PlistValue value =
        Dictionary{{"items", items}, {"dict", dict}, {"data", PlistValue::Data(n, 0xAB)}};
    std::string bytes = writeBinaryPlist(value);
    auto parsed = plist::parse(bytes);
    ASSERT_TRUE(parsed) << n;
    EXPECT_TRUE(*parsed == value) << n;
    if (n == 70000) {
      EXPECT_EQ(trailerSizes(bytes), std::make_pair(3, 3));
    }
  }
}

TEST(BinaryPlistWriter, EqualStringsAreStoredOnce) {
  Array records;
  for (int i = 0; i < 1000; ++i) records.emplace_back(Dictionary{{"a fairly long key name", i}});
  std::string shared = writeBinaryPlist(records);
  auto parsed = plist::parse(shared);
  ASSERT_TRUE(parsed);
  EXPECT_EQ(*parsed, PlistValue(records));
  EXPECT_LT(shared.size(), 1000u * 20);  // the key's 22 characters are not repeated
}

// ---------------------------------------------------------------------------------------------
// The archive layout and its reading.

std::vector<keyed::Object> sampleObjects() {
  return {
      {{"name", std::string("Home 🙂")},
       {"start", Date::fromSecondsSince1970(1767605445.5)},
       {"total", 1.5e9},
       {"type", std::int64_t{2}},
       {"paused", true},
       {"end", std::monostate{}}},
      {{"name", std::string("Home 🙂")}, {"total", 0.0}, {"type", std::int64_t{-7}}},
      {},
  };
}

class KeyedArchiveLayout : public testing::Test {
 protected:
  void SetUp() override {
    bytes = keyed::encodeList("things", "Thing", sampleObjects());
    auto parsed = plist::parse(bytes);
    ASSERT_TRUE(parsed && parsed->is<Dictionary>());
    root = *parsed->get<Dictionary>();
    ASSERT_TRUE(root["$objects"].is<Array>());
    objects = *root["$objects"].get<Array>();
  }
  const PlistValue& at(const PlistValue& ref) {
    EXPECT_TRUE(ref.is<Uid>());
    return objects.at(ref.is<Uid>() ? ref.get<Uid>()->value : 0);
  }
  const Dictionary& dict(const PlistValue& value) {
    static const Dictionary kEmpty;
    EXPECT_TRUE(value.is<Dictionary>());
    return value.is<Dictionary>() ? *value.get<Dictionary>() : kEmpty;
  }

  size_t top() { return dict(root["$top"]).at("things").get<Uid>()->value; }

  std::string bytes;
  Dictionary root;
  Array objects;
};

TEST_F(KeyedArchiveLayout, IsTheKeyedArchiverLayout) {
  EXPECT_EQ(root["$archiver"], PlistValue("NSKeyedArchiver"));
  EXPECT_EQ(root["$version"], PlistValue(100000));
  EXPECT_EQ(objects.at(0), PlistValue("$null"));
  const auto& top = dict(root["$top"]);
  ASSERT_EQ(top.size(), 1u);
  const auto& list = dict(at(top.at("things")));
  EXPECT_EQ(dict(at(list.at("$class"))),
            (Dictionary{{"$classname", "NSMutableArray"},
                        {"$classes", Array{"NSMutableArray", "NSArray", "NSObject"}}}));
  const Array& items = *list.at("NS.objects").get<Array>();
  ASSERT_EQ(items.size(), 3u);

  const auto& first = dict(at(items[0]));
  const auto& second = dict(at(items[1]));
  // One class description, shared by every object of the class.
  EXPECT_EQ(first.at("$class"), second.at("$class"));
  EXPECT_EQ(dict(at(first.at("$class"))),
            (Dictionary{{"$classname", "Thing"}, {"$classes", Array{"Thing", "NSObject"}}}));
  // Objects by reference, plain values inline, nothing as the null reference.
  EXPECT_EQ(at(first.at("name")), PlistValue("Home 🙂"));
  EXPECT_EQ(at(first.at("total")), PlistValue(1.5e9));
  EXPECT_EQ(first.at("type"), PlistValue(2));
  EXPECT_EQ(first.at("paused"), PlistValue(true));
  EXPECT_EQ(first.at("end"), PlistValue(Uid{0}));
  const auto& date = dict(at(first.at("start")));
  EXPECT_EQ(date.at("NS.time"), PlistValue(1767605445.5 - Date::kReferenceDateOffset));
  EXPECT_EQ(dict(at(date.at("$class"))),
            (Dictionary{{"$classname", "NSDate"}, {"$classes", Array{"NSDate", "NSObject"}}}));
}

TEST_F(KeyedArchiveLayout, ReadsBackWhatItWrote) {
  EXPECT_EQ(keyed::decodeList(bytes, "things"), sampleObjects());
  EXPECT_EQ(keyed::decodeList(keyed::encodeList("things", "Thing", {}), "things"),
            std::vector<keyed::Object>{});
  EXPECT_FALSE(keyed::decodeList(bytes, "other key"));
}

TEST_F(KeyedArchiveLayout, ReadsPlainValuesWhereOtherWritersStoreThem) {
  // A string inline instead of by reference, a mutable string object, an unknown object kind.
  objects.push_back(Dictionary{{"NS.string", "mutable"}});
  objects.push_back(Dictionary{{"NS.keys", Array{}}});
  Dictionary& list = *objects[top()].get<Dictionary>();
  Dictionary& first =
      *objects[list["NS.objects"].get<Array>()->at(0).get<Uid>()->value].get<Dictionary>();
  first["name"] = "inline";
  first["other"] = Uid{objects.size() - 2};
  first["unknown"] = Uid{objects.size() - 1};
  root["$objects"] = objects;
  auto decoded = keyed::decodeList(plist::toBinary(root), "things");
  ASSERT_TRUE(decoded);
  // An XML archive reads the same.
  EXPECT_EQ(keyed::decodeList(plist::toXml(root), "things"), decoded);
  EXPECT_EQ((*decoded)[0].at("name"), keyed::Field(std::string("inline")));
  EXPECT_EQ((*decoded)[0].at("other"), keyed::Field(std::string("mutable")));
  EXPECT_FALSE((*decoded)[0].contains("unknown"));
}

TEST_F(KeyedArchiveLayout, DamagedReferencesAndKeysAreRefused) {
  Dictionary& list = *objects[top()].get<Dictionary>();
  list["NS.objects"].get<Array>()->push_back(Uid{objects.size() + 5});
  root["$objects"] = objects;
  EXPECT_FALSE(keyed::decodeList(plist::toBinary(root), "things"));

  // A key damaged into holding U+0000: no writer could store it back as it is (both cut strings
  // there), so the general reader refuses the list; the archive decoder keeps the record.
  std::string withKey = keyed::encodeList("things", "Thing", {{{"ü!", true}}});
  const std::string units("\0\xFC\0!", 4);
  size_t at = withKey.find(units);
  ASSERT_NE(at, std::string::npos);
  ASSERT_TRUE(keyed::decodeList(withKey, "things"));
  withKey[at + 3] = '\0';
  EXPECT_FALSE(plist::parse(withKey));
  auto decoded = keyed::decodeList(withKey, "things");
  ASSERT_TRUE(decoded);
  EXPECT_EQ(decoded->at(0).begin()->first, std::string("\xC3\xBC\0", 3));
}

// ---------------------------------------------------------------------------------------------
// Appending without decoding: the result reads as the old list plus the new object, through the
// archive decoder and through the general reader, or the append declines and the caller takes the
// whole way.

keyed::Object record(int i) {
  return {{"start", Date::fromSecondsSince1970(1.7e9 + 86400.0 * i)},
          {"total", 1e6 * i + 0.25},
          {"id", std::string("id-") + std::to_string(i)},
          {"kind", std::int64_t{i % 3 - 1}},
          {"paused", i % 2 == 0},
          {"end", std::monostate{}}};
}

std::vector<keyed::Object> records(int count) {
  std::vector<keyed::Object> out;
  for (int i = 0; i < count; ++i) out.push_back(record(i));
  return out;
}

struct AppendCase {
  const char* name;
  std::vector<keyed::Object> before;
  keyed::Object added;
  bool quick;   // whether the append can be made on the bytes
  int refSize;  // of the archive before the append; 0: not checked
};

void PrintTo(const AppendCase& c, std::ostream* os) {
  *os << c.name;
}

class AppendToList : public testing::TestWithParam<AppendCase> {};

TEST_P(AppendToList, ReadsAsTheOldListAndTheNewObject) {
  const AppendCase& c = GetParam();
  const std::string bytes = keyed::encodeList("things", "Thing", c.before);
  if (c.refSize != 0) {
    ASSERT_EQ(trailerSizes(bytes).second, c.refSize);
  }
  std::string appended = bytes;
  const bool quick = keyed::appendToList(appended, "things", c.added);
  ASSERT_EQ(quick, c.quick);
  if (!quick) {
    EXPECT_EQ(appended, bytes);
    return;
  }
  std::vector<keyed::Object> expected = c.before;
  expected.push_back(c.added);
  EXPECT_EQ(keyed::decodeList(appended, "things"), expected);
  // The general reader reads it too, with the new item at the end of the list.
  auto general = plist::parse(appended);
  ASSERT_TRUE(general && general->is<Dictionary>());
  Dictionary root = *general->get<Dictionary>();
  const Array& objects = *root.at("$objects").get<Array>();
  const Dictionary& list =
      *objects.at(root["$top"].get<Dictionary>()->at("things").get<Uid>()->value).get<Dictionary>();
  EXPECT_EQ(list.at("NS.objects").get<Array>()->size(), expected.size());
  // Appending again goes on from what the first append wrote.
  ASSERT_TRUE(keyed::appendToList(appended, "things", record(7)));
  expected.push_back(record(7));
  EXPECT_EQ(keyed::decodeList(appended, "things"), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, AppendToList,
    testing::Values(
        AppendCase{"OneRecord", records(1), record(1), true, 1},
        AppendCase{"ManyRecords", records(6500), record(5), true, 3},
        AppendCase{"EmptyList", {}, record(0), false, 0},
        AppendCase{"AKeyTheLastObjectLacks", records(3), {{"other", 1.0}}, false, 0},
        AppendCase{"ANonAsciiString", records(3), {{"id", std::string("Zoë")}}, false, 0},
        AppendCase{"AControlCharacter", records(3), {{"id", std::string("a\tb")}}, false, 0},
        AppendCase{"ADateWithoutADateBefore",
                   {{{"start", std::monostate{}}}},
                   {{"start", Date::fromSecondsSince1970(0)}},
                   false,
                   0}),
    [](const testing::TestParamInfo<AppendCase>& param) { return param.param.name; });

// Where the archive reaches 256 objects the references need a second byte: that append declines,
// and every other one reads back right.
TEST(AppendToListGrowth, DeclinesOnlyWhereReferencesWouldGrow) {
  int declined = 0;
  for (int count = 60; count < 100; ++count) {
    std::vector<keyed::Object> before(count, keyed::Object{{"n", true}});
    std::string archive = keyed::encodeList("things", "Thing", before);
    if (!keyed::appendToList(archive, "things", keyed::Object{{"n", false}})) {
      ++declined;
      continue;
    }
    before.push_back(keyed::Object{{"n", false}});
    EXPECT_EQ(keyed::decodeList(archive, "things"), before) << count;
  }
  EXPECT_EQ(declined, 1);
}

// Whatever the damage, an append never makes an archive out of one the reader refuses, and one it
// declines leaves the bytes as they were.
TEST(AppendToListDamage, AppendsOnlyToWhatDecodes) {
  const std::string bytes = keyed::encodeList("things", "Thing", records(20));
  for (size_t length = 0; length < bytes.size(); ++length) {
    std::string cut = bytes.substr(0, length);
    EXPECT_FALSE(keyed::appendToList(cut, "things", record(1))) << length;
    EXPECT_EQ(cut, bytes.substr(0, length));
  }
  std::mt19937 random(20261207);
  for (int round = 0; round < 1500; ++round) {
    std::string damaged = bytes;
    damaged[random() % damaged.size()] = static_cast<char>(random() & 0xFF);
    std::string appended = damaged;
    if (!keyed::appendToList(appended, "things", record(1))) {
      EXPECT_EQ(appended, damaged) << round;
      continue;
    }
    auto before = keyed::decodeList(damaged, "things");
    ASSERT_TRUE(before) << round;
    before->push_back(record(1));
    auto after = keyed::decodeList(appended, "things");
    ASSERT_TRUE(after) << round;
    // Compared as encoded: damage can make a NaN, which equals nothing.
    EXPECT_EQ(keyed::encodeList("things", "Thing", *after),
              keyed::encodeList("things", "Thing", *before))
        << round;
  }
}

// Every cut and random damage either decodes or is refused; neither may crash or hang.
TEST_F(KeyedArchiveLayout, TruncationsAndCorruptionsAreSafe) {
  for (size_t length = 0; length < bytes.size(); ++length) {
    EXPECT_FALSE(keyed::decodeList(std::string_view(bytes).substr(0, length), "things")) << length;
  }
  constexpr int kRounds = 20000;
  std::mt19937 random(20260101);
  int decoded = 0;
  for (int round = 0; round < kRounds; ++round) {
    std::string damaged = bytes;
    int flips = 1 + static_cast<int>(random() % 4);
    for (int i = 0; i < flips; ++i) {
      damaged[random() % damaged.size()] = static_cast<char>(random() & 0xFF);
    }
    if (keyed::decodeList(damaged, "things")) ++decoded;
  }
  EXPECT_LT(decoded, kRounds);
}

}  // namespace
}  // namespace kestrio
