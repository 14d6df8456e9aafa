#include "plan/QuotaViewController.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "engine/AppData.h"
#include "engine/AppSettings.h"
#include "services/DataFormatter.h"

namespace kestrio {

const std::vector<std::string>& QuotaWheels::units() {
  static const std::vector<std::string> names = {"MB", "GB"};
  return names;
}

const std::vector<std::string>& QuotaWheels::digitTitles() {
  static const std::vector<std::string> titles = {"0", "1", "2", "3", "4", "5", "6", "7", "8", "9"};
  return titles;
}

void QuotaWheels::showValue(std::int64_t amount) {
  std::vector<int> placed;
  std::int64_t rest = std::max<std::int64_t>(amount, 0);
  placed.push_back(static_cast<int>(rest % 10));
  while (rest >= 10) {
    rest /= 10;
    placed.push_back(static_cast<int>(rest % 10));
  }
  digits.assign(std::max<std::size_t>(4, placed.size()), 0);
  std::reverse(placed.begin(), placed.end());
  std::copy(placed.begin(), placed.end(), digits.end() - static_cast<long>(placed.size()));
}

std::int64_t QuotaWheels::value() const {
  std::int64_t total = 0;
  for (const int digit : digits) total = total * 10 + digit;
  return total;
}

namespace {

// Moves one wheel; false when the component or row does not exist.
bool moveWheel(QuotaWheels& wheels, int component, int row) {
  if (component == wheels.unitComponent()) {
    if (row < 0 || row >= static_cast<int>(QuotaWheels::units().size())) return false;
    wheels.unit = row;
    return true;
  }
  if (component < 0 || component > wheels.unitComponent() || row < 0 || row > 9) return false;
  wheels.digits[static_cast<std::size_t>(component)] = row;
  return true;
}

// Amounts up to what a stored integer and the record's figures can hold.
constexpr std::int64_t kLargestAmount = 999'999'999;

}  // namespace

QuotaViewController::QuotaViewController(Platform& platform, PlanNetwork network)
    : platform_(platform), keys_(planKeys(network)) {
  UserDefaults& store = platform_.userDefaults();
  const std::int64_t limit = store.integerForKey(keys_.limit);
  if (limit > 0) {
    platform_.log("data limit int value:" + std::to_string(limit));
    wheels.showValue(limit);
  }
  wheels.unit = store.stringForKey(keys_.limitUnit) == "MB" ? 0 : 1;
}

bool QuotaViewController::didSelectRow(int component, int row) {
  if (!moveWheel(wheels, component, row)) return false;
  return store();
}

bool QuotaViewController::setAmount(std::int64_t amount, int unit) {
  if (amount < 0 || amount > kLargestAmount || unit < 0 || unit > 1) return false;
  wheels.showValue(amount);
  wheels.unit = unit;
  return store();
}

bool QuotaViewController::store() {
  // 0 is no quota, as everywhere else: turning the wheels to 0 used to store 1024 instead, a
  // quota the user never asked for.
  const std::int64_t amount = wheels.value();
  UserDefaults& defaults = platform_.userDefaults();
  defaults.setInteger(keys_.limit, amount);
  defaults.setString(keys_.limitUnit, wheels.unitName());
  selectedQuota = amount == 0 ? "No quota" : std::to_string(amount) + " " + wheels.unitName();
  return defaults.synchronize();
}

CurrentUsageViewController::CurrentUsageViewController(Platform& platform) : platform_(platform) {
  // The wheels start at the period's usage in whole megabytes, rounded down: the pane edits the
  // usage, and starting it at the quota made the quota look like what was used.
  AppData record(platform_);
  record.getAppData("cellular");
  const double megabytes = std::floor(record.dataThisMonth().value_or(0) / (1024.0 * 1024.0));
  wheels.showValue(static_cast<std::int64_t>(std::clamp(megabytes, 0.0, 999'999'999.0)));
}

bool CurrentUsageViewController::didSelectRow(int component, int row) {
  if (!moveWheel(wheels, component, row)) return false;
  return store();
}

bool CurrentUsageViewController::setAmount(std::int64_t amount, int unit) {
  if (amount < 0 || amount > kLargestAmount || unit < 0 || unit > 1) return false;
  wheels.showValue(amount);
  wheels.unit = unit;
  return store();
}

bool CurrentUsageViewController::store() {
  const std::int64_t amount = wheels.value();
  selectedQuota = std::to_string(amount) + " " + wheels.unitName();
  const double bytes =
      DataFormatter::convertToBytesFromDataUnit(static_cast<double>(amount), wheels.unitName());
  failure.clear();
  // The record is reloaded and stored under the lock, so a pass of another process in between is
  // neither lost nor counted twice; only the period's usage changes.
  Transaction tx(platform_);
  AppData record(platform_);
  record.getAppData("cellular");
  record.setDataThisMonth(bytes);
  const Stored stored =
      record.saveAppData().ok()
          ? tx.commit()
          : tx.abandon(Stored::failure("the cellular record could not be written"));
  if (!stored.ok()) {
    failure = stored.reason().empty() ? "the cellular record could not be stored" : stored.reason();
    return false;
  }
  return true;
}

}  // namespace kestrio
