#include "plan/PlanCodes.h"

#include "engine/AppSettings.h"
#include "engine/BillingCycle.h"

namespace kestrio {

const PlanKeys& planKeys(PlanNetwork network) {
  static const PlanKeys cellular{"cellular",
                                 "CellularPlanType",
                                 AppSettings::kFirstDayOfCycle,
                                 BillingCycle::kResetDays,
                                 BillingCycle::kCustomStartDate,
                                 AppSettings::kCellularDataLimit,
                                 AppSettings::kCellularDataLimitUnit};
  static const PlanKeys wifi{"wifi",
                             "WiFiPlanType",
                             AppSettings::kFirstDayOfCycleWifi,
                             BillingCycle::kResetDaysWiFi,
                             BillingCycle::kCustomStartDateWiFi,
                             AppSettings::kWifiDataLimit,
                             AppSettings::kWifiDataLimitUnit};
  return network == PlanNetwork::WiFi ? wifi : cellular;
}

}  // namespace kestrio
