#include "engine/History.h"

#include <algorithm>
#include <limits>

#include "services/ArchiveFile.h"
#include "services/Util.h"

namespace kestrio {
namespace {

constexpr int kBillingPeriod = 1;
constexpr int kDay = 2;

ArchiveFile historyFile(Platform& platform) {
  return ArchiveFile(platform, History::kFileName, History::kTopKey, History::kClassName);
}

Stored lockFailure(Platform& platform) {
  const std::string why = platform.files().lastLockFailure();
  return Stored::failure("the data directory " + platform.documentsDirectory() +
                         " cannot be locked" + (why.empty() ? "" : ": " + why));
}

Stored notStored() {
  return Stored::failure("could not store " + std::string(History::kFileName));
}

template <typename T>
keyed::Field objectField(const std::optional<T>& value) {
  return value ? keyed::Field(*value) : keyed::Field();
}

const keyed::Field* find(const keyed::Object& object, const char* key) {
  auto it = object.find(key);
  return it == object.end() ? nullptr : &it->second;
}

std::optional<Date> dateOf(const keyed::Object& object, const char* key) {
  auto* field = find(object, key);
  auto* date = field ? std::get_if<Date>(field) : nullptr;
  return date ? std::optional<Date>(*date) : std::nullopt;
}

std::optional<double> numberOf(const keyed::Object& object, const char* key) {
  auto* field = find(object, key);
  if (!field) return std::nullopt;
  if (auto* d = std::get_if<double>(field)) return *d;
  if (auto* i = std::get_if<std::int64_t>(field)) return static_cast<double>(*i);
  return std::nullopt;
}

std::optional<std::string> stringOf(const keyed::Object& object, const char* key) {
  auto* field = find(object, key);
  auto* s = field ? std::get_if<std::string>(field) : nullptr;
  return s ? std::optional<std::string>(*s) : std::nullopt;
}

// A 32-bit integer key; missing, or not a 32-bit integer, reads as 0.
int integerOf(const keyed::Object& object, const char* key) {
  auto* field = find(object, key);
  auto* i = field ? std::get_if<std::int64_t>(field) : nullptr;
  if (!i || *i < std::numeric_limits<int>::min() || *i > std::numeric_limits<int>::max()) return 0;
  return static_cast<int>(*i);
}

// A period's connections are kept as numbered keys of its own object ("connection0Name"), so
// the archive stays a list of flat records that older versions read, and rewrite, unchanged.
constexpr const char* kConnectionCountKey = "connectionCount";
// More than any period could hold; a larger count is damage, and no more are read.
constexpr std::int64_t kMaxClosedConnections = 10000;

std::string connectionKey(std::size_t index, const char* field) {
  return "connection" + std::to_string(index) + field;
}

void putConnections(keyed::Object& object, const std::vector<ClosedConnection>& connections) {
  if (connections.empty()) return;
  object[kConnectionCountKey] = static_cast<std::int64_t>(connections.size());
  for (std::size_t i = 0; i < connections.size(); ++i) {
    const ClosedConnection& c = connections[i];
    object[connectionKey(i, "Uuid")] = c.uuid;
    object[connectionKey(i, "Name")] = c.name;
    object[connectionKey(i, "Metered")] = c.metered;
    object[connectionKey(i, "DataSent")] = c.dataSent;
    object[connectionKey(i, "DataReceived")] = c.dataReceived;
    object[connectionKey(i, "DataTotal")] = c.dataTotal;
  }
}

// The connections of a stored period. An entry with a part missing or of the wrong kind (a
// damaged archive) is left out; the others stand.
std::vector<ClosedConnection> connectionsOf(const keyed::Object& object) {
  std::vector<ClosedConnection> connections;
  auto count = object.find(kConnectionCountKey);
  auto* n = count == object.end() ? nullptr : std::get_if<std::int64_t>(&count->second);
  if (!n || *n < 1) return connections;
  const std::size_t wanted = static_cast<std::size_t>(std::min(*n, kMaxClosedConnections));
  for (std::size_t i = 0; i < wanted; ++i) {
    const auto uuid = stringOf(object, connectionKey(i, "Uuid").c_str());
    const auto name = stringOf(object, connectionKey(i, "Name").c_str());
    const auto metered = object.find(connectionKey(i, "Metered"));
    const auto sent = numberOf(object, connectionKey(i, "DataSent").c_str());
    const auto received = numberOf(object, connectionKey(i, "DataReceived").c_str());
    const auto total = numberOf(object, connectionKey(i, "DataTotal").c_str());
    const bool* isMetered = metered == object.end() ? nullptr : std::get_if<bool>(&metered->second);
    if (!uuid || uuid->empty() || !name || !isMetered || !sent || !received || !total) continue;
    connections.push_back({*uuid, *name, *isMetered, *sent, *received, *total});
  }
  return connections;
}

keyed::Object toObject(const History& record) {
  keyed::Object object{
      {"startDate", objectField(record.startDate())},
      {"endDate", objectField(record.endDate())},
      {"dataSent", objectField(record.dataSent())},
      {"dataReceived", objectField(record.dataReceived())},
      {"dataTotal", objectField(record.dataTotal())},
      {"uniqueId", objectField(record.uniqueId())},
      {"dataType", std::int64_t{record.dataType()}},
      {"historyType", std::int64_t{record.historyType()}},
  };
  putConnections(object, record.connections());
  return object;
}

History fromObject(const keyed::Object& object) {
  History record;
  record.setStartDate(dateOf(object, "startDate"));
  record.setEndDate(dateOf(object, "endDate"));
  record.setDataSent(numberOf(object, "dataSent"));
  record.setDataReceived(numberOf(object, "dataReceived"));
  record.setDataTotal(numberOf(object, "dataTotal"));
  record.setUniqueId(stringOf(object, "uniqueId"));
  record.setDataType(integerOf(object, "dataType"));
  record.setHistoryType(integerOf(object, "historyType"));
  record.setConnections(connectionsOf(object));
  return record;
}

std::vector<History> recordsOf(const std::vector<keyed::Object>& objects) {
  std::vector<History> records;
  records.reserve(objects.size());
  for (const auto& object : objects) records.push_back(fromObject(object));
  return records;
}

}  // namespace

History::History(Platform& /*platform*/, Date startDate, Date endDate,
                 std::optional<double> dataSent, std::optional<double> dataReceived,
                 std::optional<double> dataTotal, int dataType, int historyType)
    : uniqueId_(Util::GetUUID()),
      startDate_(startDate),
      endDate_(endDate),
      dataSent_(dataSent),
      dataReceived_(dataReceived),
      dataTotal_(dataTotal),
      dataType_(dataType),
      historyType_(historyType) {}

std::vector<History> History::getAllHistoryLogs(Platform& platform) {
  return recordsOf(historyFile(platform).read().objects);
}

std::vector<History> History::getAllBillingCycleLogs(Platform& platform) {
  std::vector<History> periods;
  for (auto& record : getAllHistoryLogs(platform)) {
    if (record.historyType() == kBillingPeriod) periods.push_back(std::move(record));
  }
  return periods;
}

std::vector<History> History::getDailyHistoryLogsFrom(Platform& platform, Date from, Date to,
                                                      int dataType) {
  auto within = [&](const std::optional<Date>& date) {
    return date && Util::isBetweenDate(*date, from, to);
  };
  std::vector<History> days;
  for (auto& record : getAllHistoryLogs(platform)) {
    if (record.historyType() == kDay && record.dataType() == dataType &&
        (within(record.startDate()) || within(record.endDate()))) {
      days.push_back(std::move(record));
    }
  }
  // Newest first; a record without a start date sorts last.
  std::stable_sort(days.begin(), days.end(), [](const History& a, const History& b) {
    return a.startDate() > b.startDate();
  });
  return days;
}

// The updates work on the stored objects, so keys this version does not know survive them.

Stored History::addNewHistoryItemLog(Platform& platform, const History& record) {
  auto lock = platform.lockDocuments();
  if (!lock) return lockFailure(platform);
  if (!historyFile(platform).append(toObject(record))) return notStored();
  return {};
}

Stored History::removeHistoryLog(Platform& platform, const History& record) {
  auto lock = platform.lockDocuments();
  if (!lock) return lockFailure(platform);
  ArchiveFile file = historyFile(platform);
  auto objects = file.read().objects;
  // A record without an identity matches nothing, and nothing matches it.
  const std::size_t removed =
      record.uniqueId() ? std::erase_if(objects,
                                        [&](const keyed::Object& object) {
                                          return stringOf(object, "uniqueId") == record.uniqueId();
                                        })
                        : 0;
  if (removed == 0) return Stored::notFound("the history record is not stored");
  if (!file.write(objects)) return notStored();
  return {};
}

Stored History::saveHistoryLogs(Platform& platform, const std::vector<History>& records) {
  auto lock = platform.lockDocuments();
  if (!lock) return lockFailure(platform);
  std::vector<keyed::Object> objects;
  objects.reserve(records.size());
  for (const auto& record : records) objects.push_back(toObject(record));
  if (!historyFile(platform).write(objects)) return notStored();
  return {};
}

}  // namespace kestrio
