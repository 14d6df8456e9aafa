#pragma once

#include <array>
#include <optional>
#include <string>

#include "engine/AppData.h"
#include "engine/AppSettings.h"
#include "engine/PeriodUsage.h"
#include "platform/Platform.h"
#include "platform/Stored.h"
#include "services/NotificationCenter.h"

namespace kestrio {

// What a caller wants of one refresh besides counting.
struct RefreshRequest {
  // The place of this pass ("Town, Region"), or empty.
  std::string location;
  // The user is leaving the application: a new since-the-application-ran span starts.
  bool shouldResetSinceLastAppRun = false;
  // Show the new badge number on the icon once the pass is done (none when the badge setting
  // shows the billing reset, which has no number).
  bool publishesBadge = false;
  // The badge also takes each period's status (its usage, or the shares the status area shows),
  // as a refresh that redraws the screens does. A pass alone (the user leaving the application,
  // a new position) leaves the badge as the alerts set it.
  bool withPeriodStatus = true;
  // Show the scheduled notifications that fell due.
  bool deliversDueNotifications = false;
  // The badge number before this refresh: a badge setting of another network keeps it.
  std::optional<float> badgeBefore;
};

// What one refresh produced, for the screens to format.
struct RefreshResult {
  // Whether the refresh was stored; when not, nothing of it was, and the reason says why.
  Stored stored = Stored::failure("the refresh did not run");
  // The number the badge setting names, after both networks' alerts and period status.
  std::optional<float> appBadgeNumber;
  // The modem as the pass found it.
  ModemState modem;
};

// One refresh of everything Kestrio keeps, as one change under the documents lock: both usage
// records' passes (which feed the history and the custom counters), the usage alerts and their
// markers, each gauge's colour band, the badge number, and the notifications that fell due. The
// settings are read once. Every caller (the daemon, `kestrio update`, the window) goes through it;
// the usage screens then only format the records it leaves.
// The number an icon badge shows for a badge number: its integer part, 0 (no badge) for none.
int iconBadgeNumber(std::optional<float> number);

// Each network's period figures, cellular first.
std::array<PeriodUsage, 2> periodUsages(Platform& platform, const AppSettings& settings,
                                        const AppData& cellular, const AppData& wifi);
// Decides each network's gauge band from its period figures and stores it (see UsageVisualView).
void settleUsageBands(Platform& platform, NotificationCenter& center, const AppSettings& settings,
                      const std::array<PeriodUsage, 2>& usages);

class RefreshPass {
 public:
  // The records and settings are the caller's: the pass leaves its figures in them.
  RefreshPass(Platform& platform, NotificationCenter& center, AppSettings& settings,
              AppData& cellular, AppData& wifi);

  RefreshResult run(const RefreshRequest& request);

 private:
  Platform& platform_;
  NotificationCenter& center_;
  AppSettings& settings_;
  AppData& cellular_;
  AppData& wifi_;
};

}  // namespace kestrio
