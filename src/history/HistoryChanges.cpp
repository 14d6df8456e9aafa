#include "history/HistoryChanges.h"

#include <algorithm>

#include "engine/History.h"
#include "platform/Transaction.h"

namespace kestrio {
namespace {

bool holds(const std::vector<History>& records, const std::string& uniqueId) {
  return std::any_of(records.begin(), records.end(),
                     [&](const History& r) { return r.uniqueId() == uniqueId; });
}

}  // namespace

std::string HistoryChanges::deleteRecord(Platform& platform, const std::string& uniqueId) {
  History record;
  record.setUniqueId(uniqueId);
  {
    Transaction tx(platform);
    // A record already gone is what the user asked for.
    const Stored removed = History::removeHistoryLog(platform, record);
    const Stored stored = removed.ok() || removed.isNotFound() ? tx.commit() : tx.abandon(removed);
    if (!stored.ok()) {
      return "The record was not deleted: " + stored.reason();
    }
  }
  if (holds(History::getAllHistoryLogs(platform), uniqueId)) {
    return "The record was not deleted: the history file could not be written";
  }
  return {};
}

std::string HistoryChanges::clearAll(Platform& platform) {
  {
    Transaction tx(platform);
    const Stored cleared = History::saveHistoryLogs(platform, {});
    if (const Stored stored = cleared.ok() ? tx.commit() : tx.abandon(cleared); !stored.ok()) {
      return "The history was not cleared: " + stored.reason();
    }
  }
  if (!History::getAllHistoryLogs(platform).empty()) {
    return "The history was not cleared: the history file could not be written";
  }
  return {};
}

}  // namespace kestrio
