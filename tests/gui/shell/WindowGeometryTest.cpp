#include <gtest/gtest.h>

#include "gui/shell/WindowGeometry.h"

namespace kestrio::gui::shell {
namespace {

struct PlaceCase {
  const char* name;
  QRect available;
  std::optional<QRect> remembered;
  QRect expected;
};

void PrintTo(const PlaceCase& c, std::ostream* os) {
  *os << c.name;
}

const QMargins kFrame(4, 36, 4, 4);
const QSize kPreferred(540, 820);
const QSize kSmallest(320, 360);

class WindowPlaceTest : public ::testing::TestWithParam<PlaceCase> {};

TEST_P(WindowPlaceTest, TheWholeWindowFitsTheScreensFreeArea) {
  const PlaceCase& c = GetParam();
  const QRect placed = initialWindowRect(c.available, kPreferred, kSmallest, c.remembered, kFrame);
  EXPECT_EQ(placed, c.expected);
  // With its title bar and borders, the window lies inside the free area.
  EXPECT_TRUE(c.available.contains(placed.marginsAdded(kFrame))) << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    Screens, WindowPlaceTest,
    ::testing::Values(
        // 1280×800 with a 32-pixel panel: 820 pixels would push the tab bar off the screen.
        PlaceCase{"Laptop", QRect(0, 32, 1280, 768), std::nullopt, QRect(370, 68, 540, 728)},
        PlaceCase{"FullHd", QRect(0, 0, 1920, 1080), std::nullopt, QRect(690, 146, 540, 820)},
        // The same laptop at scale 2: 640×400 logical pixels.
        PlaceCase{"Scale2", QRect(0, 16, 640, 384), std::nullopt, QRect(50, 52, 540, 344)},
        PlaceCase{"RememberedStays", QRect(0, 0, 1920, 1080), QRect(100, 200, 600, 700),
                  QRect(100, 200, 600, 700)},
        // A frame kept from a larger screen, or from a screen no longer connected.
        PlaceCase{"RememberedTooLarge", QRect(0, 32, 1280, 768), QRect(1500, 40, 900, 1000),
                  QRect(376, 68, 900, 728)},
        PlaceCase{"RememberedTooSmall", QRect(0, 0, 1920, 1080), QRect(10, 50, 100, 100),
                  QRect(10, 50, 320, 360)}),
    [](const ::testing::TestParamInfo<PlaceCase>& param) { return param.param.name; });

TEST(WindowFrameTest, StoredFramesComeBackAndJunkIsRefused) {
  EXPECT_EQ(frameFromPlist(frameToPlist(QRect(-20, 30, 640, 480))), QRect(-20, 30, 640, 480));
  EXPECT_FALSE(frameFromPlist(kestrio::PlistValue("540x820")));
  EXPECT_FALSE(frameFromPlist(kestrio::PlistValue(
      kestrio::PlistValue::Dictionary{{"x", 0}, {"y", 0}, {"width", 0}, {"height", 10}})));
  EXPECT_FALSE(frameFromPlist(kestrio::PlistValue(
      kestrio::PlistValue::Dictionary{{"x", 0}, {"y", 0}, {"width", 1e12}, {"height", 10}})));
}

}  // namespace
}  // namespace kestrio::gui::shell
