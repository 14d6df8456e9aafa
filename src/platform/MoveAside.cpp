#include "platform/MoveAside.h"

#include <cmath>
#include <cstdio>
#include <ctime>

namespace kestrio {

std::optional<std::string> moveAside(FileSystem& files, const std::string& path, Date now) {
  const std::time_t seconds = static_cast<std::time_t>(std::floor(now.secondsSince1970));
  std::tm utc{};
  gmtime_r(&seconds, &utc);
  char stamp[64];
  std::snprintf(stamp, sizeof stamp, "%04d%02d%02dT%02d%02d%02dZ", utc.tm_year + 1900,
                utc.tm_mon + 1, utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec);
  std::string target = path + std::string(kUnreadableMarker) + stamp;
  // Two failures within one second must not overwrite the first copy.
  for (int n = 2; files.exists(target); ++n) {
    target = path + std::string(kUnreadableMarker) + stamp + "-" + std::to_string(n);
  }
  if (!files.rename(path, target)) return std::nullopt;
  return target;
}

std::vector<std::string> filesMovedAside(FileSystem& files, const std::string& directory) {
  std::vector<std::string> names;
  for (auto& name : files.list(directory)) {
    if (name.find(kUnreadableMarker) != std::string::npos) names.push_back(std::move(name));
  }
  return names;
}

}  // namespace kestrio
