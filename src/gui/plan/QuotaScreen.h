#pragma once

#include <QWidget>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "plan/QuotaViewController.h"

class QComboBox;
class QLabel;
class QSpinBox;

namespace kestrio::gui {

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
