#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/PropertyList.h"
#include "settings/SettingsReader.h"
#include "support/FakeFileSystem.h"

namespace kestrio::settings {
namespace {

using testing::FakeFileSystem;

const std::string kDir = "/app";

std::string schema(const std::string& marker) {
  return plist::toXml(PlistValue(PlistValue::Dictionary{
      {"PreferenceSpecifiers",
       PlistValue::Array{PlistValue::Dictionary{
           {"Type", "PSToggleSwitchSpecifier"}, {"Title", marker}, {"Key", "k"}}}}}));
}

struct LookupCase {
  const char* name;
  bool tablet;
  std::vector<const char*> present;  // relative to the resource directory
  const char* wins;
};

void PrintTo(const LookupCase& c, std::ostream* os) {
  *os << c.name;
}

class SchemaLookupTest : public ::testing::TestWithParam<LookupCase> {};

// The first existing of: bundle (InAppSettings, then Settings) × extension (.inApp.plist, then
// .plist) × suffix (the device's, then none).
TEST_P(SchemaLookupTest, TheFirstCandidateThatExistsWins) {
  const LookupCase& c = GetParam();
  FakeFileSystem files;
  for (const char* path : c.present) files.put(kDir + "/" + path, schema(path));
  const SettingsReader reader(files, kDir, c.tablet, "Root");
  EXPECT_EQ(reader.path(), c.wins[0] ? kDir + "/" + c.wins : "");
  if (c.wins[0]) {
    ASSERT_EQ(reader.numberOfSections(), 1);
    EXPECT_EQ(reader.specifierForIndexPath({0, 0})->title(), c.wins);
  } else {
    EXPECT_EQ(reader.numberOfSections(), 0);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Order, SchemaLookupTest,
    ::testing::Values(
        LookupCase{"TabletSuffixBeatsPlain",
                   true,
                   {"InAppSettings.bundle/Root.plist", "InAppSettings.bundle/Root~ipad.plist"},
                   "InAppSettings.bundle/Root~ipad.plist"},
        LookupCase{
            "InAppExtensionBeatsSuffix",
            true,
            {"InAppSettings.bundle/Root~ipad.plist", "InAppSettings.bundle/Root.inApp.plist"},
            "InAppSettings.bundle/Root.inApp.plist"},
        LookupCase{"PhoneIgnoresTheTabletSuffix",
                   false,
                   {"InAppSettings.bundle/Root~ipad.plist", "InAppSettings.bundle/Root.plist"},
                   "InAppSettings.bundle/Root.plist"},
        LookupCase{"PhoneSuffix",
                   false,
                   {"InAppSettings.bundle/Root.plist", "InAppSettings.bundle/Root~iphone.plist"},
                   "InAppSettings.bundle/Root~iphone.plist"},
        LookupCase{"InAppBundleBeatsSettingsBundle",
                   true,
                   {"Settings.bundle/Root~ipad.inApp.plist", "InAppSettings.bundle/Root.plist"},
                   "InAppSettings.bundle/Root.plist"},
        LookupCase{"SettingsBundleAsFallback",
                   true,
                   {"Settings.bundle/Root.plist"},
                   "Settings.bundle/Root.plist"},
        LookupCase{"NothingFoundLeavesTheScreenEmpty", true, {"Other.bundle/Root.plist"}, ""}),
    [](const ::testing::TestParamInfo<LookupCase>& param) { return param.param.name; });

TEST(SettingsReaderTest, RowsBeforeTheFirstGroupFormASectionWithoutHeading) {
  FakeFileSystem files;
  using D = PlistValue::Dictionary;
  files.put(
      kDir + "/InAppSettings.bundle/Root.plist",
      plist::toXml(PlistValue(
          D{{"StringsTable", "Words"},
            {"PreferenceSpecifiers",
             PlistValue::Array{D{{"Type", "PSTextFieldSpecifier"}, {"Key", "a"}, {"Title", "A"}},
                               D{{"Type", "PSGroupSpecifier"},
                                 {"Title", "Plan"},
                                 {"Key", "PlanHeader"},
                                 {"FooterText", "About plans"}},
                               D{{"Type", "PSSliderSpecifier"}, {"Key", "b"}}, "not a row",
                               D{{"Type", "PSGroupSpecifier"}}}}})));
  files.put(kDir + "/InAppSettings.bundle/Words.strings",
            plist::toXml(PlistValue(D{{"Plan", "Forfait"}, {"A", "Un"}})));
  const SettingsReader reader(files, kDir, true);
  EXPECT_EQ(reader.localizationTable(), "Words");
  ASSERT_EQ(reader.numberOfSections(), 3);
  EXPECT_FALSE(reader.dataSource()[0].group);
  EXPECT_EQ(reader.titleForSection(0), "");
  EXPECT_EQ(reader.specifierForIndexPath({0, 0})->title(), "Un");
  EXPECT_EQ(reader.titleForSection(1), "Forfait");
  EXPECT_EQ(reader.keyForSection(1), "PlanHeader");
  EXPECT_EQ(reader.footerTextForSection(1), "About plans");  // no translation: the text itself
  EXPECT_EQ(reader.numberOfRowsForSection(1), 1);
  EXPECT_EQ(reader.numberOfRowsForSection(2), 0);
  EXPECT_EQ(reader.indexPathForKey("b"), (IndexPath{1, 0}));
  EXPECT_EQ(reader.specifierForIndexPath({5, 0}), nullptr);
}

TEST(SettingsReaderTest, TheTableIsTheFilesOwnNameWhenTheBundleHasIt) {
  FakeFileSystem files;
  files.put(kDir + "/InAppSettings.bundle/Child~ipad.plist", schema("x"));
  EXPECT_EQ(SettingsReader(files, kDir, true, "Child").localizationTable(), "Root");
  files.put(kDir + "/InAppSettings.bundle/Child.strings",
            plist::toXml(PlistValue(PlistValue::Dictionary{{"x", "translated"}})));
  const SettingsReader reader(files, kDir, true, "Child");
  EXPECT_EQ(reader.localizationTable(), "Child");
  EXPECT_EQ(reader.specifierForIndexPath({0, 0})->title(), "translated");
}

// A schema beyond the limits (a title of 100,000 characters took the window half a minute to lay
// out) is refused whole, with a reason naming the file and the limit; a fallback may serve.
TEST(SettingsReaderTest, ASchemaBeyondTheLimitsIsRefusedNamingTheFileAndTheLimit) {
  const std::string root = kDir + "/InAppSettings.bundle/Root.plist";
  const std::string fallback = kDir + "/Settings.bundle/Root.plist";
  struct Case {
    const char* name;
    std::string bytes;
    const char* says;
  };
  const std::string longest(SettingsReader::kMaxTextLength, 'x');
  const Case cases[] = {
      {"long title", schema(longest + "x"),
       "holds a text of 1001 bytes; a title or any other "
       "text of a settings schema has at most 1000"},
      {"large file", schema("x") + std::string(SettingsReader::kMaxSchemaBytes, ' '),
       "is larger than 1 MiB, the limit of a settings schema"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakeFileSystem files;
    files.put(root, c.bytes);
    const SettingsReader refused(files, kDir, true);
    EXPECT_TRUE(refused.path().empty());
    EXPECT_EQ(refused.numberOfSections(), 0);
    EXPECT_EQ(refused.refusal(), root + " " + c.says);

    files.put(fallback, schema(longest));
    const SettingsReader served(files, kDir, true);
    EXPECT_EQ(served.path(), fallback);
    EXPECT_EQ(served.refusal(), "");
    EXPECT_EQ(served.specifierForIndexPath({0, 0})->title(), longest);
  }
}

TEST(SettingsReaderTest, AFileNameOutsideTheBundleIsNeverRead) {
  FakeFileSystem files;
  files.put("/secret.plist", schema("x"));
  EXPECT_TRUE(SettingsReader(files, kDir, true, "../../secret").path().empty());
}

}  // namespace
}  // namespace kestrio::settings
