#pragma once

#include <functional>
#include <optional>
#include <string>

#include "counters/CounterView.h"
#include "counters/DatePickerViewController.h"
#include "counters/TextFieldViewController.h"
#include "engine/CustomCounter.h"
#include "platform/Platform.h"
#include "platform/Ui.h"
#include "services/NotificationCenter.h"

namespace kestrio {

// The add and edit screen of one counter. It changes its own copy as the user works and stores
// it only on Save; Cancel stores nothing.
class CustomCounterEditViewController : public ViewController,
                                        public DatePickerViewControllerDelegate,
                                        public TextViewControllerDelegate,
                                        public ActionSheetDelegate {
 public:
  static constexpr const char* kNewCounterName = "New Counter";
  static constexpr const char* kResetCounter = "Reset Counter";

  // The kinds of row the table holds.
  enum class RowKind { Name, Track, Roaming, EndDate, Alert, Direction, Figure, Reset };
  struct Row {
    RowKind kind;
    std::string title;
    std::string detail;
    bool disclosure = false;
  };

  // In add mode `counter` is ignored: the screen edits a new "New Counter" of both networks.
  CustomCounterEditViewController(Platform& platform, Ui& ui, NotificationCenter& center,
                                  std::optional<CustomCounter> counter, std::string displayDataUnit,
                                  bool isAddMode);
  ~CustomCounterEditViewController() override;
  CustomCounterEditViewController(const CustomCounterEditViewController&) = delete;
  CustomCounterEditViewController& operator=(const CustomCounterEditViewController&) = delete;

  std::string title() const override { return isAddMode ? "Add Counter" : "Edit Counter"; }
  void setView(CounterView* view) { view_ = view; }

  // --- The table ---
  // 4 sections in add mode; otherwise 7 when both networks are tracked, else 6.
  int numberOfSections() const;
  // Empty for a section without a header.
  std::string titleForHeaderInSection(int section) const;
  int numberOfRowsInSection(int section) const;
  Row rowAt(IndexPath indexPath) const;
  // Selecting "Name" or "End Date" opens its pane; other rows do nothing.
  void didSelectRowAtIndexPath(IndexPath indexPath);

  // --- The controls the rows carry ---
  // Track: 0 "Cellular", 1 "Wi-Fi", 2 "Both".
  int trackSegment() const;
  void trackSegmentChanged(int segment);
  // Direction: 0 "Received", 1 "Sent", 2 "Both".
  int directionSegment() const;
  void directionSegmentChanged(int segment);
  void alertSwitchChanged(bool on);
  // "Roaming only", under Track while the counter tracks cellular: counts cellular traffic only
  // while the modem roams.
  void roamingSwitchChanged(bool on);
  // "Reset Counter": asks with an action sheet; the reset is stored only by Save.
  void resetCounterTapped();

  // --- The bar's buttons ---
  // Add mode appends the counter; edit mode stores the edited settings on the stored counter.
  // Closes the screen when stored; otherwise tells the user why and stays open.
  bool saveAndDismissView();
  void cancelAndDismissView();

  // --- Delegates of the panes and the sheet ---
  void datePickerViewControllerDidFinish(DatePickerViewController& pane,
                                         std::optional<Date> date) override;
  void datePickerViewControllerDidFinishWithCancel(DatePickerViewController& pane) override;
  void textViewControllerDidFinish(TextFieldViewController& pane, const std::string& text,
                                   IndexPath indexPath) override;
  void clickedButtonAtIndex(const ActionSheet& sheet, int buttonIndex) override;

  // Called after the screen closed, whether saved or not, so the screen below shows the stored
  // state again.
  std::function<void()> onClose;

  CustomCounter customCounter;
  std::string displayDataUnit;
  bool isAddMode;

 private:
  std::string endDateText() const;
  void reload(double afterSeconds = 0);

  Platform& platform_;
  Ui& ui_;
  NotificationCenter& center_;
  CounterView* view_ = nullptr;
  int themeToken_ = 0;
  // The user reset the figures here: Save stores zeros rather than what the passes counted.
  bool resetRequested_ = false;
};

}  // namespace kestrio
