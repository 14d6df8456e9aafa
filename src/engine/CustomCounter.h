#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/Field.h"
#include "platform/KeyedArchive.h"
#include "platform/Platform.h"
#include "platform/Stored.h"

namespace kestrio {

// A user-named meter of the traffic that the update passes measure, over cellular, Wi-Fi or
// both, from the moment it is made until it is paused or its end date has passed; and, as static
// operations, the store of them: the ordered list in "customcounters.archive" in the documents
// directory, read whole and written whole by every operation under the documents lock.
//
// A C++ copy is a deep copy that keeps the uniqueId, so it names the same stored counter.
class CustomCounter {
 public:
  static constexpr const char* kFileName = "customcounters.archive";
  static constexpr const char* kTopKey = "customcounters";
  static constexpr const char* kClassName = "CustomCounter";
  static constexpr const char* kSampleName = "Sample Counter";

  // Direction codes: which figures the screens show.
  static constexpr int kDirectionSent = 1;
  static constexpr int kDirectionReceived = 2;
  static constexpr int kDirectionBoth = 3;

  // What the store operations answer besides success: the counter they name is not stored (a
  // NotFound; the archive was left as it was), or the archive could not be locked or written
  // (the previous file stays). The reasons are the lines the user is told.
  static Stored counterNotFound();
  static Stored listNotStored();

  // Data-type codes of addDataToCounterWithDataSent.
  static constexpr int kCellular = 1;
  static constexpr int kWiFi = 2;

  // A counter with every field none, NO or 0, as an archive without any keys decodes.
  CustomCounter() = default;
  // Sets the given fields; the figures 0, active, a new uniqueId.
  CustomCounter(std::string name, bool trackCellular, bool trackWiFi, Date startDate,
                std::optional<Date> endDate, int direction, bool notifyOnEnd);
  // Started now, no end date, all three figures shown, no end notification.
  CustomCounter(Platform& platform, std::string name, bool trackCellular, bool trackWiFi);
  // As above, tracking both networks: the counter the application makes.
  CustomCounter(Platform& platform, std::string name);
  // Decodes one archived counter; an absent or mistyped key is none, NO or 0.
  explicit CustomCounter(const keyed::Object& coder);

  // The archived form, every key present ("endDate" is the null reference when there is none).
  keyed::Object encodeWithCoder() const;

  KESTRIO_FIELD(std::string, name, setName)
  KESTRIO_FIELD(bool, trackCellular, setTrackCellular)
  KESTRIO_FIELD(bool, trackWiFi, setTrackWiFi)
  // When the counter was made; kept, but no rule reads it.
  KESTRIO_FIELD(Date, startDate, setStartDate)
  // The first update pass at or after this moment pauses the counter; none: "No End Date".
  KESTRIO_FIELD(std::optional<Date>, endDate, setEndDate)
  KESTRIO_FIELD(int, direction, setDirection)
  KESTRIO_FIELD(bool, notifyOnEnd, setNotifyOnEnd)
  KESTRIO_FIELD(double, cellularDataSent, setCellularDataSent)
  KESTRIO_FIELD(double, cellularDataReceived, setCellularDataReceived)
  KESTRIO_FIELD(double, cellularDataTotal, setCellularDataTotal)
  KESTRIO_FIELD(double, wifiDataSent, setWifiDataSent)
  KESTRIO_FIELD(double, wifiDataReceived, setWifiDataReceived)
  KESTRIO_FIELD(double, wifiDataTotal, setWifiDataTotal)
  KESTRIO_FIELD(bool, isPaused, setIsPaused)
  KESTRIO_FIELD(std::string, uniqueId, setUniqueId)
  // Takes cellular traffic only while the modem roams (archived as "roamingOnly" when set, so
  // the archives of counters without it stay as they were).
  KESTRIO_FIELD(bool, roamingOnly, setRoamingOnly)

 public:
  void pause() { isPaused_ = true; }
  // Zero figures; the state, dates and tracking stay, and nothing is stored.
  void reset();
  void resetCellular();
  void resetWiFi();

  // Adds one pass's traffic of one network (kCellular or kWiFi) when the counter is active and
  // tracks that network, and for a roaming-only counter when the traffic was roaming cellular
  // traffic; the total becomes sent plus received.
  void addDataToCounterWithDataSent(double sent, double received, int dataTypeCode,
                                    bool roaming = false);

  // A name as the archive keeps it: up to a NUL, malformed UTF-8 replaced with U+FFFD. A counter
  // made with a name holds it so, and a name typed for an edit is made so before it is stored,
  // so that what is read back is what was meant.
  static std::string storableName(std::string_view name);

  // The stored list in the user's order; empty when the file is missing, empty or unreadable.
  static std::vector<CustomCounter> getAllCustomCounters(Platform& platform);
  // Stores the list as the whole archive; on failure the previous file stays (logged).
  static Stored saveCustomCounterData(Platform& platform, const std::vector<CustomCounter>& list);
  // Appends the counter; once stored, schedules its end notification when it asks for one.
  static Stored addCustomCounter(Platform& platform, const CustomCounter& counter);
  // Appends a new counter of both networks, without a notification.
  static void addCustomCounterWithName(Platform& platform, const std::string& name);
  // Replaces the stored counter with the same uniqueId; once stored, its end notification is
  // cancelled and scheduled again for the new settings. An unknown counter changes nothing.
  static Stored saveCustomCounter(Platform& platform, const CustomCounter& counter);
  // Removes the stored counter with the same uniqueId and, once stored, cancels its end
  // notification. An unknown counter changes nothing.
  static Stored removeCustomCounter(Platform& platform, const CustomCounter& counter);
  // Moves the counter at `from` to `to`, counted in the list without it. An index outside the
  // list is logged and changes nothing (NotFound).
  static Stored reorderCustomCounterFromIndex(Platform& platform, std::size_t from, std::size_t to);
  // Feeds one pass's traffic of one network ("cellular" or "wifi") into every counter, then
  // pauses each counter whose end date has come. Cellular traffic is roaming traffic when the
  // pass before found the modem roaming. The first pass that finds no stored list starts
  // it with "Sample Counter".
  static void updateCustomCountersWithDataSentSinceLastRun(Platform& platform, double sent,
                                                           double received,
                                                           const std::string& dataType);

  friend bool operator==(const CustomCounter&, const CustomCounter&) = default;
};

}  // namespace kestrio
