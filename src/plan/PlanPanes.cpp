#include "plan/PlanPanes.h"

#include "plan/CustomDatePickerController.h"
#include "plan/DaysViewController.h"
#include "plan/PlanSummaries.h"
#include "plan/PlanTypeViewController.h"
#include "plan/QuotaViewController.h"
#include "plan/StartDateViewController.h"
#include "plan/StartDayViewController.h"

namespace kestrio {
namespace {

using Request = settings::ViewControllerFactory::Request;

template <class Pane>
void add(settings::ViewControllerFactory& factory, Platform& platform, const char* name) {
  factory.add(name, [&platform](const Request&) { return std::make_shared<Pane>(platform); });
}

// A pane that edits either network's plan: the row's key names the network.
template <class Pane>
void addForNetwork(settings::ViewControllerFactory& factory, Platform& platform, const char* name) {
  factory.add(name, [&platform](const Request& request) {
    return std::make_shared<Pane>(platform, planNetworkOfKey(request.key));
  });
}

}  // namespace

void registerPlanPanes(settings::ViewControllerFactory& factory, Platform& platform) {
  addForNetwork<PlanTypeViewController>(factory, platform, "PlanTypeViewController");
  addForNetwork<StartDayViewController>(factory, platform, "StartDayViewController");
  addForNetwork<DaysViewController>(factory, platform, "DaysViewController");
  add<CustomDatePickerController>(factory, platform, "CustomDatePickerController");
  add<CustomWiFiDatePickerController>(factory, platform, "CustomWiFiDatePickerController");
  add<StartDateViewController>(factory, platform, "StartDateViewController");
  addForNetwork<QuotaViewController>(factory, platform, "QuotaViewController");
  add<CurrentUsageViewController>(factory, platform, "CurrentUsageViewController");

  // What the rows opening these panes show.
  const auto network = [](const Request& request) { return planNetworkOfKey(request.key); };
  factory.describeWith("CustomCycle", [&platform](const Request&) {
    return customCycleSummary(platform, PlanNetwork::Cellular);
  });
  factory.describeWith("CustomCycleWiFi", [&platform](const Request&) {
    return customCycleSummary(platform, PlanNetwork::WiFi);
  });
  factory.describeWith("DaysViewController", [&platform, network](const Request& request) {
    return cycleLengthSummary(platform, network(request));
  });
  factory.describeWith("CustomDatePickerController", [&platform](const Request&) {
    return customStartSummary(platform, PlanNetwork::Cellular);
  });
  factory.describeWith("StartDateViewController", [&platform](const Request&) {
    return customStartSummary(platform, PlanNetwork::Cellular);
  });
  factory.describeWith("CustomWiFiDatePickerController", [&platform](const Request&) {
    return customStartSummary(platform, PlanNetwork::WiFi);
  });
  factory.describeWith("QuotaViewController", [&platform, network](const Request& request) {
    return quotaSummary(platform, network(request));
  });
  factory.describeWith("CurrentUsageViewController",
                       [&platform](const Request&) { return currentUsageSummary(platform); });
}

}  // namespace kestrio
