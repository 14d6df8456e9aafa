#include "plan/CustomDatePickerController.h"

#include <algorithm>

#include "engine/BillingCycle.h"
#include "plan/PlanCodes.h"
#include "services/TypedDate.h"

namespace kestrio {

Date earliestCustomStart(const Calendar& calendar, Date now, std::int64_t lengthDays) {
  const Date today = calendar.startOfDay(now);
  // A length below 1 would make the earliest moment tomorrow, after the latest (now): today is
  // offered instead.
  if (lengthDays <= 0) return today;
  DateComponents c = calendar.components(today);
  c.day -= static_cast<int>(std::min<std::int64_t>(lengthDays, 100000) - 1);
  return calendar.date(c);
}

CustomDatePickerController::CustomDatePickerController(Platform& platform, PlanNetwork network)
    : platform_(platform), keys_(planKeys(network)) {
  viewWillAppear();
}

void CustomDatePickerController::viewWillAppear() {
  UserDefaults& store = platform_.userDefaults();
  const Date now = platform_.now();
  // The length in force, which is the one shown when none was chosen.
  minimumDate = earliestCustomStart(platform_.calendar(), now,
                                    BillingCycle::customLength(store, keys_.recordType));
  maximumDate = now;
  const std::optional<Date> stored = store.dateForKey(keys_.startDate);
  if (!stored) {
    date = now;
    return;
  }
  if (stored->secondsSince1970 <= minimumDate.secondsSince1970) {
    date = minimumDate;
  } else if (stored->secondsSince1970 >= now.secondsSince1970) {
    date = now;
  } else {
    date = *stored;
    return;
  }
  store.setObject(keys_.startDate, PlistValue(date));
  store.synchronize();
}

std::optional<Date> CustomDatePickerController::typedDate(const std::string& text,
                                                          std::string& why) {
  const Calendar& calendar = platform_.calendar();
  const std::optional<Date> typed = dateFromTypedText(calendar, text);
  if (!typed) {
    why = "\"" + text + "\" is not a date. " + typedDateHint(calendar, platform_.now());
    return std::nullopt;
  }
  // The current cycle must contain today: it starts no earlier than the first day offered.
  if (*typed < minimumDate || maximumDate < *typed) {
    why = "The cycle can start from " +
          calendar.format(minimumDate, DateStyle::Short, DateStyle::None) + " up to now.";
    return std::nullopt;
  }
  why.clear();
  return typed;
}

bool CustomDatePickerController::dateChanged(Date picked) {
  const double seconds = std::clamp(picked.secondsSince1970, minimumDate.secondsSince1970,
                                    maximumDate.secondsSince1970);
  date = Date{seconds};
  UserDefaults& store = platform_.userDefaults();
  store.setObject(keys_.startDate, PlistValue(date));
  store.setInteger(keys_.cycleCode, kCustomCycleCode);
  return store.synchronize();
}

}  // namespace kestrio
