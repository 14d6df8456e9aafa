#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/FileSystem.h"

namespace kestrio {

// The unit a cgroup's traffic belongs to, read from its path. Desktops start each application
// in a scope or service of its own, "app[-LAUNCHER]-ID-N.scope" or
// "app[-LAUNCHER]-ID[@N].service" (flatpak: "app-flatpak-ID-N.scope"), with a dash inside ID
// written "\x2d"; other services run in "NAME.service". The deepest such unit on the path is
// the cgroup's; a cgroup in none (the root, a slice, a user's service manager itself) is the
// system's.
struct ApplicationUnit {
  std::string unit;  // "app-gnome-org.gnome.Maps-2841.scope"; empty: the system's
  // The application ids the unit may carry, most likely first: without escapes a dash may
  // belong to the launcher or to the id ("app-firefox-esr-5.scope": "esr", or "firefox-esr" with
  // no launcher). Empty for a unit that is no application's.
  std::vector<std::string> ids;
};
ApplicationUnit applicationUnit(std::string_view cgroupPath);

// How an application is shown and kept.
struct ApplicationName {
  // What its usage is kept under: the application id, else the unit's name; "System" for the
  // traffic of sockets outside any application.
  std::string key;
  std::string name;  // the desktop entry's Name, else the key
  std::string icon;  // the desktop entry's Icon; empty when there is none
  bool operator==(const ApplicationName&) const = default;
};

inline constexpr std::string_view kSystemApplication = "System";

// Names the application of a cgroup, with the desktop entry ID.desktop found first in the
// "applications" folder of `dataDirectories` (XDG_DATA_HOME, then XDG_DATA_DIRS).
ApplicationName nameApplication(FileSystem& files, const std::vector<std::string>& dataDirectories,
                                std::string_view cgroupPath);

}  // namespace kestrio
