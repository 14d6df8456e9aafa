#pragma once

#include <cstdint>
#include <string>
#include <string_view>

struct sd_bus;

namespace kestrio {

// The desktop's services on the session D-Bus. Every call opens its own connection and closes it
// again, so a process without a session bus (a systemd timer, a test) only pays a failed connect.

// Whether there is a session bus to connect to, where sd-bus looks for one: the address in the
// environment, or the "bus" socket of the user's runtime directory. Without one (a timer, a
// login over ssh) the bus library is not even loaded.
bool sessionBusKnown();

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
  // Offers the "View" action (and the same on a click of the notification itself). Only a
  // connection that stays open hears it chosen: see NotificationActions.
  bool viewAction = false;
};

// The action keys the notification service reports for the "View" action: its button, and a
// click on the notification.
inline constexpr const char* kViewActionKey = "view";
inline constexpr const char* kClickActionKey = "default";

// Asks org.freedesktop.Notifications to show `body` under the summary "Kestrio". `soundName` is
// the sound to play ("default" is the desktop's message sound; empty plays none). The server's id
// of the notification goes to `id` (for a later one to replace). False, with a one-line reason in
// `error`, when there is no session bus or the call failed or timed out.
bool showDesktopNotification(std::string_view body, std::string_view soundName,
                             const DesktopNotificationOptions& options, std::uint32_t* id,
                             std::string* error);

// As above, over the open connection `bus`, which hears the notification's actions.
bool showDesktopNotificationOn(sd_bus* bus, std::string_view body, std::string_view soundName,
                               const DesktopNotificationOptions& options, std::uint32_t* id,
                               std::string* error);

// The object path the launcher-entry signal is sent from for an application URI: one path per
// application, the same in every process.
std::string launcherEntryPath(std::string_view appUri);

// Tells docks and launchers (com.canonical.Unity.LauncherEntry) to show `count` on Kestrio's
// icon, or no count when it is 0. False, with a reason in `error`, when there is no bus.
bool publishLauncherCount(int count, std::string* error);

}  // namespace kestrio
