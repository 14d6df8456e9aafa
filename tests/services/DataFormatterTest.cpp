#include <gtest/gtest.h>

#include "services/DataFormatter.h"

namespace kestrio {
namespace {

TEST(DataFormatterTest, ConvertsWithBinaryFactorsAndTreatsUnknownUnitsAsMegabytes) {
  EXPECT_FLOAT_EQ(DataFormatter::converToDataUnitFromBytes(1048576, "MB"), 1.0f);
  EXPECT_FLOAT_EQ(DataFormatter::converToDataUnitFromBytes(1048576, "KB"), 1024.0f);
  EXPECT_FLOAT_EQ(DataFormatter::converToDataUnitFromBytes(1048576, "GB"), 0.0009765625f);
  EXPECT_FLOAT_EQ(DataFormatter::converToDataUnitFromBytes(1048576, "mb"), 1.0f);
  EXPECT_FLOAT_EQ(DataFormatter::converToDataUnitFromBytes(1048576, "TB"), 1.0f);
}

TEST(DataFormatterTest, NothingAndNegativeBytesAreZeroButNegativeFiguresConvert) {
  EXPECT_EQ(DataFormatter::converToDataUnitFromBytes(std::nullopt, "MB"), 0.0f);
  EXPECT_EQ(DataFormatter::converToDataUnitFromBytes(-5, "KB"), 0.0f);
  EXPECT_FLOAT_EQ(DataFormatter::convertToBytesFromDataUnit(-5, "KB"), -5120.0f);
  EXPECT_EQ(DataFormatter::convertToBytesFromDataUnit(std::nullopt, "GB"), 0.0f);
  EXPECT_FLOAT_EQ(DataFormatter::convertToBytesFromDataUnit(2, "GB"), 2147483648.0f);
}

TEST(DataFormatterTest, LargeFiguresCarryAFloatsPrecision) {
  // 2^24 + 1 bytes cannot be held by a float: the conversion sees 2^24.
  EXPECT_EQ(DataFormatter::converToDataUnitFromBytes(16777217.0, "KB"), 16384.0f);
}

// What is left is never shown rounded up, and always with its unit.
TEST(DataFormatterTest, WhatIsLeftIsRoundedDownWithItsUnit) {
  struct Case {
    float left;
    const char* unit;
    const char* shown;
  };
  const Case cases[] = {
      {3.5f, "GB", "3.50 GB"},        // not "4 GB"
      {3.999f, "GB", "3.99 GB"},      // not "4.00 GB"
      {4.0f, "GB", "4.00 GB"},        // exactly
      {0.99f, "MB", "0.99 MB"},       // not "1"
      {0.009f, "MB", "0.00 MB"},      // a trace is not a hundredth
      {3.4999998f, "GB", "3.50 GB"},  // a float's 3.5 after a subtraction
      {23.86f, "MB", "23.8 MB"},     {99.99f, "KB", "99.9 KB"}, {511.9f, "MB", "511 MB"},
      {0.0f, "MB", "0 MB"},          {-2.0f, "GB", "0 GB"},  // over the quota: nothing left
      {7.0f, "mb", "7.00 MB"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(DataFormatter::leftText(c.left, c.unit), c.shown) << c.left << " " << c.unit;
  }
}

}  // namespace
}  // namespace kestrio
