#pragma once

namespace kestrio::gui {
namespace shell {
class ViewRegistry;
}

// Registers the views of the settings screens and of the plan editors.
void registerSettingsScreens(shell::ViewRegistry& views);

}  // namespace kestrio::gui
