#include "engine/PeriodUsage.h"

#include "services/DataFormatter.h"

namespace kestrio {

PeriodUsage PeriodUsage::of(Platform& platform, const AppData& record, const AppSettings& settings,
                            std::optional<float> limit) {
  PeriodUsage usage;
  usage.hasPeriod = record.nextBillingDate().has_value();
  usage.used = bytesInDisplayUnit(settings, record.dataThisMonth());
  // NaN compares false too, so it also counts as no limit.
  if (!limit || !(*limit > 0.0f)) return usage;

  const float quota = *limit;
  usage.limit = quota;
  const DateComponents clock = platform.calendar().components(platform.now());
  usage.periodDays = static_cast<float>(record.billingDaysTotal().value_or(0));
  usage.elapsed = static_cast<float>(record.billingDaysElapsed().value_or(0)) +
                  static_cast<float>(clock.hour * 60 + clock.minute) / 1440.0f;
  usage.remaining = quota - usage.used;
  usage.usedShare = usage.used / quota * 100.0f;
  usage.remainingShare = usage.remaining / quota * 100.0f;
  // A record whose period has no length (never written by the billing cycle) would divide by
  // zero: its whole quota counts as the ideal usage, as at the end of a period.
  usage.ideal = usage.periodDays > 0.0f ? quota * usage.elapsed / usage.periodDays : quota;
  usage.idealShare = usage.ideal / quota * 100.0f;
  if (usage.elapsed > 0.0f) {
    const float dailyAverage = usage.used / usage.elapsed;
    if (dailyAverage > 0.0f) {
      usage.projected = dailyAverage * usage.periodDays;
      usage.lastingDays = quota / dailyAverage;
    }
  }
  usage.projectedShare = usage.projected / quota * 100.0f;
  return usage;
}

UsageGauge PeriodUsage::gauge(int dataType, const AppSettings& settings) const {
  UsageGauge gauge;
  gauge.dataType = dataType;
  if (hasPeriod && limit) {
    gauge.currentUsagePercent = usedShare;
    gauge.idealUsagePercent = idealShare;
  }
  gauge.colourLetter = UsageVisualView::colourLetter(gauge, settings);
  return gauge;
}

float displayUnitBytes(const AppSettings& settings) {
  return DataFormatter::convertToBytesFromDataUnit(1.0, settings.displayUnit().value_or(""));
}

std::optional<float> planLimitInDisplayUnit(const AppSettings& settings,
                                            std::optional<double> value, const std::string& unit) {
  if (!value) return 0.0f;
  // The factors are powers of two, so going through bytes is exact.
  return DataFormatter::convertToBytesFromDataUnit(value, unit) / displayUnitBytes(settings);
}

float bytesInDisplayUnit(const AppSettings& settings, std::optional<double> bytes) {
  if (!bytes) return 0.0f;
  // Unlike the unit conversion of the formatter, negative figures (the today marker) convert.
  return static_cast<float>(*bytes) / displayUnitBytes(settings);
}

std::optional<float> quotaInDisplayUnit(const AppSettings& settings, bool cellular) {
  const std::optional<int> limit =
      cellular ? settings.cellularDataLimit() : settings.wifiDataLimit();
  if (!limit) return std::nullopt;
  const std::optional<std::string>& unit =
      cellular ? settings.cellularDataLimitUnit() : settings.wifiDataLimitUnit();
  return planLimitInDisplayUnit(settings, static_cast<double>(*limit), unit.value_or(""));
}

std::optional<float> statusBadge(const std::string& badgeSetting, bool cellular,
                                 const PeriodUsage& usage, std::optional<float> badge) {
  if (!usage.hasPeriod) return badge;
  const auto names = [&](const char* cellularName, const char* wifiName) {
    return badgeSetting == (cellular ? cellularName : wifiName);
  };
  if (names("CELLQUOTA", "WIFIQUOTA")) return usage.used;
  const bool percent = names("CELLPERCENT", "WIFIPERCENT");
  const bool remaining = names("CELL_REM_PERCENT", "WIFI_REM_PERCENT");
  const bool projected = names("CELL_PROJ_PERCENT", "WIFI_PROJ_PERCENT");
  if (!usage.limit) return percent || remaining || projected ? std::nullopt : badge;
  if (percent) return usage.usedShare;
  if (remaining) return usage.remainingShare;
  if (projected) return usage.projectedShare;
  return badge;
}

}  // namespace kestrio
