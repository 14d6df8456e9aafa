#include "counters/DatePickerViewController.h"

#include "services/StringFormatter.h"
#include "services/TypedDate.h"

namespace kestrio {

DatePickerViewController::DatePickerViewController(Platform& platform, Ui& ui)
    : platform_(platform), ui_(ui) {}

void DatePickerViewController::viewWillAppear() {
  minimumDate = platform_.now();
  datePicker = initialDate && *initialDate >= minimumDate ? *initialDate : minimumDate;
  txtDate = initialDate ? StringFormatter::getLocalizedShortDateShortTimeStringFromDate(
                              platform_, *initialDate)
                        : kNoEndDate;
  touched_ = false;
  if (view_) view_->reloadData();
}

void DatePickerViewController::setSelectedDate(Date date) {
  datePicker = date < minimumDate ? minimumDate : date;
  txtDate = StringFormatter::getLocalizedShortDateShortTimeStringFromDate(platform_, datePicker);
  touched_ = true;
  if (view_) view_->reloadData();
}

std::optional<Date> DatePickerViewController::typedDate(const std::string& text,
                                                        std::string& why) const {
  const Calendar& calendar = platform_.calendar();
  const std::optional<Date> date = dateFromTypedText(calendar, text);
  if (!date) {
    why = "\"" + text + "\" is not a date. " + typedDateHint(calendar, platform_.now());
    return std::nullopt;
  }
  // A counter cannot end in the past; a day typed alone starts at its midnight.
  if (*date < minimumDate) {
    why = "The end must be later than now (" +
          StringFormatter::getLocalizedShortDateShortTimeStringFromDate(platform_, minimumDate) +
          ").";
    return std::nullopt;
  }
  why.clear();
  return date;
}

void DatePickerViewController::noEndDateSelected() {
  txtDate = kNoEndDate;
  touched_ = true;
  if (view_) view_->reloadData();
}

void DatePickerViewController::done() {
  std::optional<Date> result;
  if (txtDate != kNoEndDate) result = touched_ || !initialDate ? datePicker : *initialDate;
  if (delegate) delegate->datePickerViewControllerDidFinish(*this, result);
  // Last: closing may release this pane.
  ui_.dismiss(this);
}

void DatePickerViewController::cancel() {
  if (delegate) delegate->datePickerViewControllerDidFinishWithCancel(*this);
  ui_.dismiss(this);
}

}  // namespace kestrio
