#pragma once

#include <optional>
#include <string>

#include "counters/CounterView.h"
#include "platform/Platform.h"
#include "platform/Ui.h"

namespace kestrio {

class DatePickerViewController;

// Hears how the date pane closed.
class DatePickerViewControllerDelegate {
 public:
  virtual ~DatePickerViewControllerDelegate() = default;
  // Done: the picked moment, or none for "No End Date".
  virtual void datePickerViewControllerDidFinish(DatePickerViewController& pane,
                                                 std::optional<Date> date) = 0;
  virtual void datePickerViewControllerDidFinishWithCancel(DatePickerViewController& pane) = 0;
};

// The pane that picks a counter's end: a date and time no earlier than now, or "No End Date".
class DatePickerViewController : public ViewController {
 public:
  static constexpr const char* kNoEndDate = "No End Date";

  DatePickerViewController(Platform& platform, Ui& ui);

  std::string title() const override { return "End Date"; }
  // Loads the pane: the earliest moment is now; the picker starts at `initialDate` when that is
  // not in the past, else now. The date text shows `initialDate`, or "No End Date" without one.
  void viewWillAppear() override;
  void setView(CounterView* view) { view_ = view; }

  // The user turned the picker: the moment, never before the earliest one, and its text.
  void setSelectedDate(Date date);
  // A date typed into the pane, when it reads as a date (the locale's short form or ISO) no
  // earlier than the earliest moment; else nothing, and `why` holds the line to show.
  std::optional<Date> typedDate(const std::string& text, std::string& why) const;
  // The no-end-date button.
  void noEndDateSelected();
  // Done: none when the text reads "No End Date"; the initial date, untouched, when the user
  // changed nothing (so an end that has passed stays as it was); otherwise the picker's value.
  void done();
  void cancel();

  DatePickerViewControllerDelegate* delegate = nullptr;
  std::optional<Date> initialDate;
  // What the pane shows.
  std::string txtDate;
  Date datePicker;
  Date minimumDate;

 private:
  Platform& platform_;
  Ui& ui_;
  CounterView* view_ = nullptr;
  bool touched_ = false;
};

}  // namespace kestrio
