#pragma once

#include <memory>
#include <string>
#include <vector>

#include "engine/History.h"
#include "history/HistoryView.h"
#include "platform/Platform.h"
#include "platform/Ui.h"
#include "services/Communications.h"

namespace kestrio {

// A row of the history list.
struct HistoryRow {
  std::string title;
  std::string detail;
  int icon = 1;  // 1 cellular icon, 2 Wi-Fi icon
  friend bool operator==(const HistoryRow&, const HistoryRow&) = default;
};

// The history tab's root list: the two running billing periods (cellular, then Wi-Fi) and every
// closed billing period of both networks in the order they closed. Rows from 2 on can be
// deleted; the action sheet clears, mails or charts the closed periods.
class HistoryViewController : public ViewController,
                              public ActionSheetDelegate,
                              public MailComposeDelegate {
 public:
  static constexpr int kActionsTag = 8787;
  static constexpr int kClearConfirmationTag = 8788;
  static constexpr int kRowHeight = 60;

  HistoryViewController(Platform& platform, Ui& ui, HistoryView* view = nullptr);
  void setView(HistoryView* view) { view_ = view; }

  std::string title() const override { return "History"; }
  // Reads the display unit and the closed periods again, then redraws.
  void viewWillAppear() override;

  const std::vector<History>& historyData() const { return historyData_; }
  const std::string& displayDataUnit() const { return displayDataUnit_; }
  int numberOfRows() const { return static_cast<int>(historyData_.size()) + 2; }
  HistoryRow rowAt(int row) const;
  // Disabled while there is no closed period.
  bool actionButtonEnabled() const { return !historyData_.empty(); }

  // Edit mode: the left button is the edit icon outside it and "Done" in it.
  bool isEditing() const { return editing_; }
  void setEditing(bool editing);
  bool canEditRow(int row) const { return row >= 2 && row < numberOfRows(); }
  // Deletes the period of row `row` from the file and the list, then offers to undo it for a
  // few seconds. On a failure the list stays and an alert says why; answers whether it was
  // stored.
  bool commitDeleteRow(int row);
  // Puts a deleted period back where it stood in the archive, then shows the list as stored.
  // A failure is shown in an alert; answers whether it was stored.
  bool restoreRecord(const History& record, std::size_t position);

  // Pushes the detail of the row's period.
  void didSelectRow(int row);
  // Opens the action sheet (tag 8787).
  void actionButtonTapped();
  void clickedButtonAtIndex(const ActionSheet& sheet, int buttonIndex) override;
  void didFinishWithResult(Result result) override;

  // "Clear All Records": every record goes, days included. Answers whether it was stored.
  bool clearHistory();
  void emailHistory();
  void exportToCsv();
  void viewChart();
  // "Save CSV…": the shown records as a CSV file at `path`, which is replaced only once the new
  // file is complete. A failure is shown in an alert; answers whether the file was stored.
  bool saveCsv(const std::string& path);

  // The sheets as they are shown.
  static ActionSheet actionsSheet();
  static ActionSheet clearConfirmationSheet();

 private:
  void showFailure(const std::string& title, const std::string& message);

  Platform& platform_;
  Ui& ui_;
  HistoryView* view_;
  std::vector<History> historyData_;
  std::string displayDataUnit_ = "MB";
  bool editing_ = false;
  // An undo offer may outlive this list (the window closing): it then restores without
  // redrawing.
  std::shared_ptr<HistoryViewController*> self_ = std::make_shared<HistoryViewController*>(this);
};

}  // namespace kestrio
