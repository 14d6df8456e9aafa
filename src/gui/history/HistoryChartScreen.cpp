#include "gui/history/HistoryChartScreen.h"

#include <qcustomplot.h>

#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPainterPath>
#include <QPushButton>
#include <QScreen>
#include <QStandardPaths>
#include <algorithm>
#include <cmath>

#include "gui/shell/WindowNavigator.h"

namespace kestrio::gui {
namespace {

const QColor kBackgroundTop(0x1C, 0x2A, 0x3F);
const QColor kBackgroundBottom(0x00, 0x00, 0x00);

// Space the graph keeps around its plot area, beyond the plot area's own paddings.
constexpr int kGraphPadding = 20;

// Bars whose tips are rounded, their base square on the axis.
class RoundedBars : public QCPBars {
 public:
  RoundedBars(QCPAxis* keyAxis, QCPAxis* valueAxis, double cornerRadius)
      : QCPBars(keyAxis, valueAxis), cornerRadius_(cornerRadius) {}

 protected:
  void draw(QCPPainter* painter) override {
    painter->setRenderHint(QPainter::Antialiasing, true);
    painter->setPen(Qt::NoPen);
    painter->setBrush(brush());
    for (auto it = mDataContainer->constBegin(); it != mDataContainer->constEnd(); ++it) {
      const QRectF bar = getBarRect(it->key, it->value).normalized();
      if (bar.height() <= 0) continue;
      const double radius = std::min({cornerRadius_, bar.width() / 2, bar.height() / 2});
      QPainterPath path;
      path.setFillRule(Qt::WindingFill);
      path.addRoundedRect(bar, radius, radius);
      path.addRect(bar.adjusted(0, bar.height() / 2, 0, 0));
      painter->drawPath(path.simplified());
    }
  }

 private:
  double cornerRadius_;
};

kestrio::DeviceOrientation orientationOf(Qt::ScreenOrientation orientation) {
  switch (orientation) {
    case Qt::PortraitOrientation:
      return kestrio::DeviceOrientation::Portrait;
    case Qt::InvertedPortraitOrientation:
      return kestrio::DeviceOrientation::PortraitUpsideDown;
    case Qt::LandscapeOrientation:
      return kestrio::DeviceOrientation::LandscapeLeft;
    case Qt::InvertedLandscapeOrientation:
      return kestrio::DeviceOrientation::LandscapeRight;
    default:
      return kestrio::DeviceOrientation::Unknown;
  }
}

}  // namespace

HistoryChartScreen::HistoryChartScreen(
    std::shared_ptr<kestrio::HistoryChartViewController> controller, QWidget* parent)
    : QWidget(parent), controller_(std::move(controller)) {
  setObjectName(QStringLiteral("historyChart"));
  setWindowTitle(controller_->chartTitle().empty()
                     ? tr("Billing Periods")
                     : QString::fromStdString(controller_->chartTitle()));
  // Landscape, whatever the shape of the window it covers (the screen still bounds it).
  setProperty(shell::kPresentedSizeProperty, kSize);
  resize(kSize);
  setAttribute(Qt::WA_StyledBackground, true);
  setStyleSheet(QStringLiteral(
      "#historyChart, #chartView { background-color: black; }"
      "#historyChart QPushButton { background-color: rgba(255, 255, 255, 30); color: white;"
      " border: 1px solid rgba(255, 255, 255, 90); border-radius: 4px; padding: 4px 12px; }"
      "#historyChart QPushButton:focus { border: 1px solid white; }"));

  chartView_ = new QWidget(this);
  chartView_->setObjectName(QStringLiteral("chartView"));
  chartView_->setAttribute(Qt::WA_StyledBackground, true);

  closeButton_ = new QPushButton(tr("Close"), chartView_);
  closeButton_->setObjectName(QStringLiteral("closeButton"));
  connect(closeButton_, &QPushButton::clicked, this, [this] { controller_->dismissView(); });
  savePngButton_ = new QPushButton(tr("Save as PNG…"), chartView_);
  savePngButton_->setObjectName(QStringLiteral("savePngButton"));
  connect(savePngButton_, &QPushButton::clicked, this, [this] {
    const QString path = choosePngFile ? choosePngFile() : QString();
    if (!path.isEmpty() && !savePng(path)) {
      QMessageBox::warning(this, tr("Not Saved"),
                           tr("The chart could not be written to %1.").arg(path));
    }
  });
  choosePngFile = [this] {
    const QString pictures = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    return QFileDialog::getSaveFileName(this, tr("Save Chart"), pictures + "/kestrio-chart.png",
                                        tr("PNG images (*.png)"));
  };

  if (controller_->hasChartData()) {
    buildChart();
  } else {
    savePngButton_->setEnabled(false);
    noData_ =
        new QLabel(QString::fromUtf8(kestrio::HistoryChartViewController::kNoDataText), chartView_);
    noData_->setObjectName(QStringLiteral("noChartData"));
    const auto frame = kestrio::HistoryChartViewController::kNoDataFrame;
    noData_->setGeometry(frame.x, frame.y, frame.width, frame.height);
    noData_->setStyleSheet(QStringLiteral("color: white; background: transparent;"));
    QFont font = noData_->font();
    font.setPixelSize(20);
    noData_->setFont(font);
  }
  closeButton_->raise();
  savePngButton_->raise();
  closeButton_->setFocus();

  if (QScreen* shown = screen()) {
    connect(shown, &QScreen::orientationChanged, this, [this](Qt::ScreenOrientation o) {
      controller_->deviceOrientationDidChange(orientationOf(o));
    });
  }
}

HistoryChartScreen::~HistoryChartScreen() = default;

void HistoryChartScreen::buildChart() {
  const kestrio::HistoryChartViewController& c = *controller_;
  const kestrio::ChartLayout& layout = c.layout();
  plot_ = new QCustomPlot(chartView_);
  plot_->setObjectName(QStringLiteral("chartPlot"));
  QLinearGradient background(0, 0, 0, 1);
  background.setCoordinateMode(QGradient::ObjectBoundingMode);
  background.setColorAt(0, kBackgroundTop);
  background.setColorAt(1, kBackgroundBottom);
  plot_->setBackground(QBrush(background));

  QCPAxisRect* area = plot_->axisRect();
  area->setAutoMargins(QCP::msNone);
  area->setMargins(QMargins(static_cast<int>(layout.paddingLeft) + kGraphPadding,
                            static_cast<int>(layout.paddingTop) + kGraphPadding,
                            static_cast<int>(layout.paddingRight) + kGraphPadding,
                            static_cast<int>(layout.paddingBottom) + kGraphPadding));

  QCPAxis* x = plot_->xAxis;
  QCPAxis* y = plot_->yAxis;
  for (QCPAxis* axis : {x, y}) {
    axis->setBasePen(QPen(Qt::white, 1));
    axis->setLabelColor(Qt::white);
    axis->setTickLabelColor(Qt::white);
  }
  x->setRange(layout.xRangeLocation, layout.xRangeLocation + layout.xRangeLength);
  y->setRange(layout.yRangeLocation, layout.yRangeLocation + layout.yRangeLength);

  // The x axis carries only the controller's labels, at their own locations.
  auto ticker = QSharedPointer<QCPAxisTickerText>::create();
  for (const kestrio::ChartAxisLabel& label : layout.xLabels) {
    ticker->addTick(label.tickLocation, QString::fromStdString(label.text));
  }
  ticker->setSubTickCount(layout.xMinorTicksPerInterval);
  x->setTicker(ticker);
  x->setTickLength(0, static_cast<int>(layout.xMajorTickLength));
  x->setSubTicks(false);
  x->setTickPen(QPen(Qt::white, 1));
  x->grid()->setVisible(false);
  if (!layout.xLabels.empty()) {
    const kestrio::ChartAxisLabel& first = layout.xLabels.front();
    QFont font = x->tickLabelFont();
    font.setPixelSize(static_cast<int>(first.fontSize));
    x->setTickLabelFont(font);
    x->setTickLabelPadding(static_cast<int>(first.offset));
    // A quarter turn, read from the bottom up.
    x->setTickLabelRotation(first.rotation != 0 ? -first.rotation * 180 / M_PI : 0);
  }
  x->setLabel(QString::fromStdString(layout.xTitle));
  x->setLabelPadding(static_cast<int>(layout.xTitleOffset) / 3);

  y->setTickLength(0, 0);
  y->setSubTickLength(0, 0);
  y->setTickPen(Qt::NoPen);
  y->setSubTickPen(Qt::NoPen);
  y->grid()->setPen(QPen(QColor(Qt::gray), layout.yGridLineWidth));
  y->grid()->setSubGridVisible(false);
  QFont yFont = y->tickLabelFont();
  yFont.setPixelSize(12);
  y->setTickLabelFont(yFont);

  auto* bars = new RoundedBars(x, y, layout.barCornerRadius);
  bars->setWidth(layout.barWidth);
  bars->setWidthType(QCPBars::wtPlotCoords);
  bars->setPen(Qt::NoPen);
  bars->setBrush(Qt::white);
  QVector<double> keys;
  QVector<double> values;
  const int n = c.numberOfRecordsForPlot();
  for (int i = 0; i < n; ++i) {
    // A bar stands at its location plus the bar offset.
    keys << c.numberForPlot(0, i) + layout.barOffset;
    values << c.numberForPlot(1, i);
  }
  bars->setData(keys, values, true);

  for (int i = 0; i < n; ++i) {
    const auto label = c.dataLabelForPlot(i);
    if (!label) continue;
    auto* text = new QCPItemText(plot_);
    text->setClipToAxisRect(false);
    text->position->setType(QCPItemPosition::ptPlotCoords);
    text->position->setCoords(keys[i], values[i]);
    text->setPositionAlignment(Qt::AlignBottom | Qt::AlignHCenter);
    text->setText(QString::fromStdString(label->text));
    text->setColor(Qt::white);
    QFont font = text->font();
    font.setPixelSize(static_cast<int>(label->fontSize));
    text->setFont(font);
    text->setPadding(QMargins(0, 0, 0, 2));
  }
}

bool HistoryChartScreen::savePng(const QString& path) {
  if (!plot_) return false;
  return plot_->savePng(path, chartView_->width(), chartView_->height());
}

void HistoryChartScreen::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  chartView_->setGeometry(rect());
  if (plot_) plot_->setGeometry(chartView_->rect());
  placeButtons();
}

void HistoryChartScreen::placeButtons() {
  const int margin = 10;
  closeButton_->adjustSize();
  savePngButton_->adjustSize();
  closeButton_->move(chartView_->width() - closeButton_->width() - margin, margin);
  savePngButton_->move(closeButton_->x() - savePngButton_->width() - 8, margin);
}

}  // namespace kestrio::gui
