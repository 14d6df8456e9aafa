#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "engine/ApplicationHistory.h"
#include "platform/ApplicationCounters.h"
#include "platform/Platform.h"
#include "platform/PlistValue.h"
#include "platform/Stored.h"

namespace kestrio {

class AppData;
class History;

// The traffic one application sent and received over one network, in the running billing period
// and in all time. The name and icon are the desktop entry's as the latest pass found them.
struct ApplicationUsage {
  std::string name;
  std::string icon;  // the desktop entry's Icon; empty when it has none
  double dataThisMonth = 0;
  double dataThisMonthSent = 0;
  double dataThisMonthRecd = 0;
  double dataAllTime = 0;
  double dataAllTimeSent = 0;
  double dataAllTimeRecd = 0;
  // The period's traffic by day: the start of the day (seconds since 1970) the passes that
  // counted it ran on. The traffic since the previous pass counts for the day of the pass.
  std::map<std::int64_t, double> days = {};
  friend bool operator==(const ApplicationUsage&, const ApplicationUsage&) = default;
};

// A network's applications by key (see ApplicationName).
using ApplicationUsageMap = std::map<std::string, ApplicationUsage>;

// The last cumulative counters of one (cgroup, interface) of the accounting service, and the
// application the cgroup was named as, so a pass names only the cgroups it has not seen.
struct ApplicationReading {
  std::string key;
  double received = 0;
  double sent = 0;
  friend bool operator==(const ApplicationReading&, const ApplicationReading&) = default;
};
using ApplicationReadingMap = std::map<std::pair<std::string, std::string>, ApplicationReading>;

// The usage per application of both networks and the memory of the service's last reading, in
// "application_usage.plist" of the documents directory, read and written whole by every pass.
//
// What "System" holds: the traffic of sockets outside any application (the kernel's, forwarded
// packets) and what the interfaces counted beyond the applications' sum. The service counts a
// packet from its IP header on, as the cgroup hooks see it; an interface's counters include the
// link's own headers as well, so the link overhead of every application's packets lands in System
// too, and the applications and System always add up to the network's own figures. System never
// goes below zero: a pass in which the applications counted more than the interface (packets
// dropped after they left a socket) gives System nothing and leaves the applications as counted.
class ApplicationUsageStore {
 public:
  static constexpr const char* kFileName = "application_usage.plist";
  // A store larger than this is set aside unread, as a usage record is. The service counts at
  // most 65,536 (cgroup, interface) pairs, closed applications' included, until the next boot;
  // its last reading at that size stays far below the limit.
  static constexpr std::size_t kMaxBytes = 32 * 1024 * 1024;
  static constexpr std::size_t kMaxReadings = 2 * 65536;
  // A network keeps at most this many applications; traffic of any further one counts as
  // System's, so a flood of short-lived units cannot grow every pass's file without end.
  static constexpr std::size_t kMaxApplications = 5000;

  explicit ApplicationUsageStore(Platform& platform);

  // Reads the file. A missing file is no data; one that cannot be read is moved aside, logged,
  // and read as missing.
  void load();
  // Writes the file whole, atomically. A failure (logged) says "could not store PATH".
  Stored save();
  std::string path() const;

  // One pass: `reading` is the service's answer taken just before the records' passes, which left
  // in `cellular` and `wifi` the traffic they counted and on which interfaces. Each (cgroup,
  // interface) adds its increment since the previous reading to the application of the network
  // that counted the interface; System takes each network's remainder. A network's billing
  // period closed in the pass closes its applications' period figures into ApplicationHistory.
  // Without a reading, only a period that closed is closed here.
  void update(const ApplicationCounters& reading, const AppData& cellular, const AppData& wifi);

  // The applications of a network (dataType 1 cellular, 2 Wi-Fi).
  const ApplicationUsageMap& applications(int dataType) const;
  void setApplications(int dataType, ApplicationUsageMap applications) {
    (dataType == 1 ? cellular_ : wifi_) = std::move(applications);
  }
  // Whether any reading of the service was ever kept.
  bool hasReading() const { return readings_.has_value(); }
  const std::optional<ApplicationReadingMap>& readings() const { return readings_; }

  // Everything a refresh does with the applications, as one step of its transaction: load,
  // update, save. Does nothing at all without the service when no period closed. A store that
  // fails ends the transaction without installing any of it.
  static void settlePass(Platform& platform, const ApplicationCounters& reading,
                         const AppData& cellular, const AppData& wifi);

  // The user closed the billing period of a network (dataType) early, into `entry`: the
  // applications' period figures go beside it and start again. Answers whether that was stored.
  static Stored closePeriod(Platform& platform, int dataType, const History& entry);

  // The applications in the order they are listed: the most used in the period first, then the
  // most used in all time, then by name.
  static std::vector<std::pair<std::string, ApplicationUsage>> listed(
      const ApplicationUsageMap& applications);

 private:
  struct Network {
    const AppData* record;
    ApplicationUsageMap* applications;
  };
  struct Increment {
    double sent = 0;
    double received = 0;
  };
  void settleNetwork(const Network& network, const std::map<std::string, Increment>* increments,
                     int dataType);

  Platform& platform_;
  ApplicationUsageMap cellular_;
  ApplicationUsageMap wifi_;
  std::string bootId_;
  std::optional<ApplicationReadingMap> readings_;
};

}  // namespace kestrio
