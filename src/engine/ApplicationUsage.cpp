// Usage per application: each pass adds the accounting service's increments to the applications
// of the network that counted their interface, System taking the rest of the network's traffic.
#include "engine/ApplicationUsage.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "engine/AppData.h"
#include "engine/History.h"
#include "engine/StoredCount.h"
#include "platform/ApplicationName.h"
#include "platform/MoveAside.h"
#include "platform/PropertyList.h"

namespace kestrio {

namespace {

struct Figure {
  const char* key;
  double ApplicationUsage::*member;
};

constexpr Figure kFigures[] = {
    {"dataThisMonth", &ApplicationUsage::dataThisMonth},
    {"dataThisMonthSent", &ApplicationUsage::dataThisMonthSent},
    {"dataThisMonthRecd", &ApplicationUsage::dataThisMonthRecd},
    {"dataAllTime", &ApplicationUsage::dataAllTime},
    {"dataAllTimeSent", &ApplicationUsage::dataAllTimeSent},
    {"dataAllTimeRecd", &ApplicationUsage::dataAllTimeRecd},
};

constexpr const char* kNetworkKeys[] = {"cellular", "wifi"};
constexpr const char* kBootKey = "bootId";
constexpr const char* kReadingsKey = "readings";

const std::string* textIn(const PlistValue::Dictionary& d, const char* key) {
  auto it = d.find(key);
  return it == d.end() ? nullptr : it->second.get<std::string>();
}

std::optional<double> countIn(const PlistValue::Dictionary& d, const char* key) {
  auto it = d.find(key);
  return it == d.end() ? std::nullopt : storedCount(it->second);
}

constexpr const char* kDaysKey = "days";
// More days than any billing period has: a larger table is damage.
constexpr std::size_t kMaxDays = 400;

// The days of a stored application: a flat list of pairs, the day's start (whole seconds since
// 1970) then its count, which reads far faster than a table keyed by texts.
std::optional<std::map<std::int64_t, double>> daysIn(const PlistValue& stored) {
  auto* days = stored.get<PlistValue::Array>();
  if (!days || days->size() % 2 != 0 || days->size() > 2 * kMaxDays) return std::nullopt;
  std::map<std::int64_t, double> read;
  for (std::size_t i = 0; i < days->size(); i += 2) {
    auto* start = (*days)[i].get<std::int64_t>();
    const std::optional<double> count = storedCount((*days)[i + 1]);
    if (!start || !count) return std::nullopt;
    read[*start] = *count;
  }
  return read;
}

// Why the stored applications of one network cannot be read; empty when they can.
std::string damageInApplications(const PlistValue& stored) {
  auto* applications = stored.get<PlistValue::Dictionary>();
  if (!applications) return "the applications are malformed";
  if (applications->size() > ApplicationUsageStore::kMaxApplications) {
    return "it holds too many applications";
  }
  for (const auto& [key, value] : *applications) {
    auto* entry = value.get<PlistValue::Dictionary>();
    const std::string what = "the figures of application " + key + " are malformed";
    if (key.empty() || !entry || !textIn(*entry, "name") || !textIn(*entry, "icon")) return what;
    for (const Figure& figure : kFigures) {
      if (!countIn(*entry, figure.key)) return what;
    }
    if (auto days = entry->find(kDaysKey); days != entry->end() && !daysIn(days->second)) {
      return what;
    }
  }
  return {};
}

// Why the stored readings cannot be read; empty when they can.
std::string damageInReadings(const PlistValue& stored) {
  auto* readings = stored.get<PlistValue::Array>();
  if (!readings || readings->size() > ApplicationUsageStore::kMaxReadings) {
    return "the service's last reading is malformed";
  }
  for (const PlistValue& value : *readings) {
    auto* entry = value.get<PlistValue::Dictionary>();
    if (!entry || !textIn(*entry, "cgroup") || !textIn(*entry, "interface") ||
        !textIn(*entry, "key") || textIn(*entry, "key")->empty() || !countIn(*entry, "received") ||
        !countIn(*entry, "sent")) {
      return "the service's last reading is malformed";
    }
  }
  return {};
}

std::string damageIn(const PlistValue::Dictionary& d) {
  for (const char* network : kNetworkKeys) {
    auto it = d.find(network);
    if (it == d.end()) continue;
    if (std::string why = damageInApplications(it->second); !why.empty()) return why;
  }
  auto readings = d.find(kReadingsKey);
  if (readings != d.end()) {
    if (std::string why = damageInReadings(readings->second); !why.empty()) return why;
    if (!textIn(d, kBootKey)) return "the boot of the service's last reading is malformed";
  }
  return {};
}

ApplicationUsageMap applicationsFrom(const PlistValue::Dictionary& d, const char* network) {
  ApplicationUsageMap applications;
  auto it = d.find(network);
  if (it == d.end()) return applications;
  for (const auto& [key, value] : *it->second.get<PlistValue::Dictionary>()) {
    const auto& entry = *value.get<PlistValue::Dictionary>();
    ApplicationUsage usage;
    usage.name = *textIn(entry, "name");
    usage.icon = *textIn(entry, "icon");
    for (const Figure& figure : kFigures) usage.*figure.member = *countIn(entry, figure.key);
    if (auto days = entry.find(kDaysKey); days != entry.end()) usage.days = *daysIn(days->second);
    applications.emplace(key, std::move(usage));
  }
  return applications;
}

PlistValue toPlist(const ApplicationUsageMap& applications) {
  PlistValue::Dictionary stored;
  for (const auto& [key, usage] : applications) {
    PlistValue::Dictionary entry{{"name", PlistValue(usage.name)},
                                 {"icon", PlistValue(usage.icon)}};
    for (const Figure& figure : kFigures) entry[figure.key] = PlistValue(usage.*figure.member);
    if (!usage.days.empty()) {
      PlistValue::Array days;
      days.reserve(2 * usage.days.size());
      for (const auto& [day, bytes] : usage.days) {
        days.emplace_back(day);
        days.emplace_back(bytes);
      }
      entry[kDaysKey] = PlistValue(std::move(days));
    }
    stored[key] = PlistValue(std::move(entry));
  }
  return PlistValue(std::move(stored));
}

bool hasPeriodFigures(const ApplicationUsage& usage) {
  return usage.dataThisMonth > 0 || usage.dataThisMonthSent > 0 || usage.dataThisMonthRecd > 0;
}

// Keeps the period's figures of every application that counted something beside the history
// entry that closed the period, largest first, and starts each application's period again.
Stored archivePeriod(Platform& platform, ApplicationUsageMap& applications, int dataType,
                     const History& entry) {
  std::vector<ClosedApplication> closed;
  for (auto& [key, usage] : applications) {
    if (hasPeriodFigures(usage)) {
      closed.push_back({key, usage.name, usage.icon, usage.dataThisMonthSent,
                        usage.dataThisMonthRecd, usage.dataThisMonth});
    }
    usage.dataThisMonth = usage.dataThisMonthSent = usage.dataThisMonthRecd = 0;
    usage.days.clear();
  }
  if (closed.empty() || !entry.uniqueId()) return {};
  std::stable_sort(closed.begin(), closed.end(),
                   [](const auto& a, const auto& b) { return a.dataTotal > b.dataTotal; });
  return ApplicationHistory::add(platform, {*entry.uniqueId(), dataType, entry.startDate(),
                                            entry.endDate(), std::move(closed)});
}

}  // namespace

ApplicationUsageStore::ApplicationUsageStore(Platform& platform) : platform_(platform) {}

Stored ApplicationUsageStore::closePeriod(Platform& platform, int dataType, const History& entry) {
  if (!platform.files().exists(platform.documentPath(kFileName))) return {};
  ApplicationUsageStore store(platform);
  store.load();
  ApplicationUsageMap& applications = dataType == 1 ? store.cellular_ : store.wifi_;
  if (Stored stored = archivePeriod(platform, applications, dataType, entry); !stored.ok()) {
    return stored;
  }
  return store.save();
}

std::string ApplicationUsageStore::path() const {
  return platform_.documentPath(kFileName);
}

const ApplicationUsageMap& ApplicationUsageStore::applications(int dataType) const {
  return dataType == 1 ? cellular_ : wifi_;
}

void ApplicationUsageStore::load() {
  cellular_.clear();
  wifi_.clear();
  bootId_.clear();
  readings_.reset();
  const std::string file = path();
  FileSystem& files = platform_.files();
  if (!files.exists(file)) return;
  auto bytes = files.read(file);
  const bool oversized = bytes && bytes->size() > kMaxBytes;
  std::optional<PlistValue> parsed;
  if (bytes && !oversized) parsed = plist::parse(*bytes);
  bytes.reset();
  std::string damage;
  if (oversized) {
    damage = "is larger than the limit of " + std::to_string(kMaxBytes / 1024 / 1024) + " MiB";
  } else if (!parsed || !parsed->is<PlistValue::Dictionary>()) {
    damage = "is not a property list of applications";
  } else if (std::string why = damageIn(*parsed->get<PlistValue::Dictionary>()); !why.empty()) {
    damage = "is damaged (" + why + ")";
  }
  if (!damage.empty()) {
    // Kept aside for the user; counting starts again from the service's next reading.
    auto aside = moveAside(files, file, platform_.now());
    platform_.warn("ApplicationUsage: " + file + " cannot be read: it " + damage +
                   (aside ? "; moved to " + *aside : "; it could not be moved aside"));
    return;
  }
  const auto& d = *parsed->get<PlistValue::Dictionary>();
  cellular_ = applicationsFrom(d, kNetworkKeys[0]);
  wifi_ = applicationsFrom(d, kNetworkKeys[1]);
  auto readings = d.find(kReadingsKey);
  if (readings == d.end()) return;
  bootId_ = *textIn(d, kBootKey);
  ApplicationReadingMap memory;
  for (const PlistValue& value : *readings->second.get<PlistValue::Array>()) {
    const auto& entry = *value.get<PlistValue::Dictionary>();
    memory[{*textIn(entry, "cgroup"), *textIn(entry, "interface")}] = {
        *textIn(entry, "key"), *countIn(entry, "received"), *countIn(entry, "sent")};
  }
  readings_ = std::move(memory);
}

Stored ApplicationUsageStore::save() {
  PlistValue::Dictionary d{{kNetworkKeys[0], toPlist(cellular_)},
                           {kNetworkKeys[1], toPlist(wifi_)}};
  if (readings_) {
    PlistValue::Array readings;
    readings.reserve(readings_->size());
    for (const auto& [where, reading] : *readings_) {
      readings.push_back(
          PlistValue(PlistValue::Dictionary{{"cgroup", PlistValue(where.first)},
                                            {"interface", PlistValue(where.second)},
                                            {"key", PlistValue(reading.key)},
                                            {"received", PlistValue(reading.received)},
                                            {"sent", PlistValue(reading.sent)}}));
    }
    d[kReadingsKey] = PlistValue(std::move(readings));
    d[kBootKey] = PlistValue(bootId_);
  }
  const std::string file = path();
  // Binary: hundreds of applications are read and written at every pass, and the binary form
  // takes a fraction of the XML parser's time.
  const std::string bytes = plist::toBinary(PlistValue(std::move(d)));
  // A pass without traffic stores what the file holds already: no write, no sync.
  if (platform_.files().read(file) == bytes) return {};
  if (!platform_.files().writeAtomically(file, bytes)) {
    platform_.warn("Writing data to file failed: " + file);
    return Stored::failure("could not store " + file);
  }
  return {};
}

void ApplicationUsageStore::update(const ApplicationCounters& reading, const AppData& cellular,
                                   const AppData& wifi) {
  const Network networks[] = {{&cellular, &cellular_}, {&wifi, &wifi_}};
  if (reading.state != ApplicationCounters::State::Read) {
    for (int i = 0; i < 2; ++i) settleNetwork(networks[i], nullptr, i + 1);
    return;
  }

  // One (cgroup, interface) could be answered twice (counted in two namespaces whose interfaces
  // share a name): its counters are summed, as the interface's own would be.
  ApplicationReadingMap now;
  for (const ApplicationCounter& c : reading.counters) {
    ApplicationReading& one = now[{c.cgroup, c.interface}];
    one.received += static_cast<double>(c.received);
    one.sent += static_cast<double>(c.sent);
  }

  const std::string boot = platform_.bootId();
  // The first reading ever only sets where counting starts: what the service counted before
  // crossed no pass of Kestrio's. After a restart of the machine every counter is new.
  const bool counting = readings_.has_value();
  const bool sameBoot = boot.empty() || bootId_.empty() || boot == bootId_;
  const std::vector<std::string>& cellularInterfaces = cellular.countedInterfaces();
  const std::vector<std::string>& wifiInterfaces = wifi.countedInterfaces();
  auto counts = [](const std::vector<std::string>& names, const std::string& name) {
    return std::find(names.begin(), names.end(), name) != names.end();
  };

  std::map<std::string, Increment> increments[2];
  std::map<std::string, ApplicationName> named;         // the applications named in this pass
  std::optional<std::vector<std::string>> directories;  // asked once, when a cgroup is new
  const auto nameOf = [&](const std::string& cgroup) {
    if (!directories) directories = platform_.dataDirectories();
    return nameApplication(platform_.files(), *directories, cgroup);
  };
  for (auto& [where, one] : now) {
    const auto& [cgroup, interface] = where;
    const ApplicationReading* last = nullptr;
    if (readings_) {
      auto it = readings_->find(where);
      if (it != readings_->end()) last = &it->second;
    }
    if (last) {
      one.key = last->key;
    } else {
      ApplicationName name = nameOf(cgroup);
      one.key = name.key;
      named.emplace(name.key, std::move(name));
    }
    if (!counting) continue;
    // A counter that fell was counted again from zero (the service started anew without its
    // pinned counters): everything it shows now is new, as for a new cgroup.
    const bool continues =
        last && sameBoot && one.received >= last->received && one.sent >= last->sent;
    const Increment inc{continues ? one.sent - last->sent : one.sent,
                        continues ? one.received - last->received : one.received};
    if (inc.sent == 0 && inc.received == 0) continue;
    const int network = counts(cellularInterfaces, interface) ? 0
                        : counts(wifiInterfaces, interface)   ? 1
                                                              : -1;
    // Traffic on an interface neither network counts (loopback, a bridge, a container's veth)
    // crosses a counted link again, if at all, as forwarded traffic.
    if (network < 0) continue;
    Increment& sum = increments[network][one.key];
    sum.sent += inc.sent;
    sum.received += inc.received;
  }
  // A cgroup that is gone is forgotten: its path, made again, is a new cgroup counting from zero.
  readings_ = std::move(now);
  bootId_ = boot;

  // Names for applications a network meets for the first time, whose cgroups were named before.
  for (int i = 0; i < 2; ++i) {
    for (const auto& [key, inc] : increments[i]) {
      if (networks[i].applications->count(key) || named.count(key)) continue;
      for (const auto& [where, one] : *readings_) {
        if (one.key != key) continue;
        named.emplace(key, nameOf(where.first));
        break;
      }
    }
  }
  for (int i = 0; i < 2; ++i) {
    for (const auto& [key, inc] : increments[i]) {
      auto it = named.find(key);
      if (it == named.end()) continue;
      auto app = networks[i].applications->find(key);
      if (app != networks[i].applications->end()) {
        app->second.name = it->second.name;
        app->second.icon = it->second.icon;
      }
    }
  }
  for (int i = 0; i < 2; ++i) {
    // New applications take their names before their figures are added.
    for (const auto& [key, inc] : increments[i]) {
      ApplicationUsageMap& applications = *networks[i].applications;
      if (applications.count(key)) continue;
      if (applications.size() >= kMaxApplications && key != kSystemApplication) continue;
      auto it = named.find(key);
      applications[key] = ApplicationUsage{it == named.end() ? key : it->second.name,
                                           it == named.end() ? "" : it->second.icon};
    }
    settleNetwork(networks[i], &increments[i], i + 1);
  }
}

void ApplicationUsageStore::settleNetwork(const Network& network,
                                          const std::map<std::string, Increment>* increments,
                                          int dataType) {
  const AppData& record = *network.record;
  ApplicationUsageMap& applications = *network.applications;

  // The period closed in this pass: its applications go beside the history entry that closed it.
  if (record.monthlyResetOccured()) {
    const std::vector<History> periods = History::getAllBillingCycleLogs(platform_);
    const auto entry = std::find_if(periods.rbegin(), periods.rend(), [&](const History& h) {
      return h.dataType() == dataType && h.uniqueId();
    });
    if (entry != periods.rend()) {
      if (Stored stored = archivePeriod(platform_, applications, dataType, *entry); !stored.ok()) {
        platform_.transactions().abortTransaction(stored.reason());
      }
    }
  }
  // A new period, or none at all while a billing cycle is missing, starts from zero.
  if (record.monthlyResetOccured() || !record.dataThisMonth()) {
    for (auto& [key, usage] : applications) {
      usage.dataThisMonth = usage.dataThisMonthSent = usage.dataThisMonthRecd = 0;
      usage.days.clear();
    }
  }
  if (!increments) return;

  // System takes what the network counted beyond its applications.
  Increment sum;
  for (const auto& [key, inc] : *increments) {
    sum.sent += inc.sent;
    sum.received += inc.received;
  }
  Increment system{std::max(0.0, record.dataSinceLastRunSent().value_or(0) - sum.sent),
                   std::max(0.0, record.dataSinceLastRunRecd().value_or(0) - sum.received)};

  // The record's pass added its traffic to the period unless the period closed (the traffic
  // since the previous pass then stays out of both periods, as the network's does), is off, or
  // starts later.
  const bool inPeriod = record.dataThisMonth() && !record.monthlyResetOccured() &&
                        record.lastBillingDate() && *record.lastBillingDate() <= platform_.now();
  const auto today =
      static_cast<std::int64_t>(platform_.calendar().startOfDay(platform_.now()).secondsSince1970);
  auto add = [&](ApplicationUsage& usage, const Increment& inc) {
    usage.dataAllTimeSent += inc.sent;
    usage.dataAllTimeRecd += inc.received;
    usage.dataAllTime += inc.sent + inc.received;
    if (!inPeriod) return;
    usage.dataThisMonthSent += inc.sent;
    usage.dataThisMonthRecd += inc.received;
    usage.dataThisMonth += inc.sent + inc.received;
    usage.days[today] += inc.sent + inc.received;
    if (usage.days.size() > kMaxDays) usage.days.erase(usage.days.begin());
  };
  // The system's own sockets, and applications beyond the limit, count as System's.
  for (const auto& [key, inc] : *increments) {
    auto it = applications.find(key);
    if (key == kSystemApplication || it == applications.end()) {
      system.sent += inc.sent;
      system.received += inc.received;
    } else {
      add(it->second, inc);
    }
  }
  if (system.sent > 0 || system.received > 0) {
    ApplicationUsage& usage = applications[std::string(kSystemApplication)];
    usage.name = kSystemApplication;
    add(usage, system);
  }
}

void ApplicationUsageStore::settlePass(Platform& platform, const ApplicationCounters& reading,
                                       const AppData& cellular, const AppData& wifi) {
  if (reading.state != ApplicationCounters::State::Read) {
    if (reading.state == ApplicationCounters::State::Failed) {
      platform.warn("ApplicationUsage: the accounting service's reading failed: " + reading.reason);
    }
    // Without a reading the store changes only when a period closed that it holds figures of.
    const bool closed = cellular.monthlyResetOccured() || wifi.monthlyResetOccured();
    if (!closed || !platform.files().exists(platform.documentPath(kFileName))) return;
  }
  ApplicationUsageStore store(platform);
  store.load();
  store.update(reading, cellular, wifi);
  if (Stored saved = store.save(); !saved.ok()) {
    platform.transactions().abortTransaction(saved.reason());
  }
}

std::vector<std::pair<std::string, ApplicationUsage>> ApplicationUsageStore::listed(
    const ApplicationUsageMap& applications) {
  std::vector<std::pair<std::string, ApplicationUsage>> rows(applications.begin(),
                                                             applications.end());
  std::stable_sort(rows.begin(), rows.end(), [](const auto& a, const auto& b) {
    if (a.second.dataThisMonth != b.second.dataThisMonth) {
      return a.second.dataThisMonth > b.second.dataThisMonth;
    }
    if (a.second.dataAllTime != b.second.dataAllTime) {
      return a.second.dataAllTime > b.second.dataAllTime;
    }
    return a.second.name < b.second.name;
  });
  return rows;
}

}  // namespace kestrio
