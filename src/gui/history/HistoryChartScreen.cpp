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
      // One outline, square at the base and rounded at the tip: a union of a rounded and a
      // square rectangle, simplified, lost whole bars to rounding.
      QPainterPath path;
      path.moveTo(bar.bottomLeft());
      path.lineTo(bar.left(), bar.top() + radius);
      path.arcTo(QRectF(bar.left(), bar.top(), 2 * radius, 2 * radius), 180, -90);
      path.lineTo(bar.right() - radius, bar.top());
      path.arcTo(QRectF(bar.right() - 2 * radius, bar.top(), 2 * radius, 2 * radius), 90, -90);
      path.lineTo(bar.bottomRight());
      path.closeSubpath();
      painter->drawPath(path);
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

  // The x axis carries only the controller's labels, at their own locations (thinned to the
  // plot's width once it has one).
  auto ticker = QSharedPointer<QCPAxisTickerText>::create();
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
  // The figures up the y axis are in the display unit: the axis says which.
  y->setLabel(QString::fromStdString(c.displayDataUnit()));

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
    valueTexts_ << text;
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
  thinLabels();
  placeButtons();
}

QPair<double, double> HistoryChartScreen::barSpan(int index) const {
  const kestrio::ChartLayout& layout = controller_->layout();
  const double key = controller_->numberForPlot(0, index) + layout.barOffset;
  const QMargins margins = plot_->axisRect()->margins();
  const double width = plot_->width() - margins.left() - margins.right();
  const auto pixel = [&](double coordinate) {
    return margins.left() + (coordinate - layout.xRangeLocation) / layout.xRangeLength * width;
  };
  return {pixel(key - layout.barWidth / 2), pixel(key + layout.barWidth / 2)};
}

void HistoryChartScreen::thinLabels() {
  shownLabels_.clear();
  if (!plot_) return;
  const kestrio::ChartLayout& layout = controller_->layout();
  const int n = static_cast<int>(layout.xLabels.size());
  if (n == 0) return;
  const QFontMetricsF metrics(plot_->xAxis->tickLabelFont());
  const bool upright = layout.xLabels.front().rotation != 0;
  // The room each label takes along the axis, and across it.
  QVector<QSizeF> sizes;
  double widest = 0;
  for (const kestrio::ChartAxisLabel& label : layout.xLabels) {
    const QRectF text = metrics.boundingRect(QRectF(0, 0, 1e6, 1e6), Qt::AlignLeft,
                                             QString::fromStdString(label.text));
    const QSizeF size = upright ? QSizeF(text.height(), text.width()) : text.size();
    sizes << size;
    widest = std::max(widest, size.width());
  }
  const QPair<double, double> first = barSpan(0);
  const double pitch = n > 1 ? barSpan(1).first - first.first : first.second - first.first;
  constexpr double kGap = 4;
  const int step = std::max(1, static_cast<int>(std::ceil((widest + kGap) / std::max(pitch, 1.0))));
  // The newest bar always has its label; the others count back from it.
  auto ticker = qSharedPointerCast<QCPAxisTickerText>(plot_->xAxis->ticker());
  ticker->clear();
  const double top =
      plot_->height() - plot_->axisRect()->margins().bottom() + layout.xLabels.front().offset;
  for (int i = n - 1; i >= 0; i -= step) {
    const kestrio::ChartAxisLabel& label = layout.xLabels[static_cast<std::size_t>(i)];
    ticker->addTick(label.tickLocation, QString::fromStdString(label.text));
    const QPair<double, double> span = barSpan(i);
    const double centre = (span.first + span.second) / 2;
    const QSizeF size = sizes[i];
    shownLabels_.prepend({i, QRectF(centre - size.width() / 2, top, size.width(), size.height())});
  }
  // A figure above a bar wider than the bar's pitch would run into its neighbours': the bars'
  // heights against the grid tell the figures then.
  bool valuesFit = true;
  for (const QCPItemText* text : valueTexts_) {
    valuesFit = valuesFit && QFontMetricsF(text->font()).horizontalAdvance(text->text()) <= pitch;
  }
  for (QCPItemText* text : valueTexts_) text->setVisible(valuesFit);
  plot_->replot(QCustomPlot::rpQueuedReplot);
}

void HistoryChartScreen::placeButtons() {
  const int margin = 10;
  closeButton_->adjustSize();
  savePngButton_->adjustSize();
  closeButton_->move(chartView_->width() - closeButton_->width() - margin, margin);
  savePngButton_->move(closeButton_->x() - savePngButton_->width() - 8, margin);
}

}  // namespace kestrio::gui
