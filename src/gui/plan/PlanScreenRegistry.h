#pragma once

#include <QWidget>
#include <functional>
#include <memory>
#include <optional>

#include "plan/CustomDatePickerController.h"
#include "plan/DaysViewController.h"
#include "plan/PlanTypeViewController.h"
#include "plan/QuotaViewController.h"
#include "plan/StartDateViewController.h"
#include "plan/StartDayViewController.h"

class QDateTimeEdit;
class QComboBox;
class QLabel;
class QListWidget;
class QSpinBox;

namespace kestrio::gui {
namespace shell {
class ViewRegistry;
}

// Registers the views of the plan editors.
void registerPlanScreens(shell::ViewRegistry& views);

// The views of the plan editors. Desktop controls stand in for wheels: a list for the plan type
// and the start day, number fields for lengths and amounts, a date-and-time field for start
// dates. Every change reaches the controller at once, which stores it; a summary box (grey
// border) shows what was stored.
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

// Both custom-start panes and the start-date pane: a date-and-time field within the pane's
// limits.
class StartDateScreen : public QWidget {
  Q_OBJECT
 public:
  // `changed` stores a picked moment and answers the summary text (empty for none); nothing
  // when the moment could not be stored.
  StartDateScreen(std::shared_ptr<kestrio::ViewController> controller,
                  std::function<kestrio::Date()> minimum, std::function<kestrio::Date()> maximum,
                  std::function<kestrio::Date()> current,
                  std::function<std::optional<std::string>(kestrio::Date)> changed);
  QDateTimeEdit* picker() const { return picker_; }
  QLabel* summary() const { return summary_; }

 private:
  std::shared_ptr<kestrio::ViewController> controller_;
  QDateTimeEdit* picker_ = nullptr;
  QLabel* summary_ = nullptr;
};

// The quota and current-usage panes: an amount and its unit.
class QuotaScreen : public QWidget {
  Q_OBJECT
 public:
  // `set` stores an amount in a unit (0 MB, 1 GB) and answers false when that failed.
  QuotaScreen(std::shared_ptr<kestrio::ViewController> controller, kestrio::QuotaWheels& wheels,
              std::string& summary, std::function<bool(std::int64_t, int)> set,
              std::function<std::string()> failure);
  QSpinBox* amount() const { return amount_; }
  QComboBox* unit() const { return unit_; }
  QLabel* summary() const { return summary_; }

 private:
  void changed();
  void show();
  std::shared_ptr<kestrio::ViewController> controller_;
  kestrio::QuotaWheels& wheels_;
  std::string& summaryText_;
  std::function<bool(std::int64_t, int)> set_;
  std::function<std::string()> failure_;
  QSpinBox* amount_ = nullptr;
  QComboBox* unit_ = nullptr;
  QLabel* summary_ = nullptr;
  bool showing_ = false;
};

}  // namespace kestrio::gui
