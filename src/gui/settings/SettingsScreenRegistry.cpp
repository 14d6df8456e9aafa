#include "gui/settings/SettingsScreenRegistry.h"

#include "gui/plan/PlanScreenRegistry.h"
#include "gui/settings/AppSettingsScreen.h"
#include "gui/settings/SpecifierValuesScreen.h"
#include "gui/shell/ViewRegistry.h"

namespace kestrio::gui {

void registerSettingsScreens(shell::ViewRegistry& views, kestrio::Platform& platform) {
  views.add<kestrio::settings::AppSettingsViewController>(
      [](const std::shared_ptr<kestrio::settings::AppSettingsViewController>& controller) {
        return new AppSettingsScreen(controller);
      });
  views.add<kestrio::settings::SpecifierValuesViewController>(
      [](const std::shared_ptr<kestrio::settings::SpecifierValuesViewController>& controller) {
        return new SpecifierValuesScreen(controller);
      });
  registerPlanScreens(views, platform);
}

}  // namespace kestrio::gui
