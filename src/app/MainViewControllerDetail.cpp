// The detail list below the status area: the record's counters and the rows that show them.

#include <fmt/format.h>

#include <array>
#include <string>
#include <vector>

#include "app/MainViewController.h"

namespace kestrio {

namespace {

// The value that stands for "no figure yet today" after a day change.
constexpr double kTodayMarker = -1.0;

// Where a row's value comes from: the screen's general list or its network's list, and the entry.
struct RowSource {
  const char* title;
  bool general;
  std::size_t entry;
};

constexpr std::array<RowSource, MainViewController::kDetailRows> kRows = {{
    {"IDEAL USAGE", false, 0},
    {"USAGE STATUS", false, 1},
    {"USED TODAY", true, 0},
    {"SINCE LAST RUN", true, 1},
    {"CUR. BILL PERIOD", false, 2},
    {"NEXT BILL DATE", false, 3},
    {"TODAY'S DATE", true, 2},
    {"OVERAGE LIKELY", false, 4},
    {"PROJECTED USE", false, 5},
    {"LAST PLACE", false, 6},
    {"RECEIVED", false, 7},
    {"SENT", false, 8},
    {"SINCE APP INSTALL", true, 3},
    {"SINCE LAST BOOT", true, 4},
}};

// The conversions count any text other than "KB" and "GB" as "MB", so the texts say so too.
std::string displayUnitText(AppSettings& settings) {
  const std::string unit = settings.displayUnit().value_or("MB");
  return unit == "KB" || unit == "GB" ? unit : "MB";
}

std::string twoDecimals(float value) {
  return fmt::format("{:.2f}", static_cast<double>(value));
}

}  // namespace

void MainViewController::renderStandardCountersForType(AppData& data,
                                                       std::optional<float> /*dataLimit*/,
                                                       std::optional<float> /*dailyDataLimit*/) {
  if (detailValues.size() < 5) detailValues.resize(5);
  const std::string unit = displayUnitText(appSettings());
  const auto amount = [&](const std::optional<double>& bytes) {
    return twoDecimals(converToDataUnitFromBytes(bytes)) + " " + unit;
  };

  lblSinceLastRun.text = amount(data.dataSinceAppLastRun());
  detailValues[1] = lblSinceLastRun.text;
  lblSinceLastBoot.text = amount(data.dataSinceLastBoot());
  detailValues[4] = lblSinceLastBoot.text;
  lblAllTime.text = amount(data.dataAllTime());
  detailValues[3] = lblAllTime.text;

  const std::optional<double>& today = data.dataToday();
  const bool noFigureToday = today && *today == kTodayMarker;
  lblUsedToday.text =
      (noFigureToday ? std::string("--") : twoDecimals(converToDataUnitFromBytes(today))) + " " +
      unit;
  detailValues[0] = lblUsedToday.text;

  lblToday.text = dateText(platform_.now());
  detailValues[2] = lblToday.text;
}

const char* MainViewController::detailTitle(int row) {
  if (row < 0 || row >= kDetailRows) return "";
  return kRows[static_cast<std::size_t>(row)].title;
}

std::string MainViewController::detailValue(int row) const {
  if (row < 0 || row >= kDetailRows) return "";
  const RowSource& source = kRows[static_cast<std::size_t>(row)];
  const std::vector<std::string>& list =
      source.general ? detailValues : (isCellularMode ? cellular : wifi).detailValues;
  // An entry no computation has written yet shows as empty.
  return source.entry < list.size() ? list[source.entry] : std::string();
}

}  // namespace kestrio
