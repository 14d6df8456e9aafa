#include <gtest/gtest.h>

#include <memory>

#include "app/KestrioAppDelegate.h"
#include "app/SettingsChangePoster.h"
#include "app/SettingsDelegateAdapter.h"
#include "platform/PropertyList.h"
#include "settings/AppSettingsViewController.h"
#include "settings/SettingsReader.h"
#include "support/FakePlatform.h"
#include "support/RecordingUi.h"
#include "support/SettingsBundle.h"

namespace kestrio::settings {
namespace {

using D = PlistValue::Dictionary;
using A = PlistValue::Array;
using testing::FakePlatform;
using testing::RecordingUi;

// A screen that records what opened it.
class Pane : public ViewController {
 public:
  explicit Pane(ViewControllerFactory::Request r) : request(std::move(r)) {}
  ViewControllerFactory::Request request;
};

class SettingsScreenTest : public ::testing::Test {
 protected:
  SettingsScreenTest() {
    center.addObserver(
        SettingsChangePoster::kAppSettingChanged,
        NotificationCenter::NotificationObserver(
            [this](const NotificationCenter::Notification& n) { posts.push_back(n); }));
  }

  // The screen on a schema of these rows.
  void putSchema(A rows, const std::string& file) {
    platform.fakeFiles().put(
        platform.resources + "/InAppSettings.bundle/" + file + ".plist",
        plist::toXml(PlistValue(D{{"PreferenceSpecifiers", std::move(rows)}})));
  }
  AppSettingsViewController& open(A rows, const std::string& file = "Root") {
    putSchema(std::move(rows), file);
    screen = std::make_shared<AppSettingsViewController>(platform, ui, changes, file);
    return *screen;
  }

  FakePlatform platform;
  RecordingUi ui;
  NotificationCenter center;
  SettingsChangePoster changes{center};
  std::vector<NotificationCenter::Notification> posts;
  std::shared_ptr<AppSettingsViewController> screen;
};

struct SwitchCase {
  const char* name;
  D row;
  std::optional<PlistValue> stored;
  bool shownOn;
  PlistValue storedWhenOff;
  PlistValue storedWhenOn;
};

void PrintTo(const SwitchCase& c, std::ostream* os) {
  *os << c.name;
}

class SwitchRowTest : public SettingsScreenTest,
                      public ::testing::WithParamInterface<SwitchCase> {};

TEST_P(SwitchRowTest, ShowsAndStoresTheRowsOwnValues) {
  const SwitchCase& c = GetParam();
  D row = c.row;
  row["Type"] = "PSToggleSwitchSpecifier";
  row["Key"] = "s";
  if (c.stored) platform.userDefaults().setObject("s", *c.stored);
  AppSettingsViewController& s = open(A{row});
  EXPECT_EQ(s.rowAt({0, 0}).switchOn, c.shownOn);
  s.toggledValue({0, 0}, false);
  EXPECT_EQ(platform.userDefaults().objectForKey("s"), c.storedWhenOff);
  s.toggledValue({0, 0}, true);
  EXPECT_EQ(platform.userDefaults().objectForKey("s"), c.storedWhenOn);
  ASSERT_EQ(posts.size(), 2u);
  EXPECT_EQ(posts[1].object, PlistValue("s"));
  EXPECT_EQ(posts[1].userInfo, (NotificationCenter::UserInfo{{"s", c.storedWhenOn}}));
}

INSTANTIATE_TEST_SUITE_P(
    Values, SwitchRowTest,
    ::testing::Values(SwitchCase{"YesNoTexts", D{{"TrueValue", "YES"}, {"FalseValue", "NO"}},
                                 PlistValue("NO"), false, PlistValue("NO"), PlistValue("YES")},
                      SwitchCase{"Booleans", D{}, PlistValue(true), true, PlistValue(false),
                                 PlistValue(true)},
                      SwitchCase{"DefaultWhenNothingStored",
                                 D{{"TrueValue", 7}, {"FalseValue", 3}, {"DefaultValue", 7}},
                                 std::nullopt, true, PlistValue(3), PlistValue(7)},
                      SwitchCase{"StoredTextsTruth", D{}, PlistValue("yes please"), true,
                                 PlistValue(false), PlistValue(true)},
                      SwitchCase{"OnlyTrueValueDefined", D{{"TrueValue", "on"}}, PlistValue("off"),
                                 false, PlistValue(false), PlistValue("on")}),
    [](const ::testing::TestParamInfo<SwitchCase>& param) { return param.param.name; });

TEST_F(SettingsScreenTest, ATextRowStoresAndPostsOnEveryKeystroke) {
  AppSettingsViewController& s =
      open(A{D{{"Type", "PSTextFieldSpecifier"}, {"Key", "t"}, {"DefaultValue", 42}}});
  EXPECT_EQ(s.rowAt({0, 0}).text, "42");  // a default that is not text, written as text
  for (const char* typed : {"1", "12", "120"}) s.textChanged({0, 0}, typed);
  EXPECT_EQ(platform.userDefaults().stringForKey("t"), "120");
  ASSERT_EQ(posts.size(), 3u);
  EXPECT_EQ(posts[1].userInfo.at("t"), PlistValue("12"));
}

// An application that takes no cycle shorter than two days.
class RefusingDelegate : public SettingsDelegate {
 public:
  std::optional<std::string> refusalForValue(const std::string& key,
                                             const PlistValue& value) override {
    if (value.number().value_or(2) < 2) return key + " takes 2 or more";
    return std::nullopt;
  }
};

// A number field stores a number; what is no number, or what the application refuses, is not
// stored, and the end of the edit says why and shows the value in force again.
TEST_F(SettingsScreenTest, ANumberRowStoresOnlyANumberTheApplicationTakes) {
  struct Case {
    const char* typed;
    std::optional<double> stored;  // nothing: not stored, the previous value stays
    const char* reasonNames;
  };
  const Case cases[] = {
      {"45", 45, ""},
      {" 7,5 ", 7.5, ""},
      {"0", std::nullopt, "takes 2 or more"},
      {"4x", std::nullopt, "takes a number"},
      {"", std::nullopt, "takes a number"},
  };
  RefusingDelegate refusing;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.typed);
    platform.userDefaults().setInteger("days", 30);
    AppSettingsViewController& s = open(A{D{{"Type", "PSTextFieldSpecifier"},
                                            {"Key", "days"},
                                            {"Title", "Cycle length"},
                                            {"KeyboardType", "NumberPad"}}});
    s.delegate = &refusing;
    int reloads = 0;
    s.reloadData = [&] { ++reloads; };
    const std::size_t alerts = ui.shown.size();
    s.textChanged({0, 0}, c.typed);
    s.textEditingEnded({0, 0});
    if (c.stored) {
      EXPECT_EQ(platform.userDefaults().objectForKey("days"), PlistValue(*c.stored));
      EXPECT_EQ(ui.shown.size(), alerts);
      continue;
    }
    EXPECT_EQ(platform.userDefaults().integerForKey("days"), 30);
    ASSERT_EQ(ui.shown.size(), alerts + 1);
    EXPECT_EQ(ui.latest().title, "\"Cycle length\" was not changed");
    EXPECT_NE(ui.latest().message.find(c.reasonNames), std::string::npos) << ui.latest().message;
    EXPECT_NE(ui.latest().message.find("it stays 30"), std::string::npos) << ui.latest().message;
    EXPECT_EQ(reloads, 1);
  }
}

// A tab without rows says which file could not be used, instead of staying blank.
TEST_F(SettingsScreenTest, AScreenWithoutItsSchemaSaysWhichFileAndWhy) {
  AppSettingsViewController& read = open(A{D{{"Type", "PSToggleSwitchSpecifier"}, {"Key", "s"}}});
  EXPECT_EQ(read.unavailableReason(), "");
  AppSettingsViewController missing(platform, ui, changes, "Elsewhere");
  EXPECT_EQ(missing.numberOfSections(), 0);
  EXPECT_NE(missing.unavailableReason().find("\"Elsewhere\""), std::string::npos)
      << missing.unavailableReason();
  const D tooLong{{"Type", "PSToggleSwitchSpecifier"},
                  {"Key", "s"},
                  {"Title", std::string(SettingsReader::kMaxTextLength + 1, 'x')}};
  AppSettingsViewController& refused = open(A{tooLong});
  EXPECT_EQ(refused.numberOfSections(), 0);
  EXPECT_NE(refused.unavailableReason().find("Root.plist"), std::string::npos)
      << refused.unavailableReason();
}

TEST_F(SettingsScreenTest, AListRowStoresItsItemsAndAnEmptyFieldMeansTheAutomaticChoice) {
  AppSettingsViewController& s =
      open(A{D{{"Type", "PSTextFieldSpecifier"}, {"Key", "ifs"}, {"ListSeparator", ","}}});
  s.textChanged({0, 0}, " wwan*, usb0 ,");
  EXPECT_EQ(platform.userDefaults().objectForKey("ifs"), PlistValue(A{"wwan*", "usb0"}));
  EXPECT_EQ(s.rowAt({0, 0}).text, "wwan*, usb0");
  s.textChanged({0, 0}, "  ");
  EXPECT_FALSE(platform.userDefaults().objectForKey("ifs"));
}

TEST_F(SettingsScreenTest, ChoosingTheCheckedChoiceStoresAndPostsNothing) {
  AppSettingsViewController& s = open(A{D{{"Type", "PSMultiValueSpecifier"},
                                          {"Key", "unit"},
                                          {"Title", "Unit"},
                                          {"Values", A{"MB", "GB"}},
                                          {"Titles", A{"Megabytes", "Gigabytes"}},
                                          {"DefaultValue", "MB"}}});
  EXPECT_EQ(s.rowAt({0, 0}).detail, "Megabytes");
  s.didSelectRowAtIndexPath({0, 0});
  ASSERT_EQ(ui.pushed.size(), 1u);
  auto values = std::dynamic_pointer_cast<SpecifierValuesViewController>(ui.pushed[0].screen);
  ASSERT_TRUE(values);
  EXPECT_EQ(values->titles(), (std::vector<std::string>{"Megabytes", "Gigabytes"}));
  EXPECT_EQ(values->checkedIndex(), 0u);
  values->didSelectRow(0);
  EXPECT_FALSE(platform.userDefaults().objectForKey("unit"));
  EXPECT_TRUE(posts.empty());
  values->didSelectRow(1);
  EXPECT_EQ(platform.userDefaults().stringForKey("unit"), "GB");
  ASSERT_EQ(posts.size(), 1u);
  EXPECT_EQ(s.rowAt({0, 0}).detail, "Gigabytes");
  // The same list screen serves every multi-value row.
  s.didSelectRowAtIndexPath({0, 0});
  EXPECT_EQ(ui.pushed[1].screen, ui.pushed[0].screen);
}

TEST_F(SettingsScreenTest, MismatchedValuesAndTitlesShowNoDetail) {
  AppSettingsViewController& s = open(A{D{{"Type", "PSMultiValueSpecifier"},
                                          {"Key", "x"},
                                          {"Values", A{1, 2}},
                                          {"Titles", A{"One"}},
                                          {"DefaultValue", 1}}});
  EXPECT_EQ(s.rowAt({0, 0}).detail, "");
}

TEST_F(SettingsScreenTest, ASliderStoresAFloatWithinItsRange) {
  AppSettingsViewController& s = open(A{D{{"Type", "PSSliderSpecifier"},
                                          {"Key", "level"},
                                          {"MinimumValue", 10},
                                          {"MaximumValue", 20},
                                          {"DefaultValue", 15}}});
  const RowDisplay row = s.rowAt({0, 0});
  EXPECT_EQ(row.sliderValue, 15);
  EXPECT_EQ(row.minimumValue, 10);
  EXPECT_EQ(row.maximumValue, 20);
  s.sliderChanged({0, 0}, 12.5f);
  EXPECT_EQ(platform.userDefaults().objectForKey("level"), PlistValue(12.5));
  ASSERT_EQ(posts.size(), 1u);
}

TEST_F(SettingsScreenTest, ChildPanesOpenTheirClassOrANestedScreenMadeOnce) {
  putSchema(A{D{{"Type", "PSToggleSwitchSpecifier"}, {"Key", "deep"}}}, "More");
  AppSettingsViewController& s =
      open(A{D{{"Type", "PSChildPaneSpecifier"},
               {"IASKViewControllerClass", "QuotaViewController"},
               {"File", "f"},
               {"Key", "k"}},
             D{{"Type", "PSChildPaneSpecifier"}, {"Title", "More"}, {"File", "More"}},
             D{{"Type", "PSChildPaneSpecifier"}, {"IASKViewControllerClass", "Unknown"}}});
  s.factory = std::make_shared<ViewControllerFactory>();
  s.factory->add("QuotaViewController",
                 [](const ViewControllerFactory::Request& r) { return std::make_shared<Pane>(r); });
  s.didSelectRowAtIndexPath({0, 0});
  ASSERT_EQ(ui.pushed.size(), 1u);
  auto pane = std::dynamic_pointer_cast<Pane>(ui.pushed[0].screen);
  ASSERT_TRUE(pane);
  EXPECT_EQ(pane->request.file, "f");
  EXPECT_EQ(pane->request.key, "k");
  EXPECT_EQ(ui.pushed[0].from, &s);

  s.didSelectRowAtIndexPath({0, 1});
  s.didSelectRowAtIndexPath({0, 1});
  ASSERT_EQ(ui.pushed.size(), 3u);
  EXPECT_EQ(ui.pushed[1].screen, ui.pushed[2].screen);
  auto nested = std::dynamic_pointer_cast<AppSettingsViewController>(ui.pushed[1].screen);
  ASSERT_TRUE(nested);
  EXPECT_EQ(nested->title(), "More");
  EXPECT_FALSE(nested->showDoneButton);
  EXPECT_EQ(nested->rowAt({0, 0}).key, "deep");

  s.didSelectRowAtIndexPath({0, 2});  // an unknown class opens nothing
  EXPECT_EQ(ui.pushed.size(), 3u);
}

TEST_F(SettingsScreenTest, MailRowsComposeOrSayMailIsNotConfigured) {
  AppSettingsViewController& s =
      open(A{D{{"Type", "IASKMailComposeSpecifier"},
               {"IASKMailComposeSubject", "Hi"},
               {"IASKMailComposeToRecipents", A{"a@example.org"}},
               {"IASKMailComposeCcRecipents", A{"b@example.org"}},
               {"IASKMailComposeBody", "<b>x</b>"},
               {"IASKMailComposeBodyIsHTML", true}},
             D{{"Type", "IASKOpenURLSpecifier"}, {"File", "https://example.org"}}});
  platform.mailAvailable = false;
  s.didSelectRowAtIndexPath({0, 0});
  ASSERT_EQ(ui.shown.size(), 1u);
  EXPECT_EQ(ui.latest().title, "Mail not configured");
  EXPECT_EQ(ui.latest().cancelButton, "OK");
  EXPECT_TRUE(platform.sentMail.empty());

  platform.mailAvailable = true;
  s.didSelectRowAtIndexPath({0, 0});
  ASSERT_EQ(platform.sentMail.size(), 1u);
  EXPECT_EQ(platform.sentMail[0].subject, "Hi");
  EXPECT_TRUE(platform.sentMail[0].bodyIsHtml);
  EXPECT_EQ(platform.sentMail[0].recipients.size(), 2u);

  s.didSelectRowAtIndexPath({0, 1});
  EXPECT_EQ(ui.openedUrls, (std::vector<std::string>{"https://example.org"}));
}

// The shipped schema, with the application delegate answering its buttons and headers.
class ShippedSettingsTest : public SettingsScreenTest {
 protected:
  ShippedSettingsTest() : app(platform, ui, center, "1.0"), delegate(app) {
    testing::putSettingsBundle(platform);
    screen = std::make_shared<AppSettingsViewController>(platform, ui, changes);
    screen->delegate = &delegate;
  }
  KestrioAppDelegate app;
  SettingsDelegateAdapter delegate;
};

TEST_F(ShippedSettingsTest, TheResetButtonReachesTheDelegateWhichAsksFirst) {
  const std::optional<IndexPath> reset =
      screen->settingsReader().indexPathForKey("ResetCellularUsage");
  ASSERT_TRUE(reset);
  EXPECT_TRUE(screen->rowAt(*reset).centred);
  screen->didSelectRowAtIndexPath(*reset);
  ASSERT_EQ(ui.shown.size(), 1u);
  EXPECT_EQ(ui.latest().title, "Reset Cellular Usage");
  // A destructive confirmation: Return and the first focus choose Cancel.
  EXPECT_TRUE(ui.latest().destructive);
}

TEST_F(ShippedSettingsTest, OffersEveryKeyTheSettingsRecordReadsWithEveryAllowedValue) {
  const SettingsReader& reader = screen->settingsReader();
  for (const char* key : {"firstDayOfCycle",     "firstDayOfCycleWifi",     "cellularDataLimit",
                          "wifiDataLimit",       "enablePushNotifications", "enableBackgrounding",
                          "cell_daily_cap",      "wifi_daily_cap",          "startup_settings",
                          "dataunit_settings",   "cellularDataLimitUnit",   "wifiDataLimitUnit",
                          "dailyCapUnit",        "dailyCapUnitWifi",        "progressYellow",
                          "progressRed",         "appBadgeSetting",         "enableHighPrecision",
                          "first_notification",  "second_notification",     "third_notification",
                          "fourth_notification", "fifth_notification",      "over_notification",
                          "cellularInterfaces",  "wifiInterfaces",          "AdjustCellularUsage",
                          "AdjustWifiUsage",     "ResetWifiUsage",          "RateKestrio"}) {
    EXPECT_TRUE(reader.indexPathForKey(key)) << key;
  }
  const Specifier* cycle = reader.specifierForKey("firstDayOfCycle");
  ASSERT_TRUE(cycle);
  EXPECT_EQ(cycle->multipleValues().size(), 31u + 7u + 2u);
  EXPECT_EQ(cycle->titleForCurrentValue(PlistValue(107)), "Every Saturday");
  // A headed group's header is the delegate's, titled from the schema.
  app.setTitleLookup([&reader](const std::string& key) {
    for (int s = 0; s < reader.numberOfSections(); ++s) {
      if (reader.keyForSection(s) == key) return reader.titleForSection(s);
    }
    return key;
  });
  const SectionHeader header = screen->headerForSection(0, 400, nullptr);
  ASSERT_TRUE(header.custom);
  EXPECT_EQ(header.custom->title, "Cellular Plan");
  EXPECT_GT(header.height, 0);
}

// "Start with the desktop" is the autostart entry itself: the switch reads it, a change adds or
// removes it, and a change that did not take is said, never shown as done.
struct StartWithDesktopCase {
  const char* name;
  bool hasAutostart;
  const char* failWith;
  const char* alertMessage;  // empty: the change takes and is posted
};

void PrintTo(const StartWithDesktopCase& c, std::ostream* os) {
  *os << c.name;
}

class StartWithDesktopTest : public ShippedSettingsTest,
                             public ::testing::WithParamInterface<StartWithDesktopCase> {};

TEST_P(StartWithDesktopTest, TheSwitchIsTheAutostartEntry) {
  const StartWithDesktopCase& c = GetParam();
  platform.hasAutostart = c.hasAutostart;
  platform.fakeAutostart.failWith = c.failWith;
  const std::optional<IndexPath> row = screen->settingsReader().indexPathForKey("startWithDesktop");
  ASSERT_TRUE(row);
  EXPECT_EQ(screen->rowAt(*row).title, "Start with the desktop");
  EXPECT_FALSE(screen->rowAt(*row).switchOn);

  screen->toggledValue(*row, true);
  const bool takes = std::string(c.alertMessage).empty();
  EXPECT_EQ(platform.fakeAutostart.on, takes);
  EXPECT_EQ(screen->rowAt(*row).switchOn, takes);
  EXPECT_FALSE(platform.userDefaults().objectForKey("startWithDesktop")) << "never a copy";
  if (takes) {
    ASSERT_EQ(posts.size(), 1u);
    EXPECT_TRUE(ui.shown.empty());
    // The entry changed by someone else (the desktop's session settings) shows as it is.
    platform.fakeAutostart.on = false;
    EXPECT_FALSE(screen->rowAt(*row).switchOn);
  } else {
    EXPECT_TRUE(posts.empty());
    ASSERT_EQ(ui.shown.size(), 1u);
    EXPECT_EQ(ui.latest().title, "\"Start with the desktop\" was not changed");
    EXPECT_EQ(ui.latest().message, c.alertMessage);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, StartWithDesktopTest,
    ::testing::Values(StartWithDesktopCase{"Added", true, "", ""},
                      StartWithDesktopCase{"WriteFails", true,
                                           "cannot write /c/autostart/k.desktop: Read-only",
                                           "cannot write /c/autostart/k.desktop: Read-only"},
                      StartWithDesktopCase{"NoAutostartOnThisDesktop", false, "",
                                           "This desktop offers no way to start Kestrio with it."}),
    [](const ::testing::TestParamInfo<StartWithDesktopCase>& param) { return param.param.name; });

TEST(SettingsStoreTest, TheBaseStoreRaisesAndTheFileStoreWritesBack) {
  struct Bare : SettingsStore {
    void removeObjectForKey(const std::string&) override {}
  } bare;
  EXPECT_THROW(bare.setBool("k", true), UnimplementedError);
  EXPECT_THROW(bare.objectForKey("k"), UnimplementedError);

  testing::FakeFileSystem files;
  files.put("/s.plist", "not a property list");
  SettingsStoreFile store(files, "/s.plist");
  EXPECT_FALSE(store.objectForKey("a"));
  store.setInteger("a", 3);
  store.setFloat("b", 0.5f);
  ASSERT_TRUE(store.synchronize());
  SettingsStoreFile again(files, "/s.plist");
  EXPECT_EQ(again.integerForKey("a"), 3);
  EXPECT_EQ(again.doubleForKey("b"), 0.5);
  EXPECT_TRUE(again.boolForKey("a"));
}

}  // namespace
}  // namespace kestrio::settings
