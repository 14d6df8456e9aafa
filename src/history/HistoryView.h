#pragma once

namespace kestrio {

// What the history screens' controllers need from the views that draw them. A controller
// without a view (the command line's) has none.
class HistoryView {
 public:
  virtual ~HistoryView() = default;
  // Draw every row again from the controller.
  virtual void reloadData() = 0;
  // Remove one row (fading), the others staying as they are.
  virtual void deleteRow(int row) = 0;
  // Tablet idiom: larger chart labels, values above the bars in every unit.
  virtual bool isTablet() const { return true; }
  // The height of the screen in points, which picks the chart's layout on a phone.
  virtual int screenHeight() const { return 0; }
};

}  // namespace kestrio
