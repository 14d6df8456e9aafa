#include "counters/CounterTexts.h"

#include <fmt/format.h>

#include "services/DataFormatter.h"

namespace kestrio {

std::string counterFigure(double bytes, const std::string& unit) {
  return fmt::format("{:.2f} {}", DataFormatter::converToDataUnitFromBytes(bytes, unit), unit);
}

std::string counterListSubtitle(const CustomCounter& c, const std::string& unit) {
  std::string text;
  // The both-directions lines keep two spaces after the network's name.
  if (c.trackCellular()) {
    switch (c.direction()) {
      case CustomCounter::kDirectionBoth:
        text += "Cellular  " + counterFigure(c.cellularDataTotal(), unit) + "\n";
        break;
      case CustomCounter::kDirectionSent:
        text += "Cellular Sent " + counterFigure(c.cellularDataSent(), unit) + "\n";
        break;
      case CustomCounter::kDirectionReceived:
        text += "Cellular Received " + counterFigure(c.cellularDataReceived(), unit) + "\n";
        break;
      default:
        break;
    }
  }
  if (c.trackWiFi()) {
    switch (c.direction()) {
      case CustomCounter::kDirectionBoth:
        text += "Wi-Fi  " + counterFigure(c.wifiDataTotal(), unit);
        break;
      case CustomCounter::kDirectionSent:
        text += "Wi-Fi Sent " + counterFigure(c.wifiDataSent(), unit);
        break;
      case CustomCounter::kDirectionReceived:
        text += "Wi-Fi Received " + counterFigure(c.wifiDataReceived(), unit);
        break;
      default:
        break;
    }
  }
  return text;
}

}  // namespace kestrio
