#pragma once

#include <QPair>
#include <QRectF>
#include <QVector>
#include <QWidget>
#include <functional>
#include <memory>

#include "history/HistoryChartViewController.h"

class QCPItemText;
class QCustomPlot;
class QLabel;
class QPushButton;

namespace kestrio::gui {

// The bar chart, presented as a modal landscape window: white bars with rounded tips on a dark
// background, the controller's labels under the x axis, grey grid lines across. "Save as PNG…"
// writes the picture to a file; Close or Escape closes the window, and so does turning the screen
// to portrait.
class HistoryChartScreen : public QWidget {
  Q_OBJECT

 public:
  static constexpr QSize kSize{1000, 600};

  HistoryChartScreen(std::shared_ptr<kestrio::HistoryChartViewController> controller,
                     QWidget* parent = nullptr);
  ~HistoryChartScreen() override;

  kestrio::HistoryChartViewController& controller() { return *controller_; }
  // Nothing when there is no chart data.
  QCustomPlot* plot() const { return plot_; }
  QLabel* noDataLabel() const { return noData_; }
  QPushButton* closeButton() const { return closeButton_; }
  QPushButton* savePngButton() const { return savePngButton_; }
  // The file dialog of "Save as PNG…"; tests replace it.
  std::function<QString()> choosePngFile;
  // Writes the chart as it is drawn; false when the file could not be written.
  bool savePng(const QString& path);

  // A label under the x axis as it is drawn now: its bar and the rectangle its text takes
  // (turned a quarter where the labels stand upright), in the plot's pixels.
  struct ShownLabel {
    int bar = 0;
    QRectF rect;
  };
  // The labels drawn at the plot's present width: every bar's, or every second, third… where
  // they would overlap, so that none ever does.
  const QVector<ShownLabel>& shownLabels() const { return shownLabels_; }
  // The pixels bar `index` spans along the x axis.
  QPair<double, double> barSpan(int index) const;

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  void buildChart();
  void placeButtons();
  // Keeps every k-th label (k the fewest that makes them not overlap) for the plot's width.
  void thinLabels();

  std::shared_ptr<kestrio::HistoryChartViewController> controller_;
  QWidget* chartView_ = nullptr;
  QCustomPlot* plot_ = nullptr;
  QLabel* noData_ = nullptr;
  QPushButton* closeButton_ = nullptr;
  QPushButton* savePngButton_ = nullptr;
  QVector<ShownLabel> shownLabels_;
  QVector<QCPItemText*> valueTexts_;
};

}  // namespace kestrio::gui
