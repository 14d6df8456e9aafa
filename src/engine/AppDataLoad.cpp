// Loading and saving the usage record's file, including files written by older versions.
#include <cmath>
#include <cstdint>

#include "engine/AppData.h"
#include "platform/MoveAside.h"
#include "platform/PropertyList.h"

namespace kestrio {

namespace {

constexpr const char* kNotAvailable = "Not Available.";

bool has(const PlistValue::Dictionary& d, const char* key) {
  return d.count(key) > 0;
}

std::optional<Date> dateFor(const PlistValue::Dictionary& d, const char* key) {
  auto it = d.find(key);
  if (it == d.end()) return std::nullopt;
  if (auto* date = it->second.get<Date>()) return *date;
  return std::nullopt;
}

std::string textFor(const PlistValue::Dictionary& d, const char* key) {
  auto it = d.find(key);
  if (it == d.end()) return kNotAvailable;
  if (auto* text = it->second.get<std::string>()) return *text;
  return "";
}

int wholeDays(double value) {
  if (!std::isfinite(value)) return 0;
  if (value >= INT32_MAX) return INT32_MAX;
  if (value <= INT32_MIN) return INT32_MIN;
  return static_cast<int>(value);  // truncates toward zero: 30.9 days are 30
}

// The stored value as a count of bytes: a finite number from `lowest` up, never a truth value
// or a text. Nothing otherwise.
std::optional<double> countIn(const PlistValue& value, double lowest) {
  std::optional<double> number;
  if (auto* whole = value.get<std::int64_t>()) number = static_cast<double>(*whole);
  if (auto* real = value.get<double>()) number = *real;
  if (!number || !std::isfinite(*number) || *number < lowest) return std::nullopt;
  return number;
}

// Whether one remembered interface is whole: its boot, counters that can be counts, and an
// index, a boot instant and a hardware address the kernel could have given.
bool isSoundSnapshot(const PlistValue& value) {
  auto* entry = value.get<PlistValue::Dictionary>();
  if (!entry) return false;
  auto boot = entry->find("bootId");
  if (boot == entry->end() || !boot->second.is<std::string>()) return false;
  for (const char* key : {"received", "sent"}) {
    auto it = entry->find(key);
    if (it == entry->end() || !countIn(it->second, 0)) return false;
  }
  if (auto it = entry->find("index"); it != entry->end()) {
    auto* index = it->second.get<std::int64_t>();
    if (!index || *index < 0 || *index > UINT32_MAX) return false;
  }
  // Older versions kept neither the boot instant nor the hardware address.
  if (auto it = entry->find("bootInstant"); it != entry->end()) {
    auto* instant = it->second.get<std::int64_t>();
    if (!instant || *instant < 0) return false;
  }
  if (auto it = entry->find("hardwareAddress"); it != entry->end()) {
    if (!it->second.is<std::string>()) return false;
  }
  if (auto it = entry->find("counted"); it != entry->end()) {
    if (!it->second.is<bool>()) return false;
  }
  for (const char* key : {"connectionUuid", "connectionName"}) {
    if (auto it = entry->find(key); it != entry->end() && !it->second.is<std::string>()) {
      return false;
    }
  }
  if (auto it = entry->find("connectionMetered"); it != entry->end()) {
    if (!it->second.is<bool>()) return false;
  }
  return true;
}

// Why the record cannot be carried forward; empty when it can. A figure that is not a count
// (NaN, infinite, negative, a text) would spread into every later pass and the history.
std::string damageIn(const PlistValue::Dictionary& d) {
  static constexpr const char* kByteKeys[] = {
      "dataAllTime",         "dataAllTimeSent",         "dataAllTimeRecd",
      "dataSinceLastBoot",   "dataSinceLastBootSent",   "dataSinceLastBootRecd",
      "dataSinceLastRun",    "dataSinceLastRunSent",    "dataSinceLastRunRecd",
      "dataSinceAppLastRun", "dataSinceAppLastRunSent", "dataSinceAppLastRunRecd",
      "dataThisMonth",       "dataThisMonthSent",       "dataThisMonthRecd"};
  // After a day change the today figures hold -1 until the day's first pass.
  static constexpr const char* kTodayKeys[] = {"dataToday", "dataTodaySent", "dataTodayRecd"};
  for (const char* key : kByteKeys) {
    auto it = d.find(key);
    if (it != d.end() && !countIn(it->second, 0)) return std::string(key) + " is not a count";
  }
  for (const char* key : kTodayKeys) {
    auto it = d.find(key);
    if (it != d.end() && !countIn(it->second, -1)) return std::string(key) + " is not a count";
  }
  if (auto it = d.find(AppData::kInterfaceCountersKey); it != d.end()) {
    auto* stored = it->second.get<PlistValue::Dictionary>();
    if (!stored) return "the remembered interface counters are malformed";
    for (const auto& [name, value] : *stored) {
      if (name.empty() || !isSoundSnapshot(value)) {
        return "the remembered counters of interface " + name + " are malformed";
      }
    }
  }
  if (auto it = d.find(connection_usage::kRecordKey); it != d.end()) {
    return connection_usage::damageIn(it->second);
  }
  return {};
}

// The memory as damageIn found it sound.
std::optional<InterfaceCounterMap> interfaceCountersFrom(const PlistValue::Dictionary& d) {
  auto it = d.find(AppData::kInterfaceCountersKey);
  if (it == d.end()) return std::nullopt;
  InterfaceCounterMap counters;
  for (const auto& [name, value] : *it->second.get<PlistValue::Dictionary>()) {
    const auto& entry = *value.get<PlistValue::Dictionary>();
    InterfaceSnapshot snapshot;
    snapshot.bootId = *entry.at("bootId").get<std::string>();
    snapshot.received = AppData::getNumberForKey("received", entry);
    snapshot.sent = AppData::getNumberForKey("sent", entry);
    snapshot.index = static_cast<std::uint32_t>(AppData::getNumberForKey("index", entry));
    if (auto instant = entry.find("bootInstant"); instant != entry.end()) {
      snapshot.bootInstant = *instant->second.get<std::int64_t>();
    }
    if (auto address = entry.find("hardwareAddress"); address != entry.end()) {
      snapshot.hardwareAddress = *address->second.get<std::string>();
    }
    if (auto counted = entry.find("counted"); counted != entry.end()) {
      snapshot.counted = *counted->second.get<bool>();
    }
    if (auto uuid = entry.find("connectionUuid"); uuid != entry.end()) {
      snapshot.connectionUuid = *uuid->second.get<std::string>();
    }
    if (auto named = entry.find("connectionName"); named != entry.end()) {
      snapshot.connectionName = *named->second.get<std::string>();
    }
    if (auto metered = entry.find("connectionMetered"); metered != entry.end()) {
      snapshot.connectionMetered = *metered->second.get<bool>();
    }
    counters[name] = snapshot;
  }
  return counters;
}

}  // namespace

double AppData::getNumberForKey(const std::string& key, const PlistValue::Dictionary& dictionary) {
  auto it = dictionary.find(key);
  if (it == dictionary.end()) return 0;
  return it->second.number().value_or(0);
}

void AppData::getAppData(const std::string& type) {
  appDataType_ = type;
  // Shared settings are read by their owner, once for everything it does.
  if (!sharedSettings_) appSettings().getSettings();
  loadedRecord_.reset();

  const std::string path = dataFilePath();
  if (!platform_.files().exists(path)) return;
  auto bytes = platform_.files().read(path);
  const bool oversized = bytes && bytes->size() > kMaxRecordBytes;
  std::optional<PlistValue> parsed;
  if (bytes && !oversized) parsed = plist::parse(*bytes);
  bytes.reset();
  std::string damage;
  if (oversized) {
    damage = "is larger than " + std::to_string(kMaxRecordBytes / 1024 / 1024) +
             " MiB, the limit of a usage record";
  } else if (!parsed || !parsed->is<PlistValue::Dictionary>()) {
    damage = "is not a property list of a record";
  } else if (std::string why = damageIn(*parsed->get<PlistValue::Dictionary>()); !why.empty()) {
    damage = "is damaged (" + why + ")";
  }
  if (!damage.empty()) {
    // Never lose a record silently: keep it aside for the user and start afresh.
    auto aside = moveAside(platform_.files(), path, platform_.now());
    if (aside) {
      platform_.warn("AppData: " + path + " cannot be read: it " + damage + "; moved to " + *aside);
      return;
    }
    platform_.warn("AppData: " + path + " cannot be read: it " + damage +
                   "; it could not be moved aside");
    loadedRecord_ = PlistValue::Dictionary{};
    loadFromDictionary(*loadedRecord_);
    return;
  }
  loadedRecord_ = std::move(*parsed->get<PlistValue::Dictionary>());
  loadFromDictionary(*loadedRecord_);
}

void AppData::loadFromDictionary(const PlistValue::Dictionary& stored) {
  dataAllTime_ = getNumberForKey("dataAllTime", stored);
  dataSinceLastBoot_ = getNumberForKey("dataSinceLastBoot", stored);
  dataSinceLastRun_ = getNumberForKey("dataSinceLastRun", stored);
  dataThisMonth_ = getNumberForKey("dataThisMonth", stored);

  billingDaysElapsed_ = wholeDays(getNumberForKey("billingDaysElapsed", stored));
  billingDaysTotal_ = wholeDays(getNumberForKey("billingDaysTotal", stored));

  lastUpdate_ = dateFor(stored, "lastUpdate");
  nextBillingDate_ = dateFor(stored, "nextBillingDate");
  lastBillingDate_ = dateFor(stored, "lastBillingDate");

  lastLocation_ = textFor(stored, "lastLocation");
  lastLocationDataUsed_ = textFor(stored, "lastLocationDataUsed");

  // Older versions kept neither the application span nor the sent and received parts: derive
  // them from what the file has and from the counters as they stand now.
  dataSinceAppLastRun_ = getNumberForKey(
      has(stored, "dataSinceAppLastRun") ? "dataSinceAppLastRun" : "dataSinceLastRun", stored);

  dataSinceLastBootSent_ = has(stored, "dataSinceLastBootSent")
                               ? getNumberForKey("dataSinceLastBootSent", stored)
                               : getCurrentDataUsageForDataType(appDataType_, 1);
  dataSinceLastBootRecd_ = has(stored, "dataSinceLastBootRecd")
                               ? getNumberForKey("dataSinceLastBootRecd", stored)
                               : getCurrentDataUsageForDataType(appDataType_, 2);

  dataAllTimeSent_ = has(stored, "dataAllTimeSent") ? getNumberForKey("dataAllTimeSent", stored)
                                                    : *dataSinceLastBootSent_;
  dataAllTimeRecd_ = has(stored, "dataAllTimeRecd") ? getNumberForKey("dataAllTimeRecd", stored)
                                                    : *dataSinceLastBootRecd_;

  const double allTime = *dataAllTime_;
  const double thisMonth = *dataThisMonth_;
  if (has(stored, "dataThisMonthSent")) {
    dataThisMonthSent_ = getNumberForKey("dataThisMonthSent", stored);
  } else {
    dataThisMonthSent_ = allTime > 0 ? thisMonth * *dataAllTimeSent_ / allTime : 0;
  }
  if (has(stored, "dataThisMonthRecd")) {
    dataThisMonthRecd_ = getNumberForKey("dataThisMonthRecd", stored);
  } else {
    dataThisMonthRecd_ = allTime > 0 ? thisMonth * *dataAllTimeRecd_ / allTime : thisMonth;
  }

  dataSinceLastRunSent_ = getNumberForKey("dataSinceLastRunSent", stored);
  dataSinceLastRunRecd_ = getNumberForKey("dataSinceLastRunRecd", stored);
  dataSinceAppLastRunSent_ = getNumberForKey("dataSinceAppLastRunSent", stored);
  dataSinceAppLastRunRecd_ = getNumberForKey("dataSinceAppLastRunRecd", stored);
  dataToday_ = getNumberForKey("dataToday", stored);
  dataTodaySent_ = getNumberForKey("dataTodaySent", stored);
  dataTodayRecd_ = getNumberForKey("dataTodayRecd", stored);

  interfaceCounters_ = interfaceCountersFrom(stored);
  const auto connections = stored.find(connection_usage::kRecordKey);
  connectionUsage_ = connections == stored.end() ? ConnectionUsageMap{}
                                                 : connection_usage::fromPlist(connections->second);
}

PlistValue::Dictionary AppData::toDictionary() const {
  PlistValue::Dictionary d;
  auto putNumber = [&d](const char* key, const std::optional<double>& v) {
    if (v) d[key] = PlistValue(*v);
  };
  auto putInteger = [&d](const char* key, const std::optional<int>& v) {
    if (v) d[key] = PlistValue(*v);
  };
  auto putDate = [&d](const char* key, const std::optional<Date>& v) {
    if (v) d[key] = PlistValue(*v);
  };
  auto putText = [&d](const char* key, const std::optional<std::string>& v) {
    if (v) d[key] = PlistValue(*v);
  };
  putDate("lastUpdate", lastUpdate_);
  putDate("nextBillingDate", nextBillingDate_);
  putDate("lastBillingDate", lastBillingDate_);
  putInteger("billingDaysElapsed", billingDaysElapsed_);
  putInteger("billingDaysTotal", billingDaysTotal_);
  putText("lastLocation", lastLocation_);
  putText("lastLocationDataUsed", lastLocationDataUsed_);
  putNumber("dataAllTime", dataAllTime_);
  putNumber("dataSinceLastBoot", dataSinceLastBoot_);
  putNumber("dataSinceLastRun", dataSinceLastRun_);
  putNumber("dataThisMonth", dataThisMonth_);
  putNumber("dataSinceAppLastRun", dataSinceAppLastRun_);
  putNumber("dataToday", dataToday_);
  putNumber("dataAllTimeSent", dataAllTimeSent_);
  putNumber("dataAllTimeRecd", dataAllTimeRecd_);
  putNumber("dataThisMonthSent", dataThisMonthSent_);
  putNumber("dataThisMonthRecd", dataThisMonthRecd_);
  putNumber("dataSinceLastBootSent", dataSinceLastBootSent_);
  putNumber("dataSinceLastBootRecd", dataSinceLastBootRecd_);
  putNumber("dataSinceLastRunSent", dataSinceLastRunSent_);
  putNumber("dataSinceLastRunRecd", dataSinceLastRunRecd_);
  putNumber("dataSinceAppLastRunSent", dataSinceAppLastRunSent_);
  putNumber("dataSinceAppLastRunRecd", dataSinceAppLastRunRecd_);
  putNumber("dataTodaySent", dataTodaySent_);
  putNumber("dataTodayRecd", dataTodayRecd_);
  if (interfaceCounters_) {
    PlistValue::Dictionary counters;
    for (const auto& [name, snapshot] : *interfaceCounters_) {
      PlistValue::Dictionary entry{{"bootId", PlistValue(snapshot.bootId)},
                                   {"received", PlistValue(snapshot.received)},
                                   {"sent", PlistValue(snapshot.sent)}};
      // An unknown index is left out, as older versions wrote the entry.
      if (snapshot.index != 0)
        entry["index"] = PlistValue(static_cast<std::int64_t>(snapshot.index));
      if (snapshot.bootInstant != 0) entry["bootInstant"] = PlistValue(snapshot.bootInstant);
      if (!snapshot.hardwareAddress.empty())
        entry["hardwareAddress"] = PlistValue(snapshot.hardwareAddress);
      if (snapshot.counted) entry["counted"] = PlistValue(*snapshot.counted);
      if (snapshot.connectionUuid) {
        entry["connectionUuid"] = PlistValue(*snapshot.connectionUuid);
        if (!snapshot.connectionUuid->empty()) {
          entry["connectionName"] = PlistValue(snapshot.connectionName);
          entry["connectionMetered"] = PlistValue(snapshot.connectionMetered);
        }
      }
      counters[name] = std::move(entry);
    }
    d[kInterfaceCountersKey] = PlistValue(std::move(counters));
  }
  if (!connectionUsage_.empty()) {
    d[connection_usage::kRecordKey] = connection_usage::toPlist(connectionUsage_);
  }
  return d;
}

Stored AppData::saveAppData() {
  const std::string path = dataFilePath();
  if (!platform_.files().writeAtomically(path, plist::toXml(PlistValue(toDictionary())))) {
    platform_.warn("Writing data to file failed: " + path);
    return Stored::failure("could not store " + path);
  }
  return {};
}

}  // namespace kestrio
