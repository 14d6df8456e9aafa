#pragma once

#include <QWidget>
#include <memory>

#include "counters/CounterView.h"
#include "counters/DatePickerViewController.h"

class QDateTimeEdit;
class QLineEdit;
class QPushButton;
class QToolButton;

namespace kestrio::gui {
namespace shell {
class TypedDateField;
}

// The end-date pane: a date-and-time picker that starts no earlier than now, a field to type the
// end into, the chosen end as text, and a button for no end at all.
class DatePickerScreen : public QWidget, public kestrio::CounterView {
  Q_OBJECT

 public:
  // `datePattern`: the platform's form of a date with its time, in ICU's letters, which the
  // picker shows.
  DatePickerScreen(std::shared_ptr<kestrio::DatePickerViewController> controller,
                   const std::string& datePattern, QWidget* parent = nullptr);
  ~DatePickerScreen() override;

  kestrio::DatePickerViewController& controller() { return *controller_; }
  QDateTimeEdit* picker() const { return picker_; }
  QLineEdit* dateText() const { return txtDate_; }
  QPushButton* noEndDateButton() const { return btnNoEndDate_; }
  QToolButton* doneButton() const { return done_; }
  shell::TypedDateField* typedDate() const { return typed_; }

  void reloadData() override;

 private:
  std::shared_ptr<kestrio::DatePickerViewController> controller_;
  QDateTimeEdit* picker_ = nullptr;
  QLineEdit* txtDate_ = nullptr;
  QPushButton* btnNoEndDate_ = nullptr;
  QToolButton* done_ = nullptr;
  shell::TypedDateField* typed_ = nullptr;
  bool drawing_ = false;
};

}  // namespace kestrio::gui
