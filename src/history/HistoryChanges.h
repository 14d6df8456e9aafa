#pragma once

#include <cstddef>
#include <string>

#include "engine/History.h"
#include "platform/Platform.h"

namespace kestrio {

// The user's changes to the history, each as one transaction whose result is read back, so a
// change that did not reach the disk is never reported as done. Each answers empty when stored,
// else the one line to show.
class HistoryChanges {
 public:
  // Removes every record with this identity; the others keep their order.
  static std::string deleteRecord(Platform& platform, const std::string& uniqueId);
  // Where the record with this identity stands in the whole archive (days included), or the
  // archive's size when it is not there.
  static std::size_t positionOf(Platform& platform, const std::string& uniqueId);
  // Puts a deleted record back at `position` of the archive (or at its end, when the archive
  // has shrunk since), unchanged: same identity, dates and amounts. A record already there is
  // left as it is.
  static std::string restoreRecord(Platform& platform, const History& record, std::size_t position);
  // Removes every record: billing periods and days of both networks.
  static std::string clearAll(Platform& platform);
};

}  // namespace kestrio
