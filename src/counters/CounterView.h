#pragma once

namespace kestrio {

// What a counter screen's controller asks of the table that draws it. A controller without a
// view (the command line, tests) has none.
class CounterView {
 public:
  virtual ~CounterView() = default;
  // Draw every row again from the controller.
  virtual void reloadData() = 0;
  // Draw again once `seconds` have passed, so a pane that is closing is out of the way first.
  virtual void reloadDataAfter(double seconds) {
    (void)seconds;
    reloadData();
  }
  // A row of the list was deleted: take it out with a fade.
  virtual void deleteRow(int row) {
    (void)row;
    reloadData();
  }
  // The theme's colours changed (the gauge's band moved): colour the screen again.
  virtual void applyTheme() {}
};

}  // namespace kestrio
