#pragma once

#include <QWidget>
#include <memory>

#include "plan/PlanTypeViewController.h"

class QListWidget;

namespace kestrio::gui {

// The plan-type pane of the Settings tab: the plan types as a list, the chosen one checked;
// picking a row stores it at once.
class PlanTypeScreen : public QWidget {
  Q_OBJECT
 public:
  explicit PlanTypeScreen(std::shared_ptr<kestrio::PlanTypeViewController> controller);
  QListWidget* list() const { return list_; }

 private:
  void reload();
  std::shared_ptr<kestrio::PlanTypeViewController> controller_;
  QListWidget* list_ = nullptr;
};

}  // namespace kestrio::gui
