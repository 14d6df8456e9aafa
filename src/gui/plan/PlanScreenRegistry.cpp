#include "gui/plan/PlanScreenRegistry.h"

#include <string>

#include "gui/plan/DaysScreen.h"
#include "gui/plan/PlanTypeScreen.h"
#include "gui/plan/QuotaScreen.h"
#include "gui/plan/StartDateScreen.h"
#include "gui/plan/StartDayScreen.h"
#include "gui/shell/ViewRegistry.h"
#include "plan/CustomDatePickerController.h"
#include "plan/DaysViewController.h"
#include "plan/PlanTypeViewController.h"
#include "plan/QuotaViewController.h"
#include "plan/StartDateViewController.h"
#include "plan/StartDayViewController.h"

namespace kestrio::gui {

void registerPlanScreens(shell::ViewRegistry& views, kestrio::Platform& platform) {
  views.add<kestrio::PlanTypeViewController>(
      [](const std::shared_ptr<kestrio::PlanTypeViewController>& c) {
        return new PlanTypeScreen(c);
      });
  views.add<kestrio::StartDayViewController>(
      [](const std::shared_ptr<kestrio::StartDayViewController>& c) {
        return new StartDayScreen(c);
      });
  views.add<kestrio::DaysViewController>(
      [](const std::shared_ptr<kestrio::DaysViewController>& c) { return new DaysScreen(c); });
  const auto customStart =
      [&platform](const std::shared_ptr<kestrio::CustomDatePickerController>& c) {
        return new StartDateScreen(
            platform, c, [c] { return c->minimumDate; }, [c] { return c->maximumDate; },
            [c] { return c->date; },
            [c](kestrio::Date picked) -> std::optional<std::string> {
              if (!c->dateChanged(picked)) return std::nullopt;
              return std::string();
            },
            [c](const std::string& text, std::string& why) { return c->typedDate(text, why); });
      };
  views.add<kestrio::CustomDatePickerController>(customStart);
  views.add<kestrio::CustomWiFiDatePickerController>(
      [customStart](const std::shared_ptr<kestrio::CustomWiFiDatePickerController>& c) {
        return customStart(c);
      });
  views.add<kestrio::StartDateViewController>(
      [&platform](const std::shared_ptr<kestrio::StartDateViewController>& c) {
        return new StartDateScreen(
            platform, c, [c] { return c->minimumDate; }, [c] { return c->maximumDate; },
            [c] { return c->date; },
            [c](kestrio::Date picked) -> std::optional<std::string> {
              if (!c->dateChanged(picked)) return std::nullopt;
              return c->selectedDate;
            });
      });
  views.add<kestrio::QuotaViewController>(
      [](const std::shared_ptr<kestrio::QuotaViewController>& c) {
        return new QuotaScreen(
            c, c->wheels, c->selectedQuota,
            [c](std::int64_t amount, int unit) { return c->setAmount(amount, unit); },
            [] { return std::string("the settings file could not be written"); });
      });
  views.add<kestrio::CurrentUsageViewController>(
      [](const std::shared_ptr<kestrio::CurrentUsageViewController>& c) {
        return new QuotaScreen(
            c, c->wheels, c->selectedQuota,
            [c](std::int64_t amount, int unit) { return c->setAmount(amount, unit); },
            [c] { return c->failure; });
      });
}

}  // namespace kestrio::gui
