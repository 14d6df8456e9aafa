#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/Date.h"
#include "platform/Platform.h"
#include "platform/Stored.h"

namespace kestrio {

// One application's share of a closed billing period.
struct ClosedApplication {
  std::string key;
  std::string name;
  std::string icon;
  double dataSent = 0;
  double dataReceived = 0;
  double dataTotal = 0;
  friend bool operator==(const ClosedApplication&, const ClosedApplication&) = default;
};

// The applications of one closed billing period, kept beside the history entry that closed it
// (by its uniqueId), largest first.
struct ApplicationPeriod {
  std::string historyId;
  int dataType = 1;  // 1 cellular, 2 Wi-Fi
  std::optional<Date> startDate;
  std::optional<Date> endDate;
  std::vector<ClosedApplication> applications;
  friend bool operator==(const ApplicationPeriod&, const ApplicationPeriod&) = default;
};

// The store of closed periods' applications: "application_history.archive" in the documents
// directory, a keyed archive of flat records as the history's own. The history archive is left
// as older versions wrote it, and a period without an entry here simply had no applications
// counted.
class ApplicationHistory {
 public:
  static constexpr const char* kFileName = "application_history.archive";
  static constexpr const char* kTopKey = "applicationPeriods";
  static constexpr const char* kClassName = "ApplicationPeriod";

  // Every period in the order appended; empty when the file is missing or unreadable (moved
  // aside and logged).
  static std::vector<ApplicationPeriod> all(Platform& platform);
  // The applications of the history entry `historyId`; nothing when none were kept.
  static std::optional<ApplicationPeriod> forHistory(Platform& platform,
                                                     const std::string& historyId);
  // Appends one period, under the documents lock; answers whether it was stored.
  static Stored add(Platform& platform, const ApplicationPeriod& period);
  // Forgets every period, as clearing the history does; answers whether that was stored.
  static Stored clear(Platform& platform);
};

}  // namespace kestrio
