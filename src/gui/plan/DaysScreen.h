#pragma once

#include <QWidget>
#include <memory>

#include "plan/DaysViewController.h"

class QLabel;
class QSpinBox;

namespace kestrio::gui {

// The cycle-length pane of a plan counted in days: the number of days in a number field; a
// change is stored at once, and the summary box shows what was stored.
class DaysScreen : public QWidget {
  Q_OBJECT
 public:
  explicit DaysScreen(std::shared_ptr<kestrio::DaysViewController> controller);
  QSpinBox* days() const { return days_; }
  QLabel* summary() const { return summary_; }

 private:
  std::shared_ptr<kestrio::DaysViewController> controller_;
  QSpinBox* days_ = nullptr;
  QLabel* summary_ = nullptr;
};

}  // namespace kestrio::gui
