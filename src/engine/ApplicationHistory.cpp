// The applications of closed billing periods, kept beside the history.
#include "engine/ApplicationHistory.h"

#include <algorithm>
#include <cstdint>

#include "services/ArchiveFile.h"

namespace kestrio {

namespace {

// Each application of a period is a set of numbered keys of the period's own object
// ("application0Name"), so the archive stays a list of flat records.
constexpr const char* kCountKey = "applicationCount";
// More than any period could hold; a larger count is damage, and no more are read.
constexpr std::int64_t kMaxApplications = 10000;

ArchiveFile archive(Platform& platform) {
  return ArchiveFile(platform, ApplicationHistory::kFileName, ApplicationHistory::kTopKey,
                     ApplicationHistory::kClassName);
}

std::string key(std::size_t index, const char* field) {
  return "application" + std::to_string(index) + field;
}

template <typename T>
const T* fieldOf(const keyed::Object& object, const std::string& name) {
  auto it = object.find(name);
  return it == object.end() ? nullptr : std::get_if<T>(&it->second);
}

std::optional<double> countOf(const keyed::Object& object, const std::string& name) {
  if (auto* real = fieldOf<double>(object, name)) return *real;
  if (auto* whole = fieldOf<std::int64_t>(object, name)) return static_cast<double>(*whole);
  return std::nullopt;
}

keyed::Object toObject(const ApplicationPeriod& period) {
  keyed::Object object{{"historyId", period.historyId},
                       {"dataType", std::int64_t{period.dataType}},
                       {kCountKey, static_cast<std::int64_t>(period.applications.size())}};
  if (period.startDate) object["startDate"] = *period.startDate;
  if (period.endDate) object["endDate"] = *period.endDate;
  for (std::size_t i = 0; i < period.applications.size(); ++i) {
    const ClosedApplication& a = period.applications[i];
    object[key(i, "Key")] = a.key;
    object[key(i, "Name")] = a.name;
    object[key(i, "Icon")] = a.icon;
    object[key(i, "DataSent")] = a.dataSent;
    object[key(i, "DataReceived")] = a.dataReceived;
    object[key(i, "DataTotal")] = a.dataTotal;
  }
  return object;
}

// A period as stored. An application with a part missing or of the wrong kind (a damaged
// archive) is left out; the others stand. A period without its history entry's identity is none.
std::optional<ApplicationPeriod> fromObject(const keyed::Object& object) {
  const auto* historyId = fieldOf<std::string>(object, "historyId");
  const auto* dataType = fieldOf<std::int64_t>(object, "dataType");
  const auto* count = fieldOf<std::int64_t>(object, kCountKey);
  if (!historyId || historyId->empty() || !dataType || !count) return std::nullopt;
  ApplicationPeriod period;
  period.historyId = *historyId;
  period.dataType = *dataType == 1 ? 1 : 2;
  if (auto* start = fieldOf<Date>(object, "startDate")) period.startDate = *start;
  if (auto* end = fieldOf<Date>(object, "endDate")) period.endDate = *end;
  const std::int64_t wanted = std::clamp<std::int64_t>(*count, 0, kMaxApplications);
  for (std::size_t i = 0; i < static_cast<std::size_t>(wanted); ++i) {
    const auto* appKey = fieldOf<std::string>(object, key(i, "Key"));
    const auto* name = fieldOf<std::string>(object, key(i, "Name"));
    const auto* icon = fieldOf<std::string>(object, key(i, "Icon"));
    const auto sent = countOf(object, key(i, "DataSent"));
    const auto received = countOf(object, key(i, "DataReceived"));
    const auto total = countOf(object, key(i, "DataTotal"));
    if (!appKey || appKey->empty() || !name || !icon || !sent || !received || !total) continue;
    period.applications.push_back({*appKey, *name, *icon, *sent, *received, *total});
  }
  return period;
}

}  // namespace

std::vector<ApplicationPeriod> ApplicationHistory::all(Platform& platform) {
  std::vector<ApplicationPeriod> periods;
  for (const keyed::Object& object : archive(platform).read().objects) {
    if (auto period = fromObject(object)) periods.push_back(std::move(*period));
  }
  return periods;
}

std::optional<ApplicationPeriod> ApplicationHistory::forHistory(Platform& platform,
                                                                const std::string& historyId) {
  if (historyId.empty()) return std::nullopt;
  for (ApplicationPeriod& period : all(platform)) {
    if (period.historyId == historyId) return std::move(period);
  }
  return std::nullopt;
}

Stored ApplicationHistory::add(Platform& platform, const ApplicationPeriod& period) {
  auto lock = platform.lockDocuments();
  if (!lock) return Stored::failure("the data directory cannot be locked");
  if (!archive(platform).append(toObject(period))) {
    return Stored::failure("could not store " + std::string(kFileName));
  }
  return {};
}

Stored ApplicationHistory::clear(Platform& platform) {
  auto lock = platform.lockDocuments();
  if (!lock) return Stored::failure("the data directory cannot be locked");
  if (!platform.files().exists(archive(platform).path())) return {};
  if (!archive(platform).write({}))
    return Stored::failure("could not store " + std::string(kFileName));
  return {};
}

}  // namespace kestrio
