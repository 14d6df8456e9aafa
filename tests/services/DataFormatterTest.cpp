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

}  // namespace
}  // namespace kestrio
