#include "plan/PlanPanes.h"

#include "plan/CustomDatePickerController.h"
#include "plan/DaysViewController.h"
#include "plan/PlanTypeViewController.h"
#include "plan/QuotaViewController.h"
#include "plan/StartDateViewController.h"
#include "plan/StartDayViewController.h"

namespace kestrio {
namespace {

template <class Pane>
void add(settings::ViewControllerFactory& factory, Platform& platform, const char* name) {
  factory.add(name, [&platform](const settings::ViewControllerFactory::Request&) {
    return std::make_shared<Pane>(platform);
  });
}

}  // namespace

void registerPlanPanes(settings::ViewControllerFactory& factory, Platform& platform) {
  add<PlanTypeViewController>(factory, platform, "PlanTypeViewController");
  add<StartDayViewController>(factory, platform, "StartDayViewController");
  add<DaysViewController>(factory, platform, "DaysViewController");
  add<CustomDatePickerController>(factory, platform, "CustomDatePickerController");
  add<CustomWiFiDatePickerController>(factory, platform, "CustomWiFiDatePickerController");
  add<StartDateViewController>(factory, platform, "StartDateViewController");
  add<QuotaViewController>(factory, platform, "QuotaViewController");
  add<CurrentUsageViewController>(factory, platform, "CurrentUsageViewController");
}

}  // namespace kestrio
