#include "counters/CustomCounterViewController.h"

#include "counters/CounterChange.h"
#include "counters/CounterTexts.h"
#include "counters/CustomCounterDetailViewController.h"
#include "counters/CustomCounterEditViewController.h"
#include "engine/AppSettings.h"

namespace kestrio {

std::string counterDisplayUnit(Platform& platform) {
  AppSettings settings(platform);
  settings.getSettings();
  return settings.displayUnit().value_or("MB");
}

CustomCounterViewController::CustomCounterViewController(Platform& platform, Ui& ui,
                                                         NotificationCenter& center)
    : platform_(platform), ui_(ui), center_(center) {}

void CustomCounterViewController::viewWillAppear() {
  displayDataUnit = counterDisplayUnit(platform_);
  customCounterData = CustomCounter::getAllCustomCounters(platform_);
  reload();
}

void CustomCounterViewController::reload() {
  if (view_) view_->reloadData();
}

std::string CustomCounterViewController::titleForRow(int row) const {
  if (row < 0 || row >= numberOfRows()) return {};
  return customCounterData[static_cast<std::size_t>(row)].name();
}

std::string CustomCounterViewController::subtitleForRow(int row) const {
  if (row < 0 || row >= numberOfRows()) return {};
  return counterListSubtitle(customCounterData[static_cast<std::size_t>(row)], displayDataUnit);
}

bool CustomCounterViewController::switchIsOn(int row) const {
  if (row < 0 || row >= numberOfRows()) return false;
  return !customCounterData[static_cast<std::size_t>(row)].isPaused();
}

bool CustomCounterViewController::apply(const std::function<Stored()>& change) {
  const Stored stored = storeCounterChange(platform_, change);
  if (stored.ok()) return true;
  Alert alert;
  alert.title = "Counter Not Saved";
  alert.message = "The change could not be saved: " + stored.reason() + ".";
  alert.cancelButton = "OK";
  ui_.showAlert(alert, nullptr);
  return false;
}

void CustomCounterViewController::switchChanged(int row, bool on) {
  if (row < 0 || row >= numberOfRows()) return;
  const std::string id = customCounterData[static_cast<std::size_t>(row)].uniqueId();
  // The list shown may be older than the stored one (a pass has counted since it appeared):
  // the switch changes the stored counter, so nothing counted meanwhile is written over.
  apply([&] {
    auto stored = CustomCounter::getAllCustomCounters(platform_);
    for (CustomCounter& counter : stored) {
      if (counter.uniqueId() != id) continue;
      counter.setIsPaused(!on);
      return CustomCounter::saveCustomCounterData(platform_, stored);
    }
    return CustomCounter::counterNotFound();
  });
  customCounterData = CustomCounter::getAllCustomCounters(platform_);
  reload();
}

void CustomCounterViewController::setEditing(bool editing) {
  editing_ = editing;
  reload();
}

void CustomCounterViewController::didSelectRow(int row) {
  if (row < 0 || row >= numberOfRows()) return;
  const CustomCounter& counter = customCounterData[static_cast<std::size_t>(row)];
  if (!editing_) {
    ui_.push(std::make_shared<CustomCounterDetailViewController>(platform_, ui_, center_, counter,
                                                                 displayDataUnit),
             this);
    return;
  }
  auto edit = std::make_shared<CustomCounterEditViewController>(platform_, ui_, center_, counter,
                                                                displayDataUnit, false);
  std::weak_ptr<CustomCounterViewController> self = weak_from_this();
  edit->onClose = [self] {
    if (auto list = self.lock()) list->viewWillAppear();
  };
  ui_.present(edit, this);
}

void CustomCounterViewController::addCounter() {
  auto edit = std::make_shared<CustomCounterEditViewController>(
      platform_, ui_, center_, std::nullopt, displayDataUnit, true);
  std::weak_ptr<CustomCounterViewController> self = weak_from_this();
  edit->onClose = [self] {
    if (auto list = self.lock()) list->viewWillAppear();
  };
  ui_.present(edit, this);
}

void CustomCounterViewController::commitDelete(int row) {
  if (row < 0 || row >= numberOfRows()) return;
  const CustomCounter counter = customCounterData[static_cast<std::size_t>(row)];
  // Undo puts back the counter as stored when it was deleted (a pass may have counted since
  // the list was drawn), where it stood.
  std::optional<CustomCounter> deleted;
  std::size_t position = 0;
  // Through the store's removal, so the counter's end notification goes with it: a deleted
  // counter never announces its end.
  if (!apply([&] {
        const auto stored = CustomCounter::getAllCustomCounters(platform_);
        for (std::size_t i = 0; i < stored.size(); ++i) {
          if (stored[i].uniqueId() != counter.uniqueId()) continue;
          deleted = stored[i];
          position = i;
        }
        // Already removed elsewhere is what the user asked for.
        Stored removed = CustomCounter::removeCustomCounter(platform_, counter);
        return removed.isNotFound() ? Stored() : removed;
      })) {
    viewWillAppear();
    return;
  }
  customCounterData.erase(customCounterData.begin() + row);
  if (view_) view_->deleteRow(row);
  if (!deleted) return;
  std::weak_ptr<CustomCounterViewController> self = weak_from_this();
  ui_.offerUndo({"Counter deleted", [self, restored = *deleted, position] {
                   if (auto list = self.lock()) list->restoreCounter(restored, position);
                 }});
}

bool CustomCounterViewController::restoreCounter(const CustomCounter& counter,
                                                 std::size_t position) {
  const bool stored = apply([&] {
    const auto list = CustomCounter::getAllCustomCounters(platform_);
    for (const CustomCounter& present : list) {
      // Already back (another window's Undo): nothing to add twice.
      if (present.uniqueId() == counter.uniqueId()) return Stored();
    }
    // Added at the end first, so its end notification is scheduled again as for a new counter.
    if (Stored added = CustomCounter::addCustomCounter(platform_, counter); !added.ok()) {
      return added;
    }
    const std::size_t last = list.size();
    return position < last ? CustomCounter::reorderCustomCounterFromIndex(platform_, last, position)
                           : Stored();
  });
  customCounterData = CustomCounter::getAllCustomCounters(platform_);
  reload();
  if (!stored) return false;
  // What is read back must be the counter as it was deleted.
  for (const CustomCounter& present : customCounterData) {
    if (present == counter) return true;
  }
  Alert alert;
  alert.title = "Counter Not Saved";
  alert.message = "The counter could not be restored: the counter file could not be written.";
  alert.cancelButton = "OK";
  ui_.showAlert(alert, nullptr);
  return false;
}

void CustomCounterViewController::moveRow(int from, int to) {
  if (from < 0 || to < 0 || from >= numberOfRows() || to >= numberOfRows()) return;
  platform_.log("Move Row " + std::to_string(from) + " to row " + std::to_string(to));
  // The rows are the stored order only if no other window or command changed it meanwhile; the
  // move names the counter, so another one is never moved in its place.
  const std::string id = customCounterData[static_cast<std::size_t>(from)].uniqueId();
  apply([&] {
    const auto stored = CustomCounter::getAllCustomCounters(platform_);
    if (from >= static_cast<int>(stored.size()) || to >= static_cast<int>(stored.size()) ||
        stored[static_cast<std::size_t>(from)].uniqueId() != id) {
      return CustomCounter::counterNotFound();
    }
    return CustomCounter::reorderCustomCounterFromIndex(platform_, static_cast<std::size_t>(from),
                                                        static_cast<std::size_t>(to));
  });
  customCounterData = CustomCounter::getAllCustomCounters(platform_);
  reload();
}

}  // namespace kestrio
