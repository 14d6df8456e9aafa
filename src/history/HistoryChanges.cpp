#include "history/HistoryChanges.h"

#include <algorithm>

#include "engine/ApplicationHistory.h"
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

std::size_t HistoryChanges::positionOf(Platform& platform, const std::string& uniqueId) {
  const std::vector<History> records = History::getAllHistoryLogs(platform);
  const auto found = std::find_if(records.begin(), records.end(),
                                  [&](const History& r) { return r.uniqueId() == uniqueId; });
  return static_cast<std::size_t>(found - records.begin());
}

std::string HistoryChanges::restoreRecord(Platform& platform, const History& record,
                                          std::size_t position) {
  const std::string uniqueId = record.uniqueId().value_or("");
  {
    Transaction tx(platform);
    std::vector<History> records = History::getAllHistoryLogs(platform);
    // A record already back (another window's Undo) is not put twice.
    if (!uniqueId.empty() && !holds(records, uniqueId)) {
      records.insert(
          records.begin() + static_cast<std::ptrdiff_t>(std::min(position, records.size())),
          record);
      const Stored saved = History::saveHistoryLogs(platform, records);
      if (const Stored stored = saved.ok() ? tx.commit() : tx.abandon(saved); !stored.ok()) {
        return "The record was not restored: " + stored.reason();
      }
    }
  }
  const std::vector<History> after = History::getAllHistoryLogs(platform);
  if (std::find(after.begin(), after.end(), record) == after.end()) {
    return "The record was not restored: the history file could not be written";
  }
  return {};
}

std::string HistoryChanges::clearAll(Platform& platform) {
  {
    Transaction tx(platform);
    Stored cleared = History::saveHistoryLogs(platform, {});
    // The closed periods' applications go with their periods.
    if (cleared.ok()) cleared = ApplicationHistory::clear(platform);
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
