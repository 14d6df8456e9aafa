#include "counters/CustomCounterEditViewController.h"

#include <memory>
#include <utility>

#include "counters/CounterChange.h"
#include "counters/CounterTexts.h"
#include "services/StringFormatter.h"

namespace kestrio {

namespace {

constexpr int kNameSection = 0;
constexpr int kTrackSection = 1;
constexpr int kEndSection = 2;
constexpr int kDirectionSection = 3;
constexpr int kFirstDataSection = 4;

constexpr const char* kResetSheetTitle = "Reset data usage for this counter to zero?";
constexpr int kResetSheetTag = 1;

// The figure rows of one network for a direction: titles in order.
std::vector<const char*> figureTitles(int direction) {
  switch (direction) {
    case CustomCounter::kDirectionBoth:
      return {"Received", "Sent", "Total"};
    case CustomCounter::kDirectionReceived:
      return {"Received"};
    case CustomCounter::kDirectionSent:
      return {"Sent"};
    default:
      return {};
  }
}

}  // namespace

CustomCounterEditViewController::CustomCounterEditViewController(
    Platform& platform, Ui& ui, NotificationCenter& center, std::optional<CustomCounter> counter,
    std::string unit, bool addMode)
    : customCounter(addMode || !counter ? CustomCounter(platform, kNewCounterName) : *counter),
      displayDataUnit(std::move(unit)),
      isAddMode(addMode || !counter),
      platform_(platform),
      ui_(ui),
      center_(center) {
  themeToken_ = center_.addObserver(kProgressBarMileStoneNotification,
                                    [this](const NotificationCenter::UserInfo&) {
                                      if (view_) view_->applyTheme();
                                    });
}

CustomCounterEditViewController::~CustomCounterEditViewController() {
  center_.removeObserver(themeToken_);
}

// --- The table ---

int CustomCounterEditViewController::numberOfSections() const {
  if (isAddMode) return 4;
  return customCounter.trackCellular() && customCounter.trackWiFi() ? 7 : 6;
}

std::string CustomCounterEditViewController::titleForHeaderInSection(int section) const {
  switch (section) {
    case kTrackSection:
      return "Track";
    case kEndSection:
      return "End Date and Alert";
    case kDirectionSection:
      return "Direction";
    default:
      break;
  }
  if (isAddMode || section >= numberOfSections() - 1) return {};
  if (section == kFirstDataSection) {
    return customCounter.trackCellular() ? "Cellular Kestrio" : "Wi-Fi Kestrio";
  }
  if (section == kFirstDataSection + 1) return "Wi-Fi Kestrio";
  return {};
}

int CustomCounterEditViewController::numberOfRowsInSection(int section) const {
  if (section < 0 || section >= numberOfSections()) return 0;
  if (section == kEndSection) return 2;
  if (section == kTrackSection) return customCounter.trackCellular() ? 2 : 1;
  if (section <= kDirectionSection || section == numberOfSections() - 1) return 1;
  return static_cast<int>(figureTitles(customCounter.direction()).size());
}

std::string CustomCounterEditViewController::endDateText() const {
  if (!customCounter.endDate()) return DatePickerViewController::kNoEndDate;
  return StringFormatter::getLocalizedShortDateShortTimeStringFromDate(platform_,
                                                                       *customCounter.endDate());
}

CustomCounterEditViewController::Row CustomCounterEditViewController::rowAt(
    IndexPath indexPath) const {
  const int section = indexPath.section;
  switch (section) {
    case kNameSection:
      return {RowKind::Name, "Name", customCounter.name(), true};
    case kTrackSection:
      if (indexPath.row == 1) return {RowKind::Roaming, "Roaming only", "", false};
      return {RowKind::Track, "", "", false};
    case kEndSection:
      if (indexPath.row == 0) return {RowKind::EndDate, "End Date", endDateText(), true};
      return {RowKind::Alert, "Alert on end", "", false};
    case kDirectionSection:
      return {RowKind::Direction, "", "", false};
    default:
      break;
  }
  if (section == numberOfSections() - 1) return {RowKind::Reset, kResetCounter, "", false};
  const auto titles = figureTitles(customCounter.direction());
  if (indexPath.row < 0 || indexPath.row >= static_cast<int>(titles.size())) {
    return {RowKind::Figure, "", "", false};
  }
  const std::string title = titles[static_cast<std::size_t>(indexPath.row)];
  const bool cellular = section == kFirstDataSection && customCounter.trackCellular();
  const CustomCounter& c = customCounter;
  double bytes = 0;
  if (title == "Received") bytes = cellular ? c.cellularDataReceived() : c.wifiDataReceived();
  if (title == "Sent") bytes = cellular ? c.cellularDataSent() : c.wifiDataSent();
  if (title == "Total") bytes = cellular ? c.cellularDataTotal() : c.wifiDataTotal();
  // Every Wi-Fi figure and the cellular received figure are written with a leading blank.
  const bool leadingBlank = !cellular || title == "Received";
  return {RowKind::Figure, title, (leadingBlank ? " " : "") + counterFigure(bytes, displayDataUnit),
          false};
}

void CustomCounterEditViewController::didSelectRowAtIndexPath(IndexPath indexPath) {
  const Row row = rowAt(indexPath);
  if (row.kind == RowKind::EndDate) {
    auto pane = std::make_shared<DatePickerViewController>(platform_, ui_);
    pane->delegate = this;
    pane->initialDate =
        row.detail == DatePickerViewController::kNoEndDate
            ? std::nullopt
            : StringFormatter::getLocalizedDateFromShortDateShortTimeString(platform_, row.detail);
    ui_.present(pane, this);
  } else if (row.kind == RowKind::Name) {
    auto pane = std::make_shared<TextFieldViewController>(ui_);
    pane->delegate = this;
    pane->indexPath = indexPath;
    pane->keyboardType = TextFieldViewController::kKeyboardTypeDefault;
    pane->placeholderText = "counter name";
    pane->labelText = "Name";
    pane->initialText = row.detail;
    ui_.present(pane, this);
  }
}

// --- Controls ---

int CustomCounterEditViewController::trackSegment() const {
  if (customCounter.trackCellular() && customCounter.trackWiFi()) return 2;
  return customCounter.trackWiFi() ? 1 : 0;
}

void CustomCounterEditViewController::trackSegmentChanged(int segment) {
  // Only what is tracked changes: the figures already counted for a network stay in the
  // counter, and come back if the network is tracked again.
  customCounter.setTrackCellular(segment == 0 || segment == 2);
  customCounter.setTrackWiFi(segment == 1 || segment == 2);
  // Roaming is the modem's: a counter of Wi-Fi alone would count nothing with it.
  if (!customCounter.trackCellular()) customCounter.setRoamingOnly(false);
  reload();
}

int CustomCounterEditViewController::directionSegment() const {
  switch (customCounter.direction()) {
    case CustomCounter::kDirectionReceived:
      return 0;
    case CustomCounter::kDirectionSent:
      return 1;
    default:
      return 2;
  }
}

void CustomCounterEditViewController::directionSegmentChanged(int segment) {
  customCounter.setDirection(segment == 0   ? CustomCounter::kDirectionReceived
                             : segment == 1 ? CustomCounter::kDirectionSent
                                            : CustomCounter::kDirectionBoth);
  reload();
}

void CustomCounterEditViewController::roamingSwitchChanged(bool on) {
  customCounter.setRoamingOnly(on);
  reload();
}

void CustomCounterEditViewController::alertSwitchChanged(bool on) {
  customCounter.setNotifyOnEnd(on);
  reload();
}

void CustomCounterEditViewController::resetCounterTapped() {
  ActionSheet sheet;
  sheet.title = kResetSheetTitle;
  sheet.buttons = {kResetCounter, "Cancel"};
  sheet.destructiveButtonIndex = 0;
  sheet.cancelButtonIndex = 1;
  sheet.tag = kResetSheetTag;
  ui_.showActionSheet(sheet, this);
}

void CustomCounterEditViewController::clickedButtonAtIndex(const ActionSheet& sheet,
                                                           int buttonIndex) {
  if (sheet.tag != kResetSheetTag || buttonIndex != 0) return;
  customCounter.resetCellular();
  customCounter.resetWiFi();
  resetRequested_ = true;
  reload();
}

// --- Save and Cancel ---

bool CustomCounterEditViewController::saveAndDismissView() {
  Stored stored;
  if (isAddMode) {
    stored = storeCounterChange(
        platform_, [&] { return CustomCounter::addCustomCounter(platform_, customCounter); });
  } else {
    stored = storeCounterChange(platform_, [&] {
      // The passes kept counting while the screen was open: the settings edited here go onto the
      // stored counter, whose figures (or zeros, after a reset here) and state are kept, so no
      // traffic counted meanwhile is lost.
      const auto list = CustomCounter::getAllCustomCounters(platform_);
      for (const CustomCounter& kept : list) {
        if (kept.uniqueId() != customCounter.uniqueId()) continue;
        CustomCounter merged = kept;
        merged.setName(customCounter.name());
        merged.setTrackCellular(customCounter.trackCellular());
        merged.setTrackWiFi(customCounter.trackWiFi());
        merged.setEndDate(customCounter.endDate());
        merged.setDirection(customCounter.direction());
        merged.setNotifyOnEnd(customCounter.notifyOnEnd());
        merged.setRoamingOnly(customCounter.roamingOnly());
        if (resetRequested_) merged.reset();
        return CustomCounter::saveCustomCounter(platform_, merged);
      }
      return CustomCounter::counterNotFound();
    });
  }
  if (!stored.ok()) {
    Alert alert;
    alert.title = "Counter Not Saved";
    alert.message = "The counter could not be saved: " + stored.reason() + ".";
    alert.cancelButton = "OK";
    ui_.showAlert(alert, nullptr);
    return false;
  }
  auto closed = onClose;
  ui_.dismiss(this);
  if (closed) closed();
  return true;
}

void CustomCounterEditViewController::cancelAndDismissView() {
  auto closed = onClose;
  ui_.dismiss(this);
  if (closed) closed();
}

// --- Panes ---

void CustomCounterEditViewController::datePickerViewControllerDidFinish(DatePickerViewController&,
                                                                        std::optional<Date> date) {
  customCounter.setEndDate(date);
  reload(0.5);
}

void CustomCounterEditViewController::datePickerViewControllerDidFinishWithCancel(
    DatePickerViewController&) {}

void CustomCounterEditViewController::textViewControllerDidFinish(TextFieldViewController&,
                                                                  const std::string& text,
                                                                  IndexPath) {
  customCounter.setName(text);
  reload(0.25);
}

void CustomCounterEditViewController::reload(double afterSeconds) {
  if (!view_) return;
  if (afterSeconds > 0) {
    view_->reloadDataAfter(afterSeconds);
  } else {
    view_->reloadData();
  }
}

}  // namespace kestrio
