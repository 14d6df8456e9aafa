#pragma once

#include "platform/Platform.h"
#include "settings/ViewControllerFactory.h"

namespace kestrio {

// Makes the plan editors available to the settings screens' child-pane rows, by class name.
void registerPlanPanes(settings::ViewControllerFactory& factory, Platform& platform);

}  // namespace kestrio
