#include "gui/settings/SettingsViews.h"

#include "gui/plan/PlanViews.h"
#include "gui/settings/SettingsView.h"
#include "gui/settings/SpecifierValuesView.h"
#include "gui/shell/ViewRegistry.h"

namespace kestrio::gui {

void registerSettingsViews(shell::ViewRegistry& views) {
  views.add<kestrio::settings::AppSettingsViewController>(
      [](const std::shared_ptr<kestrio::settings::AppSettingsViewController>& controller) {
        return new SettingsView(controller);
      });
  views.add<kestrio::settings::SpecifierValuesViewController>(
      [](const std::shared_ptr<kestrio::settings::SpecifierValuesViewController>& controller) {
        return new SpecifierValuesView(controller);
      });
  registerPlanViews(views);
}

}  // namespace kestrio::gui
