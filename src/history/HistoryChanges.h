#pragma once

#include <string>

#include "platform/Platform.h"

namespace kestrio {

// The user's changes to the history, each as one transaction whose result is read back, so a
// change that did not reach the disk is never reported as done. Each answers empty when stored,
// else the one line to show.
class HistoryChanges {
 public:
  // Removes every record with this identity; the others keep their order.
  static std::string deleteRecord(Platform& platform, const std::string& uniqueId);
  // Removes every record: billing periods and days of both networks.
  static std::string clearAll(Platform& platform);
};

}  // namespace kestrio
