#pragma once

#include <optional>
#include <string>
#include <vector>

#include "engine/ConnectionUsage.h"
#include "engine/Field.h"
#include "platform/Platform.h"
#include "platform/Stored.h"

namespace kestrio {

// One closed day (historyType 2) or billing period (historyType 1) of one network (dataType 1
// cellular, 2 Wi-Fi), and, as static operations, the store of them: "history.archive" in the
// documents directory, read whole and written whole by every operation.
class History {
 public:
  static constexpr const char* kFileName = "history.archive";
  static constexpr const char* kTopKey = "historyLogs";
  static constexpr const char* kClassName = "History";

  History() = default;
  // A new record with a new uniqueId.
  History(Platform& platform, Date startDate, Date endDate, std::optional<double> dataSent,
          std::optional<double> dataReceived, std::optional<double> dataTotal, int dataType,
          int historyType);

  KESTRIO_FIELD(std::optional<std::string>, uniqueId, setUniqueId)
  KESTRIO_FIELD(std::optional<Date>, startDate, setStartDate)
  KESTRIO_FIELD(std::optional<Date>, endDate, setEndDate)
  KESTRIO_FIELD(std::optional<double>, dataSent, setDataSent)
  KESTRIO_FIELD(std::optional<double>, dataReceived, setDataReceived)
  KESTRIO_FIELD(std::optional<double>, dataTotal, setDataTotal)
  KESTRIO_FIELD(int, dataType, setDataType)
  KESTRIO_FIELD(int, historyType, setHistoryType)
  // A closed billing period's traffic per NetworkManager connection, largest first; empty for a
  // day, and for a period closed by an older version or without known connections.
  KESTRIO_FIELD(std::vector<ClosedConnection>, connections, setConnections)

 public:
  // Every record in the order appended; empty when the file is missing, empty or unreadable.
  static std::vector<History> getAllHistoryLogs(Platform& platform);
  // The billing-period records (historyType 1) of both networks, in the order appended.
  static std::vector<History> getAllBillingCycleLogs(Platform& platform);
  // The day records of one network whose start or end lies within [from, to], newest first.
  static std::vector<History> getDailyHistoryLogsFrom(Platform& platform, Date from, Date to,
                                                      int dataType);
  // Each a read-modify-write of the whole archive under the documents lock, answering whether
  // the archive was stored (the previous file stays when it was not). Removing a record that is
  // not stored (or has no identity) changes nothing and answers NotFound.
  static Stored addNewHistoryItemLog(Platform& platform, const History& record);
  static Stored removeHistoryLog(Platform& platform, const History& record);
  static Stored saveHistoryLogs(Platform& platform, const std::vector<History>& records);

  friend bool operator==(const History&, const History&) = default;
};

}  // namespace kestrio
