#pragma once

#include <QWidget>
#include <memory>

#include "plan/StartDayViewController.h"

class QLabel;
class QListWidget;

namespace kestrio::gui {

// The start-day pane: the days a billing cycle may start on, as a list that stands in for a
// wheel; moving through it stores the day at once, and the summary box shows what was stored.
class StartDayScreen : public QWidget {
  Q_OBJECT
 public:
  explicit StartDayScreen(std::shared_ptr<kestrio::StartDayViewController> controller);
  QListWidget* list() const { return list_; }
  QLabel* summary() const { return summary_; }

 private:
  std::shared_ptr<kestrio::StartDayViewController> controller_;
  QListWidget* list_ = nullptr;
  QLabel* summary_ = nullptr;
};

}  // namespace kestrio::gui
