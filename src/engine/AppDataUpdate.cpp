// One update pass of a usage record: sample the network, measure the traffic since the previous
// pass, add it to every span, and keep the day.
#include <cstdlib>
#include <optional>
#include <set>
#include <string_view>
#include <utility>
#include <vector>

#include "engine/AppData.h"
#include "engine/CustomCounter.h"
#include "engine/History.h"
#include "platform/Transaction.h"
#include "services/DeviceInfo.h"
#include "services/StringFormatter.h"

namespace kestrio {

namespace {

// A restart that long after the last pass is worth telling the user: the traffic in between
// could not be counted.
constexpr double kBootNoticeSeconds = 240 * 60;

// Two readings of one boot's instant differ by a second at most: the kernel gives it in whole
// seconds, worked out from the wall clock each time. Two real boots lie much further apart: the
// later one starts after the last pass of the earlier one, and a restart alone takes longer.
constexpr std::int64_t kSameBootSeconds = 5;

struct Increment {
  double total = 0;
  double sent = 0;
  double received = 0;
};

// The boot running now: its identity and its instant (0 when unknown).
struct Boot {
  std::string id;
  std::int64_t instant = 0;
};

// Whether the text is a boot identity as the kernel writes it: a UUID in lower-case hex.
bool isBootIdentity(std::string_view text) {
  if (text.size() != 36) return false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    const bool dash = i == 8 || i == 13 || i == 18 || i == 23;
    const bool hex = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
    if (dash ? c != '-' : !hex) return false;
  }
  return true;
}

// Which boot a remembered interface was read in, compared with the boot running now.
enum class BootMatch {
  Same,
  Other,
  Unknown,  // its identity is damaged: the pass's restart decision, from the instant, settles it
};

// The same boot identity, or the same boot instant, is the same boot: a container started again
// (systemd-nspawn) gets a new identity while the machine's boot, and every counter, goes on; a
// real restart changes both. A remembered identity the kernel could not have written is damage,
// not a restart: it tells nothing, so it cannot make the traffic since boot count again.
BootMatch bootOf(const InterfaceSnapshot& last, const Boot& boot) {
  if (last.bootId == boot.id) return BootMatch::Same;
  if (last.bootInstant >= 1 && boot.instant >= 1 &&
      std::llabs(last.bootInstant - boot.instant) <= kSameBootSeconds) {
    return BootMatch::Same;
  }
  if (!last.bootId.empty() && !isBootIdentity(last.bootId)) return BootMatch::Unknown;
  return BootMatch::Other;
}

// Whether the link read now, in a pass that found no restart, is the one the memory was taken
// from: not another boot, the same link, and counters that did not fall. The same kernel index
// (or an unknown one) is the same link; so is a new index with the same hardware address, a
// link moved to another network namespace and back, which keeps its counters. A link created
// again under a new index starts its counters from zero or has another address.
bool continuesFrom(const InterfaceCounters& now, const InterfaceSnapshot& last, const Boot& boot) {
  const bool sameLink =
      now.index == 0 || last.index == 0 || now.index == last.index ||
      (!now.hardwareAddress.empty() && now.hardwareAddress == last.hardwareAddress);
  return bootOf(last, boot) != BootMatch::Other && sameLink &&
         static_cast<double>(now.received) >= last.received &&
         static_cast<double>(now.sent) >= last.sent;
}

// Each interface's traffic since the previous pass, measured from its own last counters, and
// their sum. An interface that is new, was read in another boot, is another link under the same
// name or whose counter fell has started again from zero: everything it shows now is new.
Increment perInterfaceIncrement(const std::vector<InterfaceCounters>& interfaces,
                                const InterfaceCounterMap& previous, const Boot& boot,
                                bool restarted,
                                std::vector<std::pair<std::string, Increment>>& each) {
  Increment inc;
  for (const auto& c : interfaces) {
    const double received = static_cast<double>(c.received);
    const double sent = static_cast<double>(c.sent);
    auto it = previous.find(c.name);
    const bool continues = it != previous.end() && !restarted && continuesFrom(c, it->second, boot);
    Increment one;
    one.received = continues ? received - it->second.received : received;
    one.sent = continues ? sent - it->second.sent : sent;
    inc.received += one.received;
    inc.sent += one.sent;
    each.emplace_back(c.name, one);
  }
  inc.total = inc.sent + inc.received;
  return inc;
}

// The memory after a pass: every interface of this reading at its counters now, and every
// interface of this boot that the reading lacked at its last counters, so that it neither
// loses nor repeats its traffic when it comes back. Another boot's counters are forgotten; the
// kept ones take the boot as it is known now, so a later clock step cannot part them from it.
// Each interface of the reading notes whether it counted for this network at this pass (it is
// among `chosen`) and the connection NetworkManager has in force on it, when it answered.
InterfaceCounterMap rememberedAfter(const std::vector<InterfaceCounters>& reading,
                                    const std::set<std::string>& chosen,
                                    const std::optional<InterfaceCounterMap>& before,
                                    const Boot& boot, bool restarted,
                                    const ConnectionSnapshot& connections) {
  InterfaceCounterMap memory;
  if (before && !restarted) {
    for (const auto& [name, snapshot] : *before) {
      if (bootOf(snapshot, boot) == BootMatch::Other) continue;
      InterfaceSnapshot kept = snapshot;
      if (!boot.id.empty()) kept.bootId = boot.id;
      if (boot.instant != 0) kept.bootInstant = boot.instant;
      memory.emplace(name, kept);
    }
  }
  for (const auto& c : reading) {
    if (c.loopback) continue;
    const bool counted = chosen.count(c.name) != 0;
    InterfaceSnapshot& kept = memory[c.name] = InterfaceSnapshot{boot.id,
                                                                 static_cast<double>(c.received),
                                                                 static_cast<double>(c.sent),
                                                                 c.index,
                                                                 boot.instant,
                                                                 c.hardwareAddress,
                                                                 counted};
    if (connections.known) {
      const ActiveConnection* active = connections.forInterface(c.name);
      kept.connectionUuid = active ? active->uuid : "";
      if (active) {
        kept.connectionName = active->name;
        kept.connectionMetered = active->metered;
      }
    }
  }
  return memory;
}

// The interfaces whose traffic since the previous pass counts for this network: those the
// previous pass counted here, whatever they count for from now on, so a connection that became
// metered in between leaves that traffic where it was earned. An interface the memory does not
// place (new, or remembered by an older version) counts where it counts now.
std::vector<InterfaceCounters> countedSincePrevious(const std::vector<InterfaceCounters>& reading,
                                                    const std::set<std::string>& chosen,
                                                    const InterfaceCounterMap& previous,
                                                    bool restarted) {
  std::vector<InterfaceCounters> counted;
  for (const auto& c : reading) {
    if (c.loopback) continue;
    const auto it = previous.find(c.name);
    const bool placed = !restarted && it != previous.end() && it->second.counted.has_value();
    if (placed ? *it->second.counted : chosen.count(c.name) != 0) counted.push_back(c);
  }
  return counted;
}

}  // namespace

Stored AppData::performBackgroundUpdateForType(const std::string& type, const std::string& location,
                                               bool shouldResetSinceLastAppRun) {
  // Another Kestrio process may be in the middle of a pass: wait for it, so no traffic is
  // counted twice and neither pass's result is lost. Everything the pass changes (the record,
  // the history, the custom counters, the settings it stores) is installed together or not at
  // all: a record saved without its closed day or period would lose them.
  Transaction transaction(platform_);
  if (!transaction.locked()) {
    platform_.warn("AppData: the documents directory cannot be locked; " + type + " pass skipped");
    return transaction.commit();  // why nothing can be stored
  }
  getAppData(type);
  if (!updateStandardCounters(shouldResetSinceLastAppRun)) {
    // Nothing of this pass may be stored: the memory of every interface stays as it was, so
    // the next pass that can read the counters counts the traffic in between.
    platform_.warn("AppData: the interface counters cannot be read; " + type + " pass skipped");
    const std::string why = platform_.interfaceCountersFailure();
    return transaction.abandon(Stored::failure("the interface counters cannot be read" +
                                               (why.empty() ? "" : " (" + why + ")")));
  }
  udpateBillingCounter(true);
  CustomCounter::updateCustomCountersWithDataSentSinceLastRun(
      platform_, dataSinceLastRunSent_.value_or(0), dataSinceLastRunRecd_.value_or(0),
      appDataType_);

  // The place of the previous pass becomes the last place where traffic was counted.
  if (lastLocation_ && !lastLocation_->empty() && *lastLocation_ != "Unknown") {
    lastLocationDataUsed_ = lastLocation_;
  }
  lastLocation_ = location;

  lastUpdate_ = platform_.now();
  if (Stored saved = saveAppData(); !saved.ok()) return transaction.abandon(saved);
  return transaction.commit();
}

void AppData::initialiseFirstPass(double total, double sent, double received) {
  dataAllTime_ = dataSinceLastBoot_ = total;
  dataAllTimeSent_ = dataSinceLastBootSent_ = sent;
  dataAllTimeRecd_ = dataSinceLastBootRecd_ = received;
  dataSinceLastRun_ = dataSinceLastRunSent_ = dataSinceLastRunRecd_ = 0.0;
  dataSinceAppLastRun_ = dataSinceAppLastRunSent_ = dataSinceAppLastRunRecd_ = 0.0;
  lastLocation_ = "";
  lastLocationDataUsed_ = "";
  connectionUsage_.clear();
}

std::optional<bool> AppData::restartedByBootIdentity(const std::string& bootId,
                                                     std::int64_t bootInstant) const {
  if (bootId.empty() || !interfaceCounters_) return std::nullopt;
  const Boot boot{bootId, bootInstant};
  bool known = false;
  for (const auto& [name, snapshot] : *interfaceCounters_) {
    switch (bootOf(snapshot, boot)) {
      case BootMatch::Same:
        return false;
      case BootMatch::Other:
        known = known || !snapshot.bootId.empty();
        break;
      case BootMatch::Unknown:
        platform_.log("AppData: the remembered boot identity of " + name +
                      " is damaged; the boot instant decides");
        break;
    }
  }
  if (!known) return std::nullopt;
  return true;
}

// The boot identity, when both this boot's and the previous pass's are known, decides: the boot
// instant moves whenever the wall clock is stepped (a time sync on a machine without a hardware
// clock), and must not fake a restart. A new identity at the remembered instant is no restart
// either: a container started again, on a machine whose boot goes on. The instant still dates
// the gap it names.
bool AppData::detectRestart(const std::string& bootId, std::int64_t bootInstant) {
  detectedBootEvent_ = false;
  const std::optional<bool> byIdentity = restartedByBootIdentity(bootId, bootInstant);
  const std::int64_t boot = DeviceInfo::getSecondsSinceLastBoot(platform_);
  if (boot < 1 || !lastUpdate_) return byIdentity.value_or(false);

  const Calendar& calendar = platform_.calendar();
  const Date bootDate = Date::fromSecondsSince1970(static_cast<double>(boot));
  DateComponents minute = calendar.components(bootDate);
  minute.second = 0;
  const Date bootMinute = calendar.date(minute);
  const bool restarted = byIdentity.value_or(*lastUpdate_ < bootMinute);

  if (restarted && *lastUpdate_ < bootMinute.addingSeconds(-kBootNoticeSeconds)) {
    detectedBootEvent_ = true;
    bootMsg_ =
        "between " +
        StringFormatter::getLocalizedShortDateMediumTimeStringFromDate(platform_, *lastUpdate_) +
        " and " +
        StringFormatter::getLocalizedShortDateMediumTimeStringFromDate(platform_, bootDate);
  }
  return restarted;
}

void AppData::addToConnections(const std::string& interface, const InterfaceSnapshot* previous,
                               bool restarted, double sent, double received,
                               const ConnectionSnapshot& connections) {
  // The connection the previous pass found on the interface carried its traffic since; where
  // that pass did not know it (NetworkManager did not answer, a new interface, another boot),
  // the one in force now is the best witness.
  std::string uuid;
  std::string name;
  bool metered = false;
  if (!restarted && previous && previous->connectionUuid) {
    uuid = *previous->connectionUuid;
    name = previous->connectionName;
    metered = previous->connectionMetered;
  } else if (const ActiveConnection* now =
                 connections.known ? connections.forInterface(interface) : nullptr) {
    uuid = now->uuid;
    name = now->name;
    metered = now->metered;
  }
  // Traffic on no known connection stays with the network's own figures alone.
  if (uuid.empty()) return;
  auto it = connectionUsage_.find(uuid);
  if (it == connectionUsage_.end()) {
    if (connectionUsage_.size() >= connection_usage::kMaxConnections) return;
    it = connectionUsage_.emplace(uuid, ConnectionUsage{}).first;
  }
  ConnectionUsage& usage = it->second;
  usage.name = name;
  usage.metered = metered;
  usage.dataAllTime += sent + received;
  usage.dataAllTimeSent += sent;
  usage.dataAllTimeRecd += received;
  auto& pass = connectionsSinceLastRun_[uuid];
  pass.first += sent;
  pass.second += received;
}

bool AppData::updateStandardCounters(bool shouldResetSinceLastAppRun) {
  closedDay_.reset();
  connectionsSinceLastRun_.clear();
  countedInterfaces_.clear();
  // One reading of the counters serves the whole pass, so the sums and the per-interface
  // memory agree exactly. A reading without a single interface is as good as none: a real
  // system always has one, so it was cut short.
  const std::optional<std::vector<InterfaceCounters>> reading = platform_.readInterfaceCounters();
  if (!reading || reading->empty()) return false;
  // NetworkManager names the connection of every interface; whether a metered one counts as
  // cellular is the user's choice.
  std::optional<ConnectionSnapshot> asked;
  const ConnectionSnapshot& connections =
      connections_ ? *connections_ : asked.emplace(platform_.activeConnections());
  const ConnectionSnapshot byKindAlone;
  const std::vector<InterfaceCounters> interfaces = DeviceInfo::chooseInterfaces(
      platform_, *reading, appDataType_,
      DeviceInfo::countsMeteredAsCellular(platform_) ? &connections : &byKindAlone);
  std::set<std::string> chosen;
  for (const auto& c : interfaces) chosen.insert(c.name);
  double sent = 0;
  double received = 0;
  for (const auto& c : interfaces) {
    sent += static_cast<double>(c.sent);
    received += static_cast<double>(c.received);
  }
  const double total = sent + received;
  const std::int64_t instant = DeviceInfo::getSecondsSinceLastBoot(platform_);
  const Boot boot{platform_.bootId(), instant >= 1 ? instant : 0};

  if (!loadedRecord_) {
    initialiseFirstPass(total, sent, received);
    interfaceCounters_ = rememberedAfter(*reading, chosen, std::nullopt, boot, false, connections);
    return true;
  }

  const bool restarted = detectRestart(boot.id, boot.instant);

  Increment inc;
  if (interfaceCounters_) {
    std::vector<std::pair<std::string, Increment>> each;
    const std::vector<InterfaceCounters> counted =
        countedSincePrevious(*reading, chosen, *interfaceCounters_, restarted);
    for (const auto& c : counted) countedInterfaces_.push_back(c.name);
    inc = perInterfaceIncrement(counted, *interfaceCounters_, boot, restarted, each);
    for (const auto& [name, one] : each) {
      const auto previous = interfaceCounters_->find(name);
      addToConnections(name, previous == interfaceCounters_->end() ? nullptr : &previous->second,
                       restarted, one.sent, one.received, connections);
    }
  } else if (!restarted && total >= dataSinceLastBoot_.value_or(0)) {
    // A file of an older version knows only the network's totals.
    inc = {total - dataSinceLastBoot_.value_or(0), sent - dataSinceLastBootSent_.value_or(0),
           received - dataSinceLastBootRecd_.value_or(0)};
  } else {
    inc = {total, sent, received};
  }
  if (!interfaceCounters_) countedInterfaces_.assign(chosen.begin(), chosen.end());
  interfaceCounters_ =
      rememberedAfter(*reading, chosen, interfaceCounters_, boot, restarted, connections);
  // A connection renamed, or made metered or not, shows as it is now.
  for (const ActiveConnection& active : connections.connections) {
    if (auto it = connectionUsage_.find(active.uuid); it != connectionUsage_.end()) {
      it->second.name = active.name;
      it->second.metered = active.metered;
    }
  }

  dataAllTime_ = dataAllTime_.value_or(0) + inc.total;
  dataAllTimeSent_ = dataAllTimeSent_.value_or(0) + inc.sent;
  dataAllTimeRecd_ = dataAllTimeRecd_.value_or(0) + inc.received;

  dataSinceLastRun_ = inc.total;
  dataSinceLastRunSent_ = inc.sent;
  dataSinceLastRunRecd_ = inc.received;

  dataSinceLastBoot_ = total;
  dataSinceLastBootSent_ = sent;
  dataSinceLastBootRecd_ = received;

  if (shouldResetSinceLastAppRun) {
    dataSinceAppLastRun_ = dataSinceAppLastRunSent_ = dataSinceAppLastRunRecd_ = 0.0;
  } else {
    dataSinceAppLastRun_ = dataSinceAppLastRun_.value_or(0) + inc.total;
    dataSinceAppLastRunSent_ = dataSinceAppLastRunSent_.value_or(0) + inc.sent;
    dataSinceAppLastRunRecd_ = dataSinceAppLastRunRecd_.value_or(0) + inc.received;
  }

  if (!lastUpdate_) {
    // Only a file edited by hand lacks the last update: nothing tells which day its today
    // counters belong to, so today starts with this pass and no day is closed.
    dataToday_ = inc.total;
    dataTodaySent_ = inc.sent;
    dataTodayRecd_ = inc.received;
    return true;
  }
  if (platform_.calendar().isSameDay(*lastUpdate_, platform_.now())) {
    // After a day change the today counters hold -1, and the day's first increment adds to it.
    dataToday_ = dataToday_.value_or(0) + inc.total;
    dataTodaySent_ = dataTodaySent_.value_or(0) + inc.sent;
    dataTodayRecd_ = dataTodayRecd_.value_or(0) + inc.received;
  } else {
    closeDay(inc.total, inc.sent, inc.received);
  }
  return true;
}

void AppData::closeDay(double deltaTotal, double deltaSent, double deltaReceived) {
  const Calendar& calendar = platform_.calendar();
  const DateComponents today = calendar.components(platform_.now());
  const DateComponents last = calendar.components(*lastUpdate_);
  // The entry ends at midnight before today when the day number went up within the month,
  // otherwise at midnight starting today.
  const int endDay = today.day > last.day ? today.day - 1 : today.day;

  ClosedDay day;
  day.startDate = *lastUpdate_;
  day.endDate = calendar.date(DateComponents{today.year, today.month, endDay, 0, 0, 0, 0});
  if (dataToday_.value_or(0) > deltaTotal) {
    day.dataSent = dataTodaySent_.value_or(0);
    day.dataReceived = dataTodayRecd_.value_or(0);
    day.dataTotal = dataToday_.value_or(0);
  } else {
    platform_.log("AppData: Add History: Using range value for history");
    day.dataSent = deltaSent;
    day.dataReceived = deltaReceived;
    day.dataTotal = deltaTotal;
  }
  day.dataType = appDataType_ == "cellular" ? 1 : 2;
  day.historyType = 2;
  closedDay_ = day;
  // The day's record is stored with the pass or the pass stores nothing: a zeroed day without
  // its record would lose the day's usage.
  if (Stored stored = History::addNewHistoryItemLog(
          platform_, History(platform_, day.startDate, day.endDate, day.dataSent, day.dataReceived,
                             day.dataTotal, day.dataType, day.historyType));
      !stored.ok()) {
    platform_.transactions().abortTransaction(stored.reason());
  }

  dataToday_ = dataTodaySent_ = dataTodayRecd_ = -1.0;
}

}  // namespace kestrio
