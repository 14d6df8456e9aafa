#pragma once

#include <string>

#include "platform/Platform.h"

namespace kestrio {

class Util {
 public:
  // A new random identifier: 36 characters, upper-case hexadecimal in groups 8-4-4-4-12.
  static std::string GetUUID();
  // start <= date <= end, both ends included.
  static bool isBetweenDate(Date date, Date start, Date end);
  // Whether both fall on the same year, month and day of the user's calendar.
  static bool isSameAsThisDate(Platform& platform, Date a, Date b);
};

}  // namespace kestrio
