#pragma once

namespace kestrio::gui {

namespace shell {
class WindowNavigator;
}

// The History tab's screens as the window shows them: a period's detail pushed over the list
// (its back button and Escape return to the list), the chart presented as a modal window.
void registerHistoryScreens(shell::WindowNavigator& navigator);

}  // namespace kestrio::gui
