#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kestrio {

// The desktop's services on the session D-Bus. Every call opens its own connection and closes it
// again, so a process without a session bus (a systemd timer, a test) only pays a failed connect.

// The body text made safe for the notification service, which reads a small markup in bodies:
// &, <, >, ' and " become entities, so a counter's name shows as typed and never as markup;
// controls other than line feed and tab, and malformed UTF-8, become U+FFFD.
std::string escapeNotificationMarkup(std::string_view text);

// The sound theme name to ask for: `soundName` when it is one, the desktop's message sound for
// "default" and for anything that is not a theme name (a path, controls, empty).
std::string notificationSoundName(std::string_view soundName);

// How a notification is shown beyond its text.
struct DesktopNotificationOptions {
  // The server's id of a notification this one takes the place of; 0 for a new one.
  std::uint32_t replacesId = 0;
  // Urgency "critical" (2) rather than "normal" (1).
  bool critical = false;
};

// Asks org.freedesktop.Notifications to show `body` under the summary "Kestrio". `soundName` is
// the sound to play ("default" is the desktop's message sound; empty plays none). The server's id
// of the notification goes to `id` (for a later one to replace). False, with a one-line reason in
// `error`, when there is no session bus or the call failed or timed out.
bool showDesktopNotification(std::string_view body, std::string_view soundName,
                             const DesktopNotificationOptions& options, std::uint32_t* id,
                             std::string* error);

// The object path the launcher-entry signal is sent from for an application URI: one path per
// application, the same in every process.
std::string launcherEntryPath(std::string_view appUri);

// Tells docks and launchers (com.canonical.Unity.LauncherEntry) to show `count` on Kestrio's
// icon, or no count when it is 0. False, with a reason in `error`, when there is no bus.
bool publishLauncherCount(int count, std::string* error);

}  // namespace kestrio
