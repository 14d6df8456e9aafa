#pragma once

#include <optional>
#include <string>
#include <vector>

#include "engine/History.h"
#include "platform/Platform.h"
#include "platform/Ui.h"

namespace kestrio {

// A label under the x axis.
struct ChartAxisLabel {
  std::string text;
  float tickLocation = 0;  // x coordinate
  float offset = 0;        // points below the axis
  float rotation = 0;      // radians
  float fontSize = 10;     // points
};

// The text drawn above a bar.
struct ChartDataLabel {
  std::string text;
  float fontSize = 12;  // points
};

// Everything the chart is drawn with: the plot area's paddings, the ranges, the axes and the
// bars. Lengths are in points, coordinates in the plot's units (one bar per unit along x, the
// display unit along y).
struct ChartLayout {
  float paddingBottom = 55;
  float paddingLeft = 60;
  float paddingTop = 20;
  float paddingRight = 10;

  double xRangeLocation = 0;
  double xRangeLength = 0;
  double yRangeLocation = 0;
  double yRangeLength = 0;

  float xMajorTickLength = 1.0f;
  double xOrthogonalCoordinate = 0;
  int xMinorTicksPerInterval = 0;
  std::string xTitle;
  double xTitleLocation = 0;
  float xTitleOffset = 30;
  float xLabelOffset = 2;
  std::vector<ChartAxisLabel> xLabels;

  double yMajorIntervalLength = 0.2;
  int yMinorTicksPerInterval = 4;
  double yOrthogonalCoordinate = 0;
  float yGridLineWidth = 0.5f;

  double barWidth = 0.8;
  double barOffset = 1.0;
  double plotRangeLocation = -0.5;
  double plotRangeLength = 0;
  float barCornerRadius = 10.0f;
};

enum class DeviceOrientation {
  Unknown,
  Portrait,
  PortraitUpsideDown,
  LandscapeLeft,
  LandscapeRight,
  FaceUp,
  FaceDown
};

// The bar chart of a list of records: one white bar per record, as high as its total traffic in
// the display unit. Built once from the records handed over; it does not follow later changes
// of the history.
class HistoryChartViewController : public ViewController {
 public:
  static constexpr const char* kNoDataText = "No Chart Data Available";
  struct Frame {
    int x, y, width, height;
  };
  static constexpr Frame kNoDataFrame{120, 130, 480, 40};

  // `isTablet` is the device's idiom: larger labels, and values above the bars in every unit.
  HistoryChartViewController(Platform& platform, Ui& ui, std::vector<History> historyData,
                             std::string displayDataUnit, bool isDailyChart, std::string chartTitle,
                             bool isTablet);

  // Computes the layout, or nothing when there are no records.
  void viewDidLoad();

  const std::vector<History>& historyData() const { return historyData_; }
  const std::string& displayDataUnit() const { return displayDataUnit_; }
  bool isDailyChart() const { return isDailyChart_; }
  const std::string& chartTitle() const { return chartTitle_; }
  bool isTablet() const { return isTablet_; }
  const std::string& layoutName() const { return layoutName_; }
  void setLayoutName(std::string name) { layoutName_ = std::move(name); }
  // "HistoryChartView-iPad" on a tablet; on a phone "HistoryChartView5" for a screen 568
  // points high, else "HistoryChartView".
  static std::string layoutNameFor(bool isTablet, int screenHeight);

  // Without records there is no chart, only the "No Chart Data Available" label.
  bool hasChartData() const { return !historyData_.empty(); }
  const ChartLayout& layout() const { return layout_; }

  // The bar plot's questions: the number of bars; field 0 the bar's location (its index), any
  // other field its height; the label above a bar, or none.
  int numberOfRecordsForPlot() const { return static_cast<int>(historyData_.size()); }
  double numberForPlot(int field, int recordIndex) const;
  std::optional<ChartDataLabel> dataLabelForPlot(int recordIndex) const;

  // Turning the device to portrait closes the chart.
  void deviceOrientationDidChange(DeviceOrientation orientation);
  void dismissView();

 private:
  float valueAt(int recordIndex) const;
  std::string labelText(const History& record) const;

  Platform& platform_;
  Ui& ui_;
  std::vector<History> historyData_;
  std::string displayDataUnit_;
  bool isDailyChart_;
  std::string chartTitle_;
  bool isTablet_;
  std::string layoutName_ = "HistoryChartView-iPad";
  ChartLayout layout_;
};

}  // namespace kestrio
