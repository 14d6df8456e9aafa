#include "cli/Commands.h"

#include <ostream>

#include "cli/StatusReport.h"
#include "engine/Communications.h"

namespace kestrio::cli {

bool updateBothRecords(Platform& platform, AppData& cellular, AppData& wifi) {
  auto lock = platform.lockDocuments();
  if (!lock) return false;
  cellular.performBackgroundUpdateForType("cellular", "", false);
  wifi.performBackgroundUpdateForType("wifi", "", false);
  // Whatever fell due since any Kestrio process last ran is delivered now, once.
  Communications::deliverDueNotifications(platform);
  return true;
}

int runUpdate(Platform& platform, std::ostream& err) {
  AppData cellular(platform);
  AppData wifi(platform);
  if (!updateBothRecords(platform, cellular, wifi)) {
    err << "kestrio: cannot lock the data directory " << platform.documentsDirectory() << "\n";
    return 1;
  }
  return 0;
}

int runStatus(Platform& platform, bool asJson, std::ostream& out, std::ostream& err) {
  AppData cellular(platform);
  AppData wifi(platform);
  if (!updateBothRecords(platform, cellular, wifi)) {
    err << "kestrio: cannot lock the data directory " << platform.documentsDirectory() << "\n";
    return 1;
  }
  const StatusReport report = StatusReport::collect(platform, cellular, wifi);
  out << (asJson ? report.json() : report.text());
  return 0;
}

}  // namespace kestrio::cli
