#include "history/HistoryViewController.h"

#include "engine/AppSettings.h"
#include "history/HistoryChanges.h"
#include "history/HistoryChartViewController.h"
#include "history/HistoryDetailViewController.h"
#include "history/HistoryExport.h"
#include "services/StringFormatter.h"

namespace kestrio {
namespace {

std::string shortDate(Platform& platform, const std::optional<Date>& date) {
  return date ? StringFormatter::getLocalizedShortDateNoTimeStringFromDate(platform, *date) : "";
}

}  // namespace

HistoryViewController::HistoryViewController(Platform& platform, Ui& ui, HistoryView* view)
    : platform_(platform), ui_(ui), view_(view) {}

void HistoryViewController::viewWillAppear() {
  AppSettings settings(platform_);
  settings.getSettings();
  displayDataUnit_ = settings.displayUnit().value_or("MB");
  historyData_ = History::getAllBillingCycleLogs(platform_);
  if (view_) view_->reloadData();
}

HistoryRow HistoryViewController::rowAt(int row) const {
  if (row == 0) return {"Current Billing Period", "", 1};
  if (row == 1) return {"Current Billing Period", "", 2};
  const History& record = historyData_.at(static_cast<std::size_t>(row - 2));
  return {
      shortDate(platform_, record.startDate()) + " to " + shortDate(platform_, record.endDate()),
      HistoryExport::amountText(record.dataTotal(), displayDataUnit_),
      record.dataType() == 2 ? 2 : 1};
}

void HistoryViewController::setEditing(bool editing) {
  editing_ = editing;
}

bool HistoryViewController::commitDeleteRow(int row) {
  if (!canEditRow(row)) return false;
  const auto index = static_cast<std::size_t>(row - 2);
  const History& record = historyData_[index];
  if (!record.uniqueId()) {
    showFailure("Not Deleted", "This record has no identity and cannot be deleted.");
    return false;
  }
  // What Undo puts back is the record as stored, where it stood among the days and periods.
  const std::size_t position = HistoryChanges::positionOf(platform_, *record.uniqueId());
  std::optional<History> stored;
  if (const auto all = History::getAllHistoryLogs(platform_); position < all.size()) {
    stored = all[position];
  }
  const std::string failure = HistoryChanges::deleteRecord(platform_, *record.uniqueId());
  if (!failure.empty()) {
    showFailure("Not Deleted", failure);
    return false;
  }
  historyData_.erase(historyData_.begin() + static_cast<std::ptrdiff_t>(index));
  if (view_) view_->deleteRow(row);
  if (stored) {
    std::weak_ptr<HistoryViewController*> self = self_;
    Platform& platform = platform_;
    Ui& ui = ui_;
    ui_.offerUndo({"Billing period deleted", [self, &platform, &ui, record = *stored, position] {
                     if (const auto list = self.lock()) {
                       (*list)->restoreRecord(record, position);
                     } else if (const std::string why =
                                    HistoryChanges::restoreRecord(platform, record, position);
                                !why.empty()) {
                       HistoryExport::showFailure(ui, "Not Restored", why);
                     }
                   }});
  }
  return true;
}

bool HistoryViewController::restoreRecord(const History& record, std::size_t position) {
  const std::string failure = HistoryChanges::restoreRecord(platform_, record, position);
  if (!failure.empty()) showFailure("Not Restored", failure);
  historyData_ = History::getAllBillingCycleLogs(platform_);
  if (view_) view_->reloadData();
  return failure.empty();
}

void HistoryViewController::didSelectRow(int row) {
  if (row < 0 || row >= numberOfRows()) return;
  auto detail = std::make_shared<HistoryDetailViewController>(platform_, ui_, displayDataUnit_);
  if (row == 0) {
    detail->setShowCurrentCellCycle(true);
  } else if (row == 1) {
    detail->setShowCurrentWiFiCycle(true);
  } else {
    detail->setHistoryItem(historyData_[static_cast<std::size_t>(row - 2)]);
  }
  detail->viewDidLoad();
  ui_.push(detail, this);
}

ActionSheet HistoryViewController::actionsSheet() {
  ActionSheet sheet;
  sheet.buttons = {"Clear History", "Email History", "Export to CSV", "View Chart", "Cancel"};
  sheet.destructiveButtonIndex = 0;
  sheet.cancelButtonIndex = 4;
  sheet.tag = kActionsTag;
  return sheet;
}

ActionSheet HistoryViewController::clearConfirmationSheet() {
  ActionSheet sheet;
  sheet.buttons = {"Clear All Records", "Cancel"};
  sheet.destructiveButtonIndex = 0;
  sheet.cancelButtonIndex = 1;
  sheet.tag = kClearConfirmationTag;
  return sheet;
}

void HistoryViewController::actionButtonTapped() {
  if (!actionButtonEnabled()) return;
  ui_.showActionSheet(actionsSheet(), this);
}

void HistoryViewController::clickedButtonAtIndex(const ActionSheet& sheet, int buttonIndex) {
  if (sheet.tag == kActionsTag) {
    switch (buttonIndex) {
      case 0:
        ui_.showActionSheet(clearConfirmationSheet(), this);
        break;
      case 1:
        emailHistory();
        break;
      case 2:
        exportToCsv();
        break;
      case 3:
        viewChart();
        break;
      default:
        break;
    }
  } else if (sheet.tag == kClearConfirmationTag && buttonIndex == 0) {
    clearHistory();
  }
}

bool HistoryViewController::clearHistory() {
  const std::string failure = HistoryChanges::clearAll(platform_);
  if (!failure.empty()) {
    showFailure("Not Cleared", failure);
    return false;
  }
  historyData_.clear();
  if (view_) view_->reloadData();
  return true;
}

void HistoryViewController::emailHistory() {
  HistoryExport::emailHistory(platform_, historyData_, displayDataUnit_, this);
}

void HistoryViewController::exportToCsv() {
  HistoryExport::exportToCsvReporting(platform_, ui_, historyData_, displayDataUnit_, this);
}

void HistoryViewController::viewChart() {
  auto chart = std::make_shared<HistoryChartViewController>(
      platform_, ui_, historyData_, displayDataUnit_, false, "", view_ ? view_->isTablet() : true);
  chart->setLayoutName(HistoryChartViewController::layoutNameFor(
      view_ ? view_->isTablet() : true, view_ ? view_->screenHeight() : 0));
  chart->viewDidLoad();
  ui_.present(chart, this);
}

bool HistoryViewController::saveCsv(const std::string& path) {
  return HistoryExport::saveCsvReporting(platform_, ui_, path, historyData_, displayDataUnit_);
}

void HistoryViewController::didFinishWithResult(Result result) {
  HistoryExport::reportMailResult(ui_, result);
}

void HistoryViewController::showFailure(const std::string& title, const std::string& message) {
  HistoryExport::showFailure(ui_, title, message);
}

}  // namespace kestrio
