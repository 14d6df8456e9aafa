#pragma once

#include <QWidget>
#include <functional>

class QDateTimeEdit;
class QLabel;
class QLineEdit;

namespace kestrio::gui::shell {

// The calendar a date picker drops down: day cells wide enough for two digits whatever the
// window's style sheet makes of table cells, and the month and year buttons reachable with Tab
// (PageUp and PageDown change the month as well).
void prepareCalendarPopup(QDateTimeEdit* picker);

// A line to type a date into, beside a picker, and under it the line that says why a typed date
// was refused. Return (or `commit`) hands the text to `accept`, which answers the refusal, empty
// when the date was taken.
class TypedDateField : public QWidget {
  Q_OBJECT

 public:
  TypedDateField(std::function<std::string(const std::string&)> accept, QWidget* parent = nullptr);

  QLineEdit* field() const { return field_; }
  QLabel* problem() const { return problem_; }
  // Hands over what was typed, if anything: false when it was refused (the reason shows).
  bool commit();

 private:
  std::function<std::string(const std::string&)> accept_;
  QLineEdit* field_ = nullptr;
  QLabel* problem_ = nullptr;
};

}  // namespace kestrio::gui::shell
