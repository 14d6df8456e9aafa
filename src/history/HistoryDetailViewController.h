#pragma once

#include <optional>
#include <string>
#include <vector>

#include "engine/History.h"
#include "history/HistoryView.h"
#include "platform/Platform.h"
#include "platform/Ui.h"
#include "services/Communications.h"

namespace kestrio {

// A row of the detail: the title left, the detail right.
struct DetailRow {
  std::string title;
  std::string detail;
  friend bool operator==(const DetailRow&, const DetailRow&) = default;
};

struct DetailSection {
  std::string header;
  std::vector<DetailRow> rows;
};

// One billing period: its dates, its amounts and its days, newest first. The period is a stored
// record, or the running period of a network, built from its usage record and never stored.
class HistoryDetailViewController : public ViewController,
                                    public ActionSheetDelegate,
                                    public MailComposeDelegate {
 public:
  static constexpr int kActionsTag = 8787;

  HistoryDetailViewController(Platform& platform, Ui& ui, std::string displayDataUnit);
  void setView(HistoryView* view) { view_ = view; }

  void setHistoryItem(History record) { historyItem_ = std::move(record); }
  void setShowCurrentWiFiCycle(bool show) { showCurrentWiFiCycle_ = show; }
  void setShowCurrentCellCycle(bool show) { showCurrentCellCycle_ = show; }

  // The period's kind, as its first section is headed.
  std::string title() const override { return sections_.empty() ? "" : sections_[0].header; }
  // Builds the period (the running one under the documents lock) and reads its days.
  void viewDidLoad();

  const History& historyItem() const { return historyItem_; }
  const std::vector<History>& dailyLogs() const { return dailyLogs_; }
  const std::string& displayDataUnit() const { return displayDataUnit_; }
  bool showCurrentWiFiCycle() const { return showCurrentWiFiCycle_; }
  bool showCurrentCellCycle() const { return showCurrentCellCycle_; }
  // The sections: the period's dates, its amounts, the connections it was counted on
  // ("Networks", only where there were any), and its days ("Usage Breakup").
  const std::vector<DetailSection>& sections() const { return sections_; }
  // "Cellular Usage (%@ - %@)" or "WiFi Usage (%@ - %@)", the chart's title.
  std::string chartTitle() const;

  void actionButtonTapped();
  void clickedButtonAtIndex(const ActionSheet& sheet, int buttonIndex) override;
  void didFinishWithResult(Result result) override;
  void emailHistory();
  void exportToCsv();
  void viewChart();
  // "Save CSV…": the shown records as a CSV file at `path`, which is replaced only once the new
  // file is complete. A failure is shown in an alert; answers whether the file was stored.
  bool saveCsv(const std::string& path);

  static ActionSheet actionsSheet();

 private:
  void loadRunningPeriod(const std::string& type, int dataType);
  void buildSections();
  DetailRow dayRow(const History& day) const;
  void showFailure(const std::string& title, const std::string& message);

  Platform& platform_;
  Ui& ui_;
  HistoryView* view_ = nullptr;
  std::string displayDataUnit_;
  History historyItem_;
  std::vector<History> dailyLogs_;
  bool showCurrentWiFiCycle_ = false;
  bool showCurrentCellCycle_ = false;
  std::vector<DetailSection> sections_;
};

}  // namespace kestrio
