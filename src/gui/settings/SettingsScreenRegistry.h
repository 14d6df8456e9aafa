#pragma once

#include "platform/Platform.h"

namespace kestrio::gui {
namespace shell {
class ViewRegistry;
}

// Registers the screens of the Settings tab and of the plan editors.
void registerSettingsScreens(shell::ViewRegistry& views, kestrio::Platform& platform);

}  // namespace kestrio::gui
