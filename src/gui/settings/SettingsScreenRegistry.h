#pragma once

namespace kestrio::gui {
namespace shell {
class ViewRegistry;
}

// Registers the screens of the Settings tab and of the plan editors.
void registerSettingsScreens(shell::ViewRegistry& views);

}  // namespace kestrio::gui
