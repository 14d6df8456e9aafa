#pragma once

#include "app/KestrioAppDelegate.h"
#include "engine/AppSettings.h"
#include "engine/History.h"
#include "support/FakePlatform.h"

namespace kestrio::testing {

// A user who has seen this version's welcome, so the window opens with nothing in front: the
// settings read once, the first run and the version stored.
inline void returningUser(FakePlatform& platform) {
  AppSettings(platform).getSettings();
  UserDefaults& store = platform.userDefaults();
  store.setObject(KestrioAppDelegate::kFirstRunKey, PlistValue(platform.now()));
  store.setString(KestrioAppDelegate::kVersionKey, KESTRIO_VERSION);
  store.synchronize();
}

// January to March 2025 closed as billing periods of both networks, 500 MB each.
inline void threeClosedPeriods(FakePlatform& platform) {
  constexpr double kMB = 1048576;
  for (int month = 1; month <= 3; ++month) {
    for (int type : {1, 2}) {
      EXPECT_TRUE(
          History::addNewHistoryItemLog(platform, History(platform, platform.at(2025, month, 1),
                                                          platform.at(2025, month + 1, 0),
                                                          100 * kMB, 400 * kMB, 500 * kMB, type, 1))
              .ok());
    }
  }
}

}  // namespace kestrio::testing
