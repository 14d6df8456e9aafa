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

// The display format of a date entry that writes a moment as an ICU pattern does ("M/d/yy, h:mm
// a" becomes "M/d/yy, h:mm AP"): the same fields in the same order between the same separators.
// Fields an entry cannot edit (era, zone) are left out; an empty pattern gives an empty format.
QString displayFormatFor(const std::string& icuPattern);
// Shows `picker`'s moment in the form `icuPattern` writes; a pattern without a field to edit
// leaves the picker's own form.
void showInPlatformForm(QDateTimeEdit* picker, const std::string& icuPattern);

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
