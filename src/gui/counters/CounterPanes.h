#pragma once

#include <QWidget>
#include <memory>

#include "counters/CounterView.h"
#include "counters/DatePickerViewController.h"
#include "counters/TextFieldViewController.h"

class QDateTimeEdit;
class QLineEdit;
class QPushButton;
class QToolButton;
class QLabel;

namespace kestrio::gui {

// The end-date pane: a date-and-time picker that starts no earlier than now, the chosen end as
// text, and a button for no end at all.
class DatePickerPane : public QWidget, public kestrio::CounterView {
  Q_OBJECT

 public:
  explicit DatePickerPane(std::shared_ptr<kestrio::DatePickerViewController> controller,
                          QWidget* parent = nullptr);
  ~DatePickerPane() override;

  kestrio::DatePickerViewController& controller() { return *controller_; }
  QDateTimeEdit* picker() const { return picker_; }
  QLineEdit* dateText() const { return txtDate_; }
  QPushButton* noEndDateButton() const { return btnNoEndDate_; }
  QToolButton* doneButton() const { return done_; }

  void reloadData() override;

 private:
  std::shared_ptr<kestrio::DatePickerViewController> controller_;
  QDateTimeEdit* picker_ = nullptr;
  QLineEdit* txtDate_ = nullptr;
  QPushButton* btnNoEndDate_ = nullptr;
  QToolButton* done_ = nullptr;
  bool drawing_ = false;
};

// The one-line text pane: a label, the field with the keyboard focus, Done and Cancel.
class TextFieldPane : public QWidget, public kestrio::CounterView {
  Q_OBJECT

 public:
  TextFieldPane(std::shared_ptr<kestrio::TextFieldViewController> controller,
                QWidget* parent = nullptr);
  ~TextFieldPane() override;

  kestrio::TextFieldViewController& controller() { return *controller_; }
  QLineEdit* field() const { return field_; }

  void reloadData() override;

 private:
  std::shared_ptr<kestrio::TextFieldViewController> controller_;
  QLineEdit* field_ = nullptr;
  QLabel* label_ = nullptr;
};

}  // namespace kestrio::gui
