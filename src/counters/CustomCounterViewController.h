#pragma once

#include <memory>
#include <string>
#include <vector>

#include "counters/CounterView.h"
#include "engine/CustomCounter.h"
#include "platform/Platform.h"
#include "platform/Ui.h"
#include "services/NotificationCenter.h"

namespace kestrio {

// The list of custom counters, the root screen of the "Custom" tab: one row per counter with
// its figures and an on/off switch; in editing mode rows are deleted and moved.
class CustomCounterViewController
    : public ViewController,
      public std::enable_shared_from_this<CustomCounterViewController> {
 public:
  CustomCounterViewController(Platform& platform, Ui& ui, NotificationCenter& center);

  std::string title() const override { return "Counters"; }
  // Each time the list is shown: the display unit and the stored list, read again.
  void viewWillAppear() override;
  void setView(CounterView* view) { view_ = view; }

  int numberOfRows() const { return static_cast<int>(customCounterData.size()); }
  std::string titleForRow(int row) const;
  std::string subtitleForRow(int row) const;
  // The switch is on while the counter counts.
  bool switchIsOn(int row) const;
  // Pauses or resumes the counter; the stored counter changes, its figures stay as counted.
  void switchChanged(int row, bool on);

  // Editing mode: rows are deleted and moved, and selecting one edits it.
  bool isEditing() const { return editing_; }
  void setEditing(bool editing);
  // Outside editing mode, the detail screen is pushed; in it, the edit screen is presented.
  void didSelectRow(int row);
  // The Add button: the edit screen in add mode.
  void addCounter();
  // Deletes the counter and cancels its end notification, then offers to undo it for a few
  // seconds.
  void commitDelete(int row);
  // Puts a deleted counter back at `position` of the list, as it was stored, with its end
  // notification; then shows the list as stored. A failure is shown in an alert; answers
  // whether it was stored.
  bool restoreCounter(const CustomCounter& counter, std::size_t position);
  // Moves a row, then shows the list as stored.
  void moveRow(int from, int to);

  std::vector<CustomCounter> customCounterData;
  std::string displayDataUnit = "MB";

 private:
  bool apply(const std::function<Stored()>& change);
  void reload();

  Platform& platform_;
  Ui& ui_;
  NotificationCenter& center_;
  CounterView* view_ = nullptr;
  bool editing_ = false;
};

// The display unit the settings choose, as the counter screens show it.
std::string counterDisplayUnit(Platform& platform);

}  // namespace kestrio
