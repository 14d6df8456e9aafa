#pragma once

#include <string>

#include "engine/CustomCounter.h"

namespace kestrio {

// A byte count in the display unit with two decimals and the unit: "12.50 MB". The amount is
// converted as a single-precision figure and always printed with a decimal point.
std::string counterFigure(double bytes, const std::string& unit);

// The list row's subtitle: the cellular line, then the Wi-Fi line, of the networks the counter
// tracks, in the figures its direction shows.
std::string counterListSubtitle(const CustomCounter& counter, const std::string& unit);

}  // namespace kestrio
