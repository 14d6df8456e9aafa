#include "engine/CustomCounter.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <memory>
#include <utility>

#include "engine/RoamingNotice.h"
#include "platform/SafeText.h"
#include "services/ArchiveFile.h"
#include "services/Communications.h"
#include "services/Util.h"

namespace kestrio {

namespace {

// --- Decoding: a key that is absent, or holds a value of another kind, is none, NO or 0. ---

bool boolAt(const keyed::Object& coder, const char* key) {
  auto it = coder.find(key);
  if (it == coder.end()) return false;
  if (const bool* b = std::get_if<bool>(&it->second)) return *b;
  // An archiver may store a flag as an integer.
  if (const std::int64_t* i = std::get_if<std::int64_t>(&it->second)) return *i != 0;
  return false;
}

double numberAt(const keyed::Object& coder, const char* key) {
  auto it = coder.find(key);
  if (it == coder.end()) return 0;
  if (const double* d = std::get_if<double>(&it->second)) return *d;
  if (const std::int64_t* i = std::get_if<std::int64_t>(&it->second)) {
    return static_cast<double>(*i);
  }
  return 0;
}

int int32At(const keyed::Object& coder, const char* key) {
  auto it = coder.find(key);
  if (it == coder.end()) return 0;
  const std::int64_t* i = std::get_if<std::int64_t>(&it->second);
  if (!i || *i < std::numeric_limits<std::int32_t>::min() ||
      *i > std::numeric_limits<std::int32_t>::max()) {
    return 0;
  }
  return static_cast<int>(*i);
}

std::string textAt(const keyed::Object& coder, const char* key) {
  auto it = coder.find(key);
  if (it == coder.end()) return {};
  const std::string* s = std::get_if<std::string>(&it->second);
  return s ? *s : std::string();
}

std::optional<Date> dateAt(const keyed::Object& coder, const char* key) {
  auto it = coder.find(key);
  if (it == coder.end()) return std::nullopt;
  const Date* d = std::get_if<Date>(&it->second);
  return d ? std::optional<Date>(*d) : std::nullopt;
}

// --- The store. ---

ArchiveFile archiveOf(Platform& platform) {
  return ArchiveFile(platform, CustomCounter::kFileName, CustomCounter::kTopKey,
                     CustomCounter::kClassName);
}

struct StoredList {
  std::vector<CustomCounter> counters;
  // False when there was no archive or it was empty: no list has been stored yet.
  bool hadData = false;
};

StoredList load(ArchiveFile& file) {
  StoredList stored;
  ArchiveFile::Contents contents = file.read();
  stored.hadData = contents.hadData;
  stored.counters.reserve(contents.objects.size());
  for (const keyed::Object& object : contents.objects) stored.counters.emplace_back(object);
  return stored;
}

bool store(ArchiveFile& file, const std::vector<CustomCounter>& counters) {
  std::vector<keyed::Object> objects;
  objects.reserve(counters.size());
  for (const CustomCounter& counter : counters) objects.push_back(counter.encodeWithCoder());
  return file.write(objects);
}

// Another Kestrio process may be changing the list: wait for it, so neither change is lost.
std::unique_ptr<FileLock> lockStore(Platform& platform, const std::string& operation) {
  auto lock = platform.lockDocuments();
  if (!lock) {
    platform.warn("CustomCounter: the documents directory cannot be locked; " + operation +
                  " skipped");
  }
  return lock;
}

Stored resultOf(bool written) {
  return written ? Stored() : CustomCounter::listNotStored();
}

std::vector<CustomCounter>::iterator findStored(std::vector<CustomCounter>& counters,
                                                const CustomCounter& counter) {
  return std::find_if(counters.begin(), counters.end(), [&](const CustomCounter& stored) {
    return stored.uniqueId() == counter.uniqueId();
  });
}

std::string dateText(Platform& platform, const std::optional<Date>& date) {
  if (!date) return "(null)";
  return platform.calendar().format(*date, DateStyle::Short, DateStyle::Medium);
}

}  // namespace

// --- The record. ---

Stored CustomCounter::counterNotFound() {
  return Stored::notFound(
      "the counter is no longer stored (another Kestrio window or command removed it)");
}

Stored CustomCounter::listNotStored() {
  return Stored::failure(std::string(kFileName) +
                         " could not be written; the counters stay as they were");
}

CustomCounter::CustomCounter(std::string name, bool trackCellular, bool trackWiFi, Date startDate,
                             std::optional<Date> endDate, int direction, bool notifyOnEnd)
    : name_(storableName(name)),
      trackCellular_(trackCellular),
      trackWiFi_(trackWiFi),
      startDate_(startDate),
      endDate_(endDate),
      direction_(direction),
      notifyOnEnd_(notifyOnEnd),
      uniqueId_(Util::GetUUID()) {}

std::string CustomCounter::storableName(std::string_view name) {
  return text::validUtf8(name.substr(0, name.find('\0')));
}

CustomCounter::CustomCounter(Platform& platform, std::string name, bool trackCellular,
                             bool trackWiFi)
    : CustomCounter(std::move(name), trackCellular, trackWiFi, platform.now(), std::nullopt,
                    kDirectionBoth, false) {}

CustomCounter::CustomCounter(Platform& platform, std::string name)
    : CustomCounter(platform, std::move(name), true, true) {}

CustomCounter::CustomCounter(const keyed::Object& coder)
    : name_(textAt(coder, "name")),
      trackCellular_(boolAt(coder, "trackCellular")),
      trackWiFi_(boolAt(coder, "trackWiFi")),
      startDate_(dateAt(coder, "startDate").value_or(Date{})),
      endDate_(dateAt(coder, "endDate")),
      direction_(int32At(coder, "direction")),
      notifyOnEnd_(boolAt(coder, "notifyOnEnd")),
      cellularDataSent_(numberAt(coder, "cellularDataSent")),
      cellularDataReceived_(numberAt(coder, "cellularDataReceived")),
      cellularDataTotal_(numberAt(coder, "cellularDataTotal")),
      wifiDataSent_(numberAt(coder, "wifiDataSent")),
      wifiDataReceived_(numberAt(coder, "wifiDataReceived")),
      wifiDataTotal_(numberAt(coder, "wifiDataTotal")),
      isPaused_(boolAt(coder, "isPaused")),
      uniqueId_(textAt(coder, "uniqueId")),
      roamingOnly_(boolAt(coder, "roamingOnly")) {}

keyed::Object CustomCounter::encodeWithCoder() const {
  keyed::Object coder;
  coder["name"] = name_;
  coder["trackCellular"] = trackCellular_;
  coder["trackWiFi"] = trackWiFi_;
  coder["startDate"] = startDate_;
  coder["endDate"] = endDate_ ? keyed::Field(*endDate_) : keyed::Field(std::monostate{});
  coder["direction"] = static_cast<std::int64_t>(direction_);
  coder["notifyOnEnd"] = notifyOnEnd_;
  coder["cellularDataSent"] = cellularDataSent_;
  coder["cellularDataReceived"] = cellularDataReceived_;
  coder["cellularDataTotal"] = cellularDataTotal_;
  coder["wifiDataSent"] = wifiDataSent_;
  coder["wifiDataReceived"] = wifiDataReceived_;
  coder["wifiDataTotal"] = wifiDataTotal_;
  coder["isPaused"] = isPaused_;
  coder["uniqueId"] = uniqueId_;
  if (roamingOnly_) coder["roamingOnly"] = true;
  return coder;
}

void CustomCounter::reset() {
  resetCellular();
  resetWiFi();
}

void CustomCounter::resetCellular() {
  cellularDataSent_ = cellularDataReceived_ = cellularDataTotal_ = 0;
}

void CustomCounter::resetWiFi() {
  wifiDataSent_ = wifiDataReceived_ = wifiDataTotal_ = 0;
}

void CustomCounter::addDataToCounterWithDataSent(double sent, double received, int dataTypeCode,
                                                 bool roaming) {
  if (isPaused_) return;
  if (roamingOnly_ && (dataTypeCode != kCellular || !roaming)) return;
  double* sentFigure = nullptr;
  double* receivedFigure = nullptr;
  double* totalFigure = nullptr;
  if (dataTypeCode == kCellular && trackCellular_) {
    sentFigure = &cellularDataSent_;
    receivedFigure = &cellularDataReceived_;
    totalFigure = &cellularDataTotal_;
  } else if (dataTypeCode == kWiFi && trackWiFi_) {
    sentFigure = &wifiDataSent_;
    receivedFigure = &wifiDataReceived_;
    totalFigure = &wifiDataTotal_;
  } else {
    return;
  }
  *sentFigure += sent;
  *receivedFigure += received;
  // Recomputed rather than incremented, so a total that drifted from its parts is mended.
  *totalFigure = *receivedFigure + *sentFigure;
}

// --- The store operations. ---

std::vector<CustomCounter> CustomCounter::getAllCustomCounters(Platform& platform) {
  // Held when it can be: the read moves an unreadable archive aside, which must not race with
  // another process's write. Reading alone is safe without it, as files are replaced whole.
  auto lock = platform.lockDocuments();
  ArchiveFile file = archiveOf(platform);
  return load(file).counters;
}

Stored CustomCounter::saveCustomCounterData(Platform& platform,
                                            const std::vector<CustomCounter>& list) {
  auto lock = lockStore(platform, "saving the custom counters");
  if (!lock) return listNotStored();
  ArchiveFile file = archiveOf(platform);
  return resultOf(store(file, list));
}

Stored CustomCounter::addCustomCounter(Platform& platform, const CustomCounter& counter) {
  auto lock = lockStore(platform, "adding a custom counter");
  if (!lock) return listNotStored();
  ArchiveFile file = archiveOf(platform);
  StoredList stored = load(file);
  stored.counters.push_back(counter);
  // The end notification follows the stored list: a counter that could not be stored must not
  // announce its end.
  if (!store(file, stored.counters)) return listNotStored();
  if (counter.notifyOnEnd() && counter.endDate()) {
    platform.log("While Adding Custom Counter " + counter.name() + " will be notified to end on " +
                 dateText(platform, counter.endDate()));
    Communications::sendLocalNotificationOnDate(platform, *counter.endDate(),
                                                "Custom Counter " + counter.name() + " Ended!",
                                                "View", counter.uniqueId());
  }
  return {};
}

void CustomCounter::addCustomCounterWithName(Platform& platform, const std::string& name) {
  auto lock = lockStore(platform, "adding a custom counter");
  if (!lock) return;
  ArchiveFile file = archiveOf(platform);
  StoredList stored = load(file);
  stored.counters.emplace_back(platform, name);
  store(file, stored.counters);
}

Stored CustomCounter::saveCustomCounter(Platform& platform, const CustomCounter& counter) {
  auto lock = lockStore(platform, "saving a custom counter");
  if (!lock) return listNotStored();
  ArchiveFile file = archiveOf(platform);
  StoredList stored = load(file);
  auto it = findStored(stored.counters, counter);
  if (it == stored.counters.end()) {
    store(file, stored.counters);
    return counterNotFound();
  }
  const CustomCounter previous = *it;
  *it = counter;
  // The notifications change only once the list holding the new settings is stored; after a
  // failed write the old notification still matches the stored counter.
  if (!store(file, stored.counters)) return listNotStored();
  if (previous.notifyOnEnd()) {
    Communications::cancelLocationNotification(platform, previous.uniqueId());
    platform.log("Notification cancellled");
  }
  if (counter.notifyOnEnd() && counter.endDate()) {
    platform.log("Custom Counter " + counter.name() + " will be notified to end on " +
                 dateText(platform, counter.endDate()));
    Communications::sendLocalNotificationOnDate(platform, *counter.endDate(),
                                                "Custom counter " + counter.name() + " ended!",
                                                "View", counter.uniqueId());
  } else {
    platform.log(counter.name() + " date is null " + dateText(platform, counter.endDate()));
  }
  return {};
}

Stored CustomCounter::removeCustomCounter(Platform& platform, const CustomCounter& counter) {
  auto lock = lockStore(platform, "removing a custom counter");
  if (!lock) return listNotStored();
  ArchiveFile file = archiveOf(platform);
  StoredList stored = load(file);
  auto it = findStored(stored.counters, counter);
  if (it == stored.counters.end()) {
    store(file, stored.counters);
    return counterNotFound();
  }
  // The stored counter's own flag counts too: a notification must not outlive its counter
  // because the caller held an older copy with the alert off.
  const bool notified = counter.notifyOnEnd() || it->notifyOnEnd();
  const std::string uniqueId = it->uniqueId();
  stored.counters.erase(it);
  if (!store(file, stored.counters)) return listNotStored();
  if (notified) Communications::cancelLocationNotification(platform, uniqueId);
  return {};
}

Stored CustomCounter::reorderCustomCounterFromIndex(Platform& platform, std::size_t from,
                                                    std::size_t to) {
  auto lock = lockStore(platform, "moving a custom counter");
  if (!lock) return listNotStored();
  ArchiveFile file = archiveOf(platform);
  StoredList stored = load(file);
  const std::size_t size = stored.counters.size();
  if (from >= size || to >= size) {
    platform.warn("CustomCounter: cannot move row " + std::to_string(from) + " to row " +
                  std::to_string(to) + " of " + std::to_string(size) + "; nothing changed");
    return counterNotFound();
  }
  auto& counters = stored.counters;
  CustomCounter moved = std::move(counters[from]);
  counters.erase(counters.begin() + static_cast<std::ptrdiff_t>(from));
  counters.insert(counters.begin() + static_cast<std::ptrdiff_t>(to), std::move(moved));
  return resultOf(store(file, counters));
}

void CustomCounter::updateCustomCountersWithDataSentSinceLastRun(Platform& platform, double sent,
                                                                 double received,
                                                                 const std::string& dataType) {
  auto lock = lockStore(platform, "the " + dataType + " custom counter update");
  if (!lock) return;
  ArchiveFile file = archiveOf(platform);
  StoredList stored = load(file);
  // The first pass starts the list with a sample the user can look at. Once any list has been
  // stored, an empty one included, it is never made again. An archive that could not be decoded
  // has been moved aside by the read (kept for the user, and listed by `kestrio status`) and
  // counts as missing: the list starts again with the sample, as on a first run, rather than
  // leaving the user with no counter at all while the old one cannot be read.
  if (!stored.hadData) stored.counters = {CustomCounter(platform, kSampleName)};

  const int code = dataType == "wifi" ? kWiFi : dataType == "cellular" ? kCellular : 0;
  const Date now = platform.now();
  const bool roaming = code == kCellular && RoamingNotice::roamedSincePreviousPass(platform);
  for (CustomCounter& counter : stored.counters) {
    counter.addDataToCounterWithDataSent(sent, received, code, roaming);
    // Whether or not it took this traffic, a counter whose end has come stops here; so within
    // one pass the cellular call can pause a counter before the Wi-Fi call reaches it.
    if (counter.endDate() && *counter.endDate() <= now) counter.pause();
  }
  store(file, stored.counters);
}

}  // namespace kestrio
