#pragma once

namespace kestrio {
class Platform;
}

namespace kestrio::gui {

namespace shell {
class ViewRegistry;
}

// The Custom tab's screens as the window shows them: a counter's detail pushed over the list; the
// editor and its date and name panes presented over the window, where Escape or the window's
// close button is the screen's Cancel (the editor stores nothing, a pane hands its old value
// back). `platform` outlives the registry.
void registerCounterScreens(shell::ViewRegistry& views, kestrio::Platform& platform);

}  // namespace kestrio::gui
