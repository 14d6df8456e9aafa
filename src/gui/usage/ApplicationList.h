#pragma once

#include <QWidget>
#include <set>
#include <string>
#include <vector>

#include "app/ApplicationListController.h"

class QLabel;
class QVBoxLayout;

namespace kestrio::gui {

// "Apps" on a usage screen: per application its icon, its name, its amount in the billing period
// and a bar of its share, with a button that shows its days; or the one line that tells how to
// enable counting. It draws its controller's rows; it computes nothing.
class ApplicationList : public QWidget {
  Q_OBJECT

 public:
  ApplicationList(kestrio::Platform& platform, bool cellular, QWidget* parent = nullptr);

  // Has the controller read the stored applications after a refresh, then draws them.
  void reload(const std::string& unit);
  const kestrio::ApplicationListController& controller() const { return controller_; }
  // Whether the buttons take a fingertip's size (a phone held upright).
  void setTouch(bool touch) { touch_ = touch; }

 private:
  void rebuild(const std::vector<kestrio::ApplicationRow>& rows);
  QWidget* makeRow(const kestrio::ApplicationRow& row);

  kestrio::ApplicationListController controller_;
  QLabel* title_ = nullptr;
  QLabel* hint_ = nullptr;
  QVBoxLayout* rowsLayout_ = nullptr;
  std::vector<kestrio::ApplicationRow> shown_;
  // The applications whose days are open; they stay open while the rows are built anew.
  std::set<std::string> open_;
  bool touch_ = false;
};

}  // namespace kestrio::gui
