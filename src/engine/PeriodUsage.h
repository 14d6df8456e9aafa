#pragma once

#include <optional>
#include <string>

#include "engine/AppData.h"
#include "engine/AppSettings.h"
#include "engine/UsageVisualView.h"
#include "platform/Platform.h"

namespace kestrio {

// A network's billing period in the user's display unit: what the status area, the gauge, the
// icon badge and the usage alerts are all computed from, so they never disagree.
struct PeriodUsage {
  bool hasPeriod = false;  // the record knows its billing period
  float used = 0;          // the period's usage
  // The quota; nothing when there is none above 0 (then no share is computed).
  std::optional<float> limit;
  float periodDays = 0;
  // Whole days elapsed plus today's share up to the current minute.
  float elapsed = 0;
  float remaining = 0;
  float usedShare = 0;  // percent of the quota
  float remainingShare = 0;
  // The usage that would spread the quota evenly over the period, by now.
  float ideal = 0;
  float idealShare = 0;
  // The period's usage at the average daily rate so far.
  float projected = 0;
  float projectedShare = 0;
  // How many days the quota lasts at the average daily rate; 0 without traffic.
  float lastingDays = 0;

  static PeriodUsage of(Platform& platform, const AppData& record, const AppSettings& settings,
                        std::optional<float> limit);

  // The gauge's shares: the period's usage and the ideal usage by now, both 0 without a period
  // or a quota, with the band the settings' thresholds give them.
  UsageGauge gauge(int dataType, const AppSettings& settings) const;
};

// The display unit's size in bytes.
float displayUnitBytes(const AppSettings& settings);
// A plan figure given in `unit` in the display unit; 0 when none is given.
std::optional<float> planLimitInDisplayUnit(const AppSettings& settings,
                                            std::optional<double> value, const std::string& unit);
// Bytes in the display unit; negative figures convert too, 0 when none are given.
float bytesInDisplayUnit(const AppSettings& settings, std::optional<double> bytes);
// The network's quota in the display unit; nothing when no quota is set.
std::optional<float> quotaInDisplayUnit(const AppSettings& settings, bool cellular);

// The icon badge's number after the status of one network's period: the period's usage, or its
// used, remaining or projected share, when the badge setting names this network; unchanged when
// the setting names the other network or the record has no period, and nothing when it names a
// share of this network without a quota.
std::optional<float> statusBadge(const std::string& badgeSetting, bool cellular,
                                 const PeriodUsage& usage, std::optional<float> badge);

}  // namespace kestrio
