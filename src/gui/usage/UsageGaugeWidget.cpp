#include "gui/usage/UsageGaugeWidget.h"

#include <QFont>
#include <QLinearGradient>
#include <QPaintEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPen>
#include <cmath>

#include "app/Theme.h"
#include "gui/theme/ThemeStyle.h"

namespace kestrio::gui {

namespace {

// A share that is not a number would put the fill edge or the marker nowhere sensible; such a
// gauge draws as empty rather than leaving the painter with an undefined rectangle.
qreal finiteOrZero(float value) {
  return std::isfinite(value) ? static_cast<qreal>(value) : 0.0;
}

QFont usageFont() {
  QFont font;
  font.setFamilies({QStringLiteral("Trebuchet MS"), QStringLiteral("DejaVu Sans")});
  font.setPixelSize(24);
  return font;
}

}  // namespace

UsageGaugeWidget::UsageGaugeWidget(QWidget* parent) : QWidget(parent) {
  // Every paint clears the whole widget first, so Qt need not erase it.
  setAttribute(Qt::WA_OpaquePaintEvent);
  setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void UsageGaugeWidget::setGauge(const kestrio::UsageGauge& gauge) {
  gauge_ = gauge;
  update();
}

QSize UsageGaugeWidget::sizeHint() const {
  return {300, 44};
}

QSize UsageGaugeWidget::minimumSizeHint() const {
  return {120, 44};
}

void UsageGaugeWidget::paintEvent(QPaintEvent* /*event*/) {
  const QColor colour =
      toQColor(kestrio::KestrioColors::progressColorForLetter(gauge_.colourLetter));
  const qreal c = finiteOrZero(gauge_.currentUsagePercent);
  const qreal i = finiteOrZero(gauge_.idealUsagePercent);

  QPainter painter(this);
  const QRectF bounds = rect();
  painter.fillRect(bounds, toQColor(kestrio::KestrioColors::progressBarBackgroundColor()));

  const QRectF inner = bounds.adjusted(1, 1, -1, -1);
  painter.save();
  painter.setClipRect(inner);
  // The clip's width carries the inset as well, so an empty bar still shows a sliver as wide as
  // the inset; anything above 100 % is cut off by the inner rectangle.
  const qreal fill = inner.width() * c / 100.0;
  const qreal clipWidth = std::max<qreal>(0.0, inner.x() + fill);
  painter.setClipRect(QRectF(inner.x(), inner.y(), clipWidth, inner.height()), Qt::IntersectClip);
  QLinearGradient gradient(QPointF(fill, 0), QPointF(fill, inner.height()));
  gradient.setColorAt(0.0, colour);
  gradient.setColorAt(0.4, colour);
  gradient.setColorAt(1.0, colour);
  // The gradient covers only the band between its two ends, as the bar always has.
  painter.fillRect(QRectF(bounds.x(), 0, bounds.width(), inner.height()), gradient);
  painter.restore();

  const QColor white = toQColor(kestrio::KestrioColors::appForegroundColor());
  const qreal markerX = inner.x() + inner.width() * i / 100.0;
  QPen dashes(white);
  dashes.setWidth(1);
  dashes.setDashPattern({3, 4});
  dashes.setDashOffset(2);
  painter.setPen(dashes);
  painter.setRenderHint(QPainter::Antialiasing, false);
  painter.drawLine(QPointF(markerX, inner.y()), QPointF(markerX, inner.height()));

  // White on a light green or yellow fill is hard to read: the text gets a dark edge, so its
  // immediate surroundings are dark whatever the fill.
  const int textX = static_cast<int>(inner.x() + inner.width() * 0.3);
  const int baseline = static_cast<int>((inner.height() + 20) * 0.5);
  QPainterPath text;
  text.addText(textX, baseline, usageFont(), QString::fromStdString(gauge_.usageText));
  painter.setRenderHint(QPainter::Antialiasing, true);
  QPen edge(textOutlineColor());
  edge.setWidthF(3.0);
  edge.setJoinStyle(Qt::RoundJoin);
  painter.strokePath(text, edge);
  painter.fillPath(text, white);
}

QColor UsageGaugeWidget::textOutlineColor() {
  return QColor(0x1A, 0x1D, 0x20);
}

}  // namespace kestrio::gui
