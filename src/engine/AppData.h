#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "engine/AppSettings.h"
#include "engine/ConnectionUsage.h"
#include "engine/Field.h"
#include "platform/Platform.h"
#include "platform/Stored.h"

namespace kestrio {

// The last counters of one interface, with the boot they were read in and the kernel's index of
// the link. An interface's next increment is measured from them, so one interface starting
// again from zero (a modem re-plugged, a link re-dialled or created anew) never makes the
// others' traffic count twice, and an interface that was away for a pass does not count its
// past traffic again when it comes back.
struct InterfaceSnapshot {
  std::string bootId;
  double received = 0;
  double sent = 0;
  std::uint32_t index = 0;  // 0 when unknown
  // The boot instant (seconds since 1970) when the counters were read; 0 when unknown. A
  // container started again gets a new boot identity while the machine's boot, and its
  // counters, go on: the instant tells the two apart.
  std::int64_t bootInstant = 0;
  // The link's hardware address; empty when unknown. A link that comes back under a new index
  // with the same address and counters that did not fall was moved, not created again.
  std::string hardwareAddress = {};
  // Whether the interface's traffic counted for this record's network at that pass. The traffic
  // until the next pass belongs to the same network, even when the interface counts for the
  // other one from then on (its connection became metered). Unknown in older files: the next
  // pass decides then.
  std::optional<bool> counted = {};
  // The NetworkManager connection in force on the interface at that pass: the traffic until the
  // next pass was carried on it. An empty UUID is no connection; nothing when NetworkManager
  // did not answer (or in older files): the connection in force at the next pass takes it then.
  std::optional<std::string> connectionUuid = {};
  std::string connectionName = {};
  bool connectionMetered = false;
  friend bool operator==(const InterfaceSnapshot&, const InterfaceSnapshot&) = default;
};

using InterfaceCounterMap = std::map<std::string, InterfaceSnapshot>;

// A day that a pass closed: the values its history entry takes.
struct ClosedDay {
  Date startDate;
  Date endDate;
  double dataSent = 0;
  double dataReceived = 0;
  double dataTotal = 0;
  int dataType = 1;     // 1 cellular, 2 Wi-Fi
  int historyType = 2;  // one day
};

// The usage record of one network and its file ("app_data_cellular.plist",
// "app_data_wifi.plist"). The file is the source of truth: every pass reloads it, updates it and
// writes it back whole.
class AppData {
 public:
  static constexpr const char* kCellularFileName = "app_data_cellular.plist";
  static constexpr const char* kWifiFileName = "app_data_wifi.plist";
  // The per-interface counters of the last pass, kept beside the record's own keys.
  static constexpr const char* kInterfaceCountersKey = "interfaceCounters";
  // A record file larger than this is set aside unread: a sound record (even one remembering
  // thousands of interfaces) stays far below it, and parsing a huge one would take seconds and
  // hundreds of megabytes on every pass.
  static constexpr std::size_t kMaxRecordBytes = 8 * 1024 * 1024;

  explicit AppData(Platform& platform);
  ~AppData();
  AppData(const AppData&) = delete;
  AppData& operator=(const AppData&) = delete;

  // Sets the type, reloads the settings (unless shared), then loads the file into the fields. A
  // missing file changes no field; a file that cannot be read is moved aside, logged, and treated
  // as missing.
  void getAppData(const std::string& type);
  // Writes every field that holds something to the file, atomically. A failure (logged; the
  // previous file stays) says "could not store PATH".
  Stored saveAppData();
  std::string dataFilePath() const;

  // The number under the key, 0 when absent or not a number.
  static double getNumberForKey(const std::string& key, const PlistValue::Dictionary& dictionary);
  // The network's counters summed: direction 1 sent, 2 received, 3 both; 0 for other codes.
  double getCurrentDataUsageForDataType(const std::string& type, int direction);

  // One whole update pass of the record of `type`, under the documents lock. The flag is true
  // when the user is leaving the application; it starts a new since-the-application-ran span.
  // A pass that cannot read the counters or store the record changes nothing, and its failure
  // ends the change it belongs to without installing any of it.
  Stored performBackgroundUpdateForType(const std::string& type, const std::string& location,
                                        bool shouldResetSinceLastAppRun);
  // Sampling, restart detection, increment, spans and the day change of a pass. False, with
  // nothing changed, when the counters could not be read or the reading was empty.
  bool updateStandardCounters(bool shouldResetSinceLastAppRun);

  // The billing period at the moment of the call, for a cycle code.
  void setBillingDates(int code);
  // Brings the period and its counter up to date, closing an ended period into the history.
  // `inUpdatePass` is true in a pass: the period counters are reloaded from the file and the
  // pass's traffic is added; false when a screen only redraws.
  void udpateBillingCounter(bool inUpdatePass);
  Date getMinDate(int n);
  static bool isBetweenDate(Date date, Date start, Date end);
  // The moment the period counter began counting in the period [start, next): the latest reset
  // of this network's usage within it (the end of the history entry the reset made), or `start`
  // when there was none.
  static Date countingSince(Platform& platform, int dataType, Date start, Date next);

  KESTRIO_FIELD(std::optional<double>, dataSinceLastBoot, setDataSinceLastBoot)
  KESTRIO_FIELD(std::optional<double>, dataSinceLastBootSent, setDataSinceLastBootSent)
  KESTRIO_FIELD(std::optional<double>, dataSinceLastBootRecd, setDataSinceLastBootRecd)
  KESTRIO_FIELD(std::optional<double>, dataSinceLastRun, setDataSinceLastRun)
  KESTRIO_FIELD(std::optional<double>, dataSinceLastRunSent, setDataSinceLastRunSent)
  KESTRIO_FIELD(std::optional<double>, dataSinceLastRunRecd, setDataSinceLastRunRecd)
  KESTRIO_FIELD(std::optional<double>, dataSinceAppLastRun, setDataSinceAppLastRun)
  KESTRIO_FIELD(std::optional<double>, dataSinceAppLastRunSent, setDataSinceAppLastRunSent)
  KESTRIO_FIELD(std::optional<double>, dataSinceAppLastRunRecd, setDataSinceAppLastRunRecd)
  KESTRIO_FIELD(std::optional<double>, dataToday, setDataToday)
  KESTRIO_FIELD(std::optional<double>, dataTodaySent, setDataTodaySent)
  KESTRIO_FIELD(std::optional<double>, dataTodayRecd, setDataTodayRecd)
  KESTRIO_FIELD(std::optional<double>, dataThisMonth, setDataThisMonth)
  KESTRIO_FIELD(std::optional<double>, dataThisMonthSent, setDataThisMonthSent)
  KESTRIO_FIELD(std::optional<double>, dataThisMonthRecd, setDataThisMonthRecd)
  KESTRIO_FIELD(std::optional<double>, dataAllTime, setDataAllTime)
  KESTRIO_FIELD(std::optional<double>, dataAllTimeSent, setDataAllTimeSent)
  KESTRIO_FIELD(std::optional<double>, dataAllTimeRecd, setDataAllTimeRecd)
  KESTRIO_FIELD(std::optional<Date>, lastBillingDate, setLastBillingDate)
  KESTRIO_FIELD(std::optional<Date>, nextBillingDate, setNextBillingDate)
  KESTRIO_FIELD(std::optional<int>, billingDaysTotal, setBillingDaysTotal)
  KESTRIO_FIELD(std::optional<int>, billingDaysElapsed, setBillingDaysElapsed)
  KESTRIO_FIELD(std::optional<Date>, lastUpdate, setLastUpdate)
  KESTRIO_FIELD(std::string, appDataType, setAppDataType)
  KESTRIO_FIELD(std::optional<std::string>, lastLocation, setLastLocation)
  KESTRIO_FIELD(std::optional<std::string>, lastLocationDataUsed, setLastLocationDataUsed)
  KESTRIO_FIELD(bool, detectedBootEvent, setDetectedBootEvent)
  KESTRIO_FIELD(std::string, bootMsg, setBootMsg)
  KESTRIO_FIELD(bool, monthlyResetOccured, setMonthlyResetOccured)
  // Per interface, for every interface seen in this boot whichever network it counts for: the
  // counters its next increment is measured from. Nothing for a file of an older version,
  // whose first pass measures from the network's totals.
  KESTRIO_FIELD(std::optional<InterfaceCounterMap>, interfaceCounters, setInterfaceCounters)
  // The day the latest pass closed, if it closed one.
  KESTRIO_FIELD(std::optional<ClosedDay>, closedDay, setClosedDay)
  // The traffic of this network per NetworkManager connection; empty when none was known.
  KESTRIO_FIELD(ConnectionUsageMap, connectionUsage, setConnectionUsage)
  // The interfaces whose traffic since the previous pass the latest pass counted for this
  // network; the applications' traffic on them belongs to it too.
  KESTRIO_FIELD(std::vector<std::string>, countedInterfaces, setCountedInterfaces)

 public:
  AppSettings& appSettings();
  // Uses the owner's settings instead of its own copy; the owner keeps them read. They must
  // outlive the record.
  void shareSettings(AppSettings& settings);
  // NetworkManager's connections as the pass found them, so both networks' updates of one pass
  // decide every interface alike: an interface switched between them is counted once, never
  // twice or not at all, and credit the same connections. Without it each update asks afresh.
  void shareConnections(ConnectionSnapshot connections) { connections_ = std::move(connections); }

 private:
  void loadFromDictionary(const PlistValue::Dictionary& stored);
  PlistValue::Dictionary toDictionary() const;
  void initialiseFirstPass(double total, double sent, double received);
  bool detectRestart(const std::string& bootId, std::int64_t bootInstant);
  std::optional<bool> restartedByBootIdentity(const std::string& bootId,
                                              std::int64_t bootInstant) const;
  void closeDay(double deltaTotal, double deltaSent, double deltaReceived);
  void addToConnections(const std::string& interface, const InterfaceSnapshot* previous,
                        bool restarted, double sent, double received,
                        const ConnectionSnapshot& connections);
  void closeBillingPeriod(std::optional<Date> endedStart, std::optional<Date> endedNext,
                          Date previousPass, bool inUpdatePass);

  Platform& platform_;
  std::unique_ptr<AppSettings> appSettings_;
  AppSettings* sharedSettings_ = nullptr;
  std::optional<ConnectionSnapshot> connections_;
  // What this pass counted on each connection, for the billing period's figures.
  std::map<std::string, std::pair<double, double>> connectionsSinceLastRun_;  // sent, received
  // The record's file as the latest load found it; nothing when there was no file. The billing
  // stage takes the period counters from it, as the previous pass stored them.
  std::optional<PlistValue::Dictionary> loadedRecord_;
};

}  // namespace kestrio
