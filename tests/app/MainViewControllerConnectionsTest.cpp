#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/MainViewController.h"
#include "engine/AppData.h"
#include "engine/AppSettings.h"
#include "services/NotificationCenter.h"
#include "support/FakePlatform.h"
#include "support/RecordingUi.h"

namespace kestrio {
namespace {

using testing::FakePlatform;
using testing::RecordingUi;

constexpr double kMB = 1048576;

class ConnectionRowsTest : public ::testing::Test {
 protected:
  ConnectionRowsTest() {
    AppSettings(platform).getSettings();
    record.setConnectionUsage(
        {{"u-home", {"Home", false, 150 * kMB, 0, 0, 900 * kMB, 0, 0}},
         {"u-old", {"Last month's hotel", false, 0, 0, 0, 80 * kMB, 0, 0}},
         {"u-phone", {"Pixel hotspot", true, 50 * kMB, 0, 0, 50 * kMB, 0, 0}}});
    controller.renderConnections(record);
  }

  FakePlatform platform;
  RecordingUi ui;
  NotificationCenter center;
  MainViewController controller{platform, ui, center};
  AppData record{platform};
};

// The screen lists the connections that counted in this period, most used first, each with its
// share of what they counted together; a network without such connections shows no list.
TEST_F(ConnectionRowsTest, ThisPeriodsConnectionsMostUsedFirst) {
  EXPECT_FALSE(controller.lblNetworks.hidden);
  EXPECT_EQ(controller.lblNetworks.text, "Networks this period");
  EXPECT_EQ(controller.connectionRows,
            (std::vector<ConnectionRow>{
                {"u-home", "Home", "150.00 MB", 0.75f, false, "Not metered"},
                {"u-phone", "Pixel hotspot", "50.00 MB", 0.25f, true, "Metered"}}));

  platform.userDefaults().setString(AppSettings::kDisplayUnit, "GB");
  controller.appSettings().getSettings();
  controller.renderConnections(record);
  EXPECT_EQ(controller.connectionRows[0].amountText, "0.15 GB");

  record.setConnectionUsage({{"u-old", {"Last month's hotel", false, 0, 0, 0, 80 * kMB, 0, 0}}});
  controller.renderConnections(record);
  EXPECT_TRUE(controller.connectionRows.empty());
  EXPECT_TRUE(controller.lblNetworks.hidden);
}

struct MarkCase {
  const char* name;
  ConnectionMetered asked;
  const char* refusal;
  std::optional<ConnectionMetered> storesInstead;
  const char* alert;  // the alert's message; none when the change was stored as asked
  bool rowMetered;
};

// The row follows what NetworkManager stores; a refusal or another stored value is told with
// NetworkManager's words and leaves the row as it was.
TEST_F(ConnectionRowsTest, MarkingGoesThroughNetworkManagerAndReportsItsRefusal) {
  const MarkCase cases[] = {
      {"stored", ConnectionMetered::Yes, "", std::nullopt, "", true},
      {"left to NetworkManager", ConnectionMetered::Unknown, "", std::nullopt, "", false},
      {"refused", ConnectionMetered::Yes, "Insufficient privileges", std::nullopt,
       "NetworkManager did not change \u201CHome\u201D: Insufficient privileges.", false},
      {"stored otherwise", ConnectionMetered::Yes, "", ConnectionMetered::No,
       "NetworkManager keeps \u201CHome\u201D not metered, not metered.", false},
  };
  for (const MarkCase& c : cases) {
    SCOPED_TRACE(c.name);
    controller.renderConnections(record);
    ui.shown.clear();
    platform.storedMetered = {{"u-home", ConnectionMetered::No}};
    platform.meteredRefusal = c.refusal;
    platform.meteredStoresInstead = c.storesInstead;
    platform.meteredRequests.clear();
    controller.setConnectionMetered("u-home", c.asked);
    ASSERT_EQ(platform.meteredRequests.size(), 1u);
    EXPECT_EQ(platform.meteredRequests[0].second, c.asked);
    if (*c.alert) {
      ASSERT_EQ(ui.shown.size(), 1u);
      EXPECT_EQ(ui.shown[0].alert.title, "Metered Not Changed");
      EXPECT_EQ(ui.shown[0].alert.message, c.alert);
    } else {
      EXPECT_TRUE(ui.shown.empty());
    }
    EXPECT_EQ(controller.connectionRows[0].metered, c.rowMetered);
    EXPECT_EQ(controller.connectionRows[0].meteredText, c.rowMetered ? "Metered" : "Not metered");
  }
}

// While NetworkManager waits for polkit the screen goes on: the row says it is asking, the answer
// comes later, and one that comes after the screen is gone finds nothing to draw on.
TEST_F(ConnectionRowsTest, TheAnswerComesLaterAndOutlivesNoScreen) {
  controller.renderConnections(record);
  platform.storedMetered = {{"u-home", ConnectionMetered::No}};
  platform.holdMeteredAnswers = true;
  controller.setConnectionMetered("u-home", ConnectionMetered::Yes);
  EXPECT_EQ(controller.connectionRows[0].meteredText, MainViewController::kAskingText);
  EXPECT_FALSE(controller.connectionRows[0].metered);
  ASSERT_EQ(platform.heldMeteredAnswers.size(), 1u);
  platform.heldMeteredAnswers[0]();
  EXPECT_TRUE(controller.connectionRows[0].metered);
  EXPECT_EQ(controller.connectionRows[0].meteredText, "Metered");
  EXPECT_TRUE(ui.shown.empty());

  platform.heldMeteredAnswers.clear();
  platform.meteredRefusal = "Insufficient privileges";
  {
    MainViewController gone{platform, ui, center};
    gone.renderConnections(record);
    gone.setConnectionMetered("u-home", ConnectionMetered::No);
  }
  ASSERT_EQ(platform.heldMeteredAnswers.size(), 1u);
  platform.heldMeteredAnswers[0]();  // no screen to tell, no alert for it
  EXPECT_TRUE(ui.shown.empty());
}

}  // namespace
}  // namespace kestrio
