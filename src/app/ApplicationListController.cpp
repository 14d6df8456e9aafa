// "Apps" on a usage screen: the network's traffic per application in the billing period.
#include "app/ApplicationListController.h"

#include <fmt/format.h>

#include "engine/ApplicationUsage.h"
#include "services/DataFormatter.h"
#include "services/StringFormatter.h"

namespace kestrio {

ApplicationListController::ApplicationListController(Platform& platform, bool cellular)
    : platform_(platform),
      cellular_(cellular),
      hintAllowed_(!platform.userDefaults().boolForKey(kApplicationsHintShownKey)) {
  title.text = kTitle;
  title.hidden = true;
  hint.text = kHint;
  hint.hidden = true;
}

void ApplicationListController::reload(const std::string& unit) {
  ApplicationUsageStore store(platform_);
  {
    // A pass of another process replaces the file whole; the lock waits for it to end.
    auto lock = platform_.lockDocuments();
    store.load();
  }
  const std::string shownUnit = unit == "KB" || unit == "GB" ? unit : "MB";
  auto amount = [&](double bytes) {
    return fmt::format(
        "{:.2f} {}",
        static_cast<double>(DataFormatter::converToDataUnitFromBytes(bytes, shownUnit)), shownUnit);
  };
  const ApplicationUsageMap& applications = store.applications(cellular_ ? 1 : 2);
  double sum = 0;
  for (const auto& [key, usage] : applications) sum += usage.dataThisMonth;
  rows.clear();
  double others = 0;
  std::size_t otherCount = 0;
  for (const auto& [key, usage] : ApplicationUsageStore::listed(applications)) {
    // An application used only in earlier periods is not one of this period's.
    if (usage.dataThisMonth <= 0) continue;
    if (rows.size() == kMaxRows) {
      others += usage.dataThisMonth;
      ++otherCount;
      continue;
    }
    std::vector<ApplicationDay> days;
    for (auto day = usage.days.rbegin(); day != usage.days.rend(); ++day) {
      const Date start = Date::fromSecondsSince1970(static_cast<double>(day->first));
      days.push_back({StringFormatter::getLocalizedDayShortDateFromDate(platform_, start),
                      amount(day->second)});
    }
    rows.push_back({key, usage.name, usage.icon, amount(usage.dataThisMonth),
                    sum > 0 ? static_cast<float>(usage.dataThisMonth / sum) : 0.0f,
                    std::move(days)});
  }
  if (otherCount > 0) {
    rows.push_back({"",
                    fmt::format("{} more", otherCount),
                    "",
                    amount(others),
                    sum > 0 ? static_cast<float>(others / sum) : 0.0f,
                    {}});
  }

  // The service is asked only while nothing was ever counted and the hint may still show: once
  // it counted, its absence later is the user's choice.
  hint.hidden = true;
  if (hintAllowed_ && !store.hasReading() &&
      platform_.readApplicationCounters().state == ApplicationCounters::State::ServiceMissing) {
    hint.hidden = false;
    UserDefaults& defaults = platform_.userDefaults();
    if (!defaults.boolForKey(kApplicationsHintShownKey)) {
      defaults.setBool(kApplicationsHintShownKey, true);
      if (!defaults.synchronize()) platform_.warn("Apps: the settings store cannot be written");
    }
  }
  title.hidden = rows.empty() && hint.hidden;
}

}  // namespace kestrio
