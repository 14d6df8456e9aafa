#pragma once

#include <string>

#include "app/MainViewController.h"

namespace kestrio::cli {

// What a usage screen shows, as text or JSON: the status area of its network and the fourteen
// rows of its detail list.
std::string screenText(const MainViewController& controller, bool cellularScreen,
                       const std::string& displayUnit);
std::string screenJson(const MainViewController& controller, bool cellularScreen);

}  // namespace kestrio::cli
