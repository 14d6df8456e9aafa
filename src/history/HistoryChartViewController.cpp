#include "history/HistoryChartViewController.h"

#include <fmt/format.h>

#include <algorithm>

#include "services/DataFormatter.h"
#include "services/StringFormatter.h"

namespace kestrio {
namespace {

constexpr float kQuarterTurn = 1.5707964f;

}  // namespace

HistoryChartViewController::HistoryChartViewController(Platform& platform, Ui& ui,
                                                       std::vector<History> historyData,
                                                       std::string displayDataUnit,
                                                       bool isDailyChart, std::string chartTitle,
                                                       bool isTablet)
    : platform_(platform),
      ui_(ui),
      historyData_(std::move(historyData)),
      displayDataUnit_(std::move(displayDataUnit)),
      isDailyChart_(isDailyChart),
      chartTitle_(std::move(chartTitle)),
      isTablet_(isTablet) {
  // Bars read from left to right in time, whatever order the list handed them over in.
  std::stable_sort(historyData_.begin(), historyData_.end(),
                   [](const History& a, const History& b) {
                     const auto key = [](const History& h) {
                       return std::pair(h.startDate().value_or(Date{}).secondsSince1970,
                                        h.endDate().value_or(Date{}).secondsSince1970);
                     };
                     return key(a) < key(b);
                   });
}

std::string HistoryChartViewController::layoutNameFor(bool isTablet, int screenHeight) {
  if (isTablet) return "HistoryChartView-iPad";
  return screenHeight == 568 ? "HistoryChartView5" : "HistoryChartView";
}

float HistoryChartViewController::valueAt(int recordIndex) const {
  return DataFormatter::converToDataUnitFromBytes(
      historyData_.at(static_cast<std::size_t>(recordIndex)).dataTotal(), displayDataUnit_);
}

std::string HistoryChartViewController::labelText(const History& record) const {
  const auto dayMonth = [&](const std::optional<Date>& date) {
    return date ? StringFormatter::getLocalizedShortDateMonthFromDate(platform_, *date) : "";
  };
  if (isDailyChart_) return dayMonth(record.endDate());
  const std::string dates = dayMonth(record.startDate()) + "-" + dayMonth(record.endDate());
  return record.dataType() == 2 ? dates + "\n    (WiFi)" : dates + "\n   (Cellular)";
}

void HistoryChartViewController::viewDidLoad() {
  layout_ = ChartLayout{};
  if (!hasChartData()) return;
  const int n = numberOfRecordsForPlot();

  // The largest total among the records that have one; none at all counts as 0.
  std::optional<double> maxTotal;
  for (const History& record : historyData_) {
    if (record.dataTotal() && (!maxTotal || *record.dataTotal() > *maxTotal)) {
      maxTotal = record.dataTotal();
    }
  }
  const float vmax = DataFormatter::converToDataUnitFromBytes(maxTotal, displayDataUnit_);

  if (displayDataUnit_ == "KB") layout_.paddingLeft = 90;
  layout_.xRangeLocation = 0;
  layout_.xRangeLength = n + 1;
  layout_.yRangeLocation = 0;
  layout_.yRangeLength = vmax * 1.25f;

  layout_.xTitle = chartTitle_;
  layout_.xTitleLocation = n * 0.5;

  const float fontSize = isTablet_ ? 14 : 10;
  const float offset = layout_.xLabelOffset + layout_.xMajorTickLength;
  const float rotation = isDailyChart_ && n >= 7 ? kQuarterTurn : 0;
  // Each label stands under its own bar: a label a little more than a bar apart from the last
  // drifts under the next bar, and a reader takes one day's traffic for another's.
  layout_.xLabels.reserve(historyData_.size());
  for (int i = 0; i < n; ++i) {
    const auto location = static_cast<float>(numberForPlot(0, i) + layout_.barOffset);
    layout_.xLabels.push_back({labelText(historyData_[static_cast<std::size_t>(i)]), location,
                               offset, rotation, fontSize});
  }

  layout_.plotRangeLength = n;
}

double HistoryChartViewController::numberForPlot(int field, int recordIndex) const {
  if (field == 0) return static_cast<int>(recordIndex + 0.5);
  return valueAt(recordIndex);
}

std::optional<ChartDataLabel> HistoryChartViewController::dataLabelForPlot(int recordIndex) const {
  const int n = numberOfRecordsForPlot();
  if (displayDataUnit_ == "KB" && !isTablet_) return std::nullopt;
  if (n > 20 && displayDataUnit_ == "GB" && !isTablet_) return std::nullopt;
  const auto value = static_cast<double>(valueAt(recordIndex));
  if (n <= 10) return ChartDataLabel{fmt::format("{:.1f} {}", value, displayDataUnit_), 12};
  if (n <= 20) return ChartDataLabel{fmt::format("{:.1f}", value), 10};
  return ChartDataLabel{fmt::format("{:.0f}", value), 8};
}

void HistoryChartViewController::deviceOrientationDidChange(DeviceOrientation orientation) {
  if (orientation == DeviceOrientation::Portrait ||
      orientation == DeviceOrientation::PortraitUpsideDown) {
    dismissView();
  }
}

void HistoryChartViewController::dismissView() {
  ui_.dismiss(this);
}

}  // namespace kestrio
