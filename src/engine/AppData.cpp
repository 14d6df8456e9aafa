#include "engine/AppData.h"

#include "services/DeviceInfo.h"

namespace kestrio {

AppData::AppData(Platform& platform) : platform_(platform) {}

AppData::~AppData() = default;

AppSettings& AppData::appSettings() {
  if (sharedSettings_) return *sharedSettings_;
  if (!appSettings_) appSettings_ = std::make_unique<AppSettings>(platform_);
  return *appSettings_;
}

void AppData::shareSettings(AppSettings& settings) {
  sharedSettings_ = &settings;
}

std::string AppData::dataFilePath() const {
  return platform_.documentPath(appDataType_ == "wifi" ? kWifiFileName : kCellularFileName);
}

double AppData::getCurrentDataUsageForDataType(const std::string& type, int direction) {
  if (direction < 1 || direction > 3) return 0;
  double sum = 0;
  for (const auto& c : DeviceInfo::interfacesForDataType(platform_, type)) {
    if (direction != 2) sum += static_cast<double>(c.sent);
    if (direction != 1) sum += static_cast<double>(c.received);
  }
  return sum;
}

}  // namespace kestrio
