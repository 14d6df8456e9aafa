#include "history/HistoryDetailViewController.h"

#include "engine/AppData.h"
#include "history/HistoryChartViewController.h"
#include "history/HistoryExport.h"
#include "services/StringFormatter.h"
#include "services/Util.h"

namespace kestrio {
namespace {

constexpr int kBillingPeriod = 1;

std::string fullDate(Platform& platform, const std::optional<Date>& date) {
  return date ? StringFormatter::getLocalizedShortDateNoTimeStringFromDate(platform, *date) : "";
}

std::string dayMonth(Platform& platform, const std::optional<Date>& date) {
  return date ? StringFormatter::getLocalizedShortDateMonthFromDate(platform, *date) : "";
}

}  // namespace

HistoryDetailViewController::HistoryDetailViewController(Platform& platform, Ui& ui,
                                                         std::string displayDataUnit)
    : platform_(platform), ui_(ui), displayDataUnit_(std::move(displayDataUnit)) {}

void HistoryDetailViewController::viewDidLoad() {
  if (showCurrentWiFiCycle_) {
    loadRunningPeriod("wifi", 2);
  } else if (showCurrentCellCycle_) {
    loadRunningPeriod("cellular", 1);
  } else if (historyItem_.startDate() && historyItem_.endDate()) {
    dailyLogs_ = History::getDailyHistoryLogsFrom(platform_, *historyItem_.startDate(),
                                                  *historyItem_.endDate(), historyItem_.dataType());
  } else {
    dailyLogs_.clear();
  }
  buildSections();
  if (view_) view_->reloadData();
}

void HistoryDetailViewController::loadRunningPeriod(const std::string& type, int dataType) {
  std::optional<Date> start;
  std::optional<Date> next;
  History running;
  {
    // A pass in another process must not be halfway through the record while it is read.
    auto lock = platform_.lockDocuments();
    AppData record(platform_);
    record.getAppData(type);
    start = record.lastBillingDate();
    next = record.nextBillingDate();
    running.setDataSent(record.dataThisMonthSent());
    running.setDataReceived(record.dataThisMonthRecd());
    running.setDataTotal(record.dataThisMonth());
    ConnectionUsageMap connections = record.connectionUsage();  // closed as a copy only
    running.setConnections(connection_usage::closePeriod(connections));
  }
  running.setStartDate(start);
  if (next) {
    // The period's last day: the calendar date before the next billing date, without its time.
    const Calendar& calendar = platform_.calendar();
    DateComponents day = calendar.components(*next);
    day.day -= 1;
    day.hour = day.minute = day.second = 0;
    running.setEndDate(calendar.date(day));
  }
  running.setUniqueId(Util::GetUUID());
  running.setDataType(dataType);
  running.setHistoryType(kBillingPeriod);
  historyItem_ = running;
  dailyLogs_.clear();
  // Before the first pass there is no period yet, and so no day of it.
  if (start) {
    dailyLogs_ = History::getDailyHistoryLogsFrom(platform_, *start, platform_.now(), dataType);
  }
}

DetailRow HistoryDetailViewController::dayRow(const History& day) const {
  std::string title;
  if (day.startDate() && day.endDate() &&
      Util::isSameAsThisDate(platform_, *day.startDate(), *day.endDate())) {
    title = StringFormatter::getLocalizedDayShortDateFromDate(platform_, *day.startDate());
  } else {
    title = dayMonth(platform_, day.startDate()) + " to " + dayMonth(platform_, day.endDate());
  }
  return {title, HistoryExport::amountText(day.dataTotal(), displayDataUnit_)};
}

void HistoryDetailViewController::buildSections() {
  const int dataType = historyItem_.dataType();
  std::string periodHeader;
  if (showCurrentWiFiCycle_) {
    periodHeader = "Current Wi-Fi Billing Cycle";
  } else if (showCurrentCellCycle_) {
    periodHeader = "Current Cellular Billing Cycle";
  } else {
    periodHeader = dataType == 2 ? "Past Wi-Fi Billing Cycle" : "Past Cellular Billing Cycle";
  }
  std::string amountsHeader;
  if (dataType == 2) amountsHeader = "Wi-Fi Kestrio";
  if (dataType == 1) amountsHeader = "Cellular (3G/GPRS/EDGE) Kestrio";

  sections_.clear();
  sections_.push_back({periodHeader,
                       {{"Start Date", fullDate(platform_, historyItem_.startDate())},
                        {"End Date", fullDate(platform_, historyItem_.endDate())}}});
  sections_.push_back(
      {amountsHeader,
       {{"Total Data", HistoryExport::amountText(historyItem_.dataTotal(), displayDataUnit_)},
        {"Received", HistoryExport::amountText(historyItem_.dataReceived(), displayDataUnit_)},
        {"Sent", HistoryExport::amountText(historyItem_.dataSent(), displayDataUnit_)}}});
  // The connections the period was counted on (where NetworkManager named them), most used first
  // as the period was closed.
  if (!historyItem_.connections().empty()) {
    DetailSection networks{"Networks", {}};
    for (const ClosedConnection& c : historyItem_.connections()) {
      networks.rows.push_back({c.metered ? c.name + " (metered)" : c.name,
                               HistoryExport::amountText(c.dataTotal, displayDataUnit_)});
    }
    sections_.push_back(std::move(networks));
  }
  DetailSection days{"Usage Breakup", {}};
  days.rows.reserve(dailyLogs_.size());
  for (const History& day : dailyLogs_) days.rows.push_back(dayRow(day));
  sections_.push_back(std::move(days));
}

std::string HistoryDetailViewController::chartTitle() const {
  return (historyItem_.dataType() == 2 ? "WiFi Usage (" : "Cellular Usage (") +
         dayMonth(platform_, historyItem_.startDate()) + " - " +
         dayMonth(platform_, historyItem_.endDate()) + ")";
}

ActionSheet HistoryDetailViewController::actionsSheet() {
  ActionSheet sheet;
  sheet.buttons = {"Email History", "Export to CSV", "View Chart", "Cancel"};
  sheet.cancelButtonIndex = 3;
  sheet.tag = kActionsTag;
  return sheet;
}

void HistoryDetailViewController::actionButtonTapped() {
  ui_.showActionSheet(actionsSheet(), this);
}

void HistoryDetailViewController::clickedButtonAtIndex(const ActionSheet& sheet, int buttonIndex) {
  if (sheet.tag != kActionsTag) return;
  if (buttonIndex == 0) emailHistory();
  if (buttonIndex == 1) exportToCsv();
  if (buttonIndex == 2) viewChart();
}

void HistoryDetailViewController::emailHistory() {
  HistoryExport::emailHistory(platform_, dailyLogs_, displayDataUnit_, this);
}

void HistoryDetailViewController::exportToCsv() {
  HistoryExport::exportToCsvReporting(platform_, ui_, dailyLogs_, displayDataUnit_, this);
}

void HistoryDetailViewController::viewChart() {
  const bool tablet = view_ ? view_->isTablet() : true;
  auto chart = std::make_shared<HistoryChartViewController>(
      platform_, ui_, dailyLogs_, displayDataUnit_, true, chartTitle(), tablet);
  chart->setLayoutName(
      HistoryChartViewController::layoutNameFor(tablet, view_ ? view_->screenHeight() : 0));
  chart->viewDidLoad();
  ui_.present(chart, this);
}

bool HistoryDetailViewController::saveCsv(const std::string& path) {
  return HistoryExport::saveCsvReporting(platform_, ui_, path, dailyLogs_, displayDataUnit_);
}

void HistoryDetailViewController::didFinishWithResult(Result result) {
  HistoryExport::reportMailResult(ui_, result);
}

void HistoryDetailViewController::showFailure(const std::string& title,
                                              const std::string& message) {
  HistoryExport::showFailure(ui_, title, message);
}

}  // namespace kestrio
