#pragma once

#include "platform/Platform.h"
#include "settings/IASKViewControllerFactory.h"

namespace kestrio {

// Makes the plan editors available to the settings screens' child-pane rows, by class name.
void registerPlanPanes(IASKViewControllerFactory& factory, Platform& platform);

}  // namespace kestrio
