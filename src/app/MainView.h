#pragma once

#include <string>

namespace kestrio {

// What a usage screen's controller needs from the view that draws it. A controller without a
// view (the application delegate's own, or the command line's) has none.
class MainView {
 public:
  virtual ~MainView() = default;
  // The layout the screen was loaded from; a cellular layout ("CellularUsageView",
  // "CellularUsageView5", "CellularUsageView-iPad", "CellularUsageViewLS",
  // "CellularUsageViewLS-iPad") makes it the cellular screen.
  virtual std::string layoutName() const = 0;
  virtual bool isTablet() const { return false; }
  // Draw every field of the controller again.
  virtual void setNeedsDisplay() = 0;
  // The startup screen chosen by the settings: select this tab of the tab bar.
  virtual void selectTab(int index) = 0;
  // The size of the scrolling status area, in points.
  virtual void setContentSize(int width, int height) = 0;
  // The screen stacked on this one in landscape, if any.
  virtual class MainViewController* stackedLandscapeScreen() { return nullptr; }
};

}  // namespace kestrio
