#pragma once

#include "platform/Platform.h"

namespace kestrio::gui {
namespace shell {
class ViewRegistry;
}

// Registers the screens of the plan editors: plan type, start day, cycle length, start dates,
// quota and current usage.
void registerPlanScreens(shell::ViewRegistry& views, kestrio::Platform& platform);

}  // namespace kestrio::gui
