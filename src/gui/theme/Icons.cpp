#include "gui/theme/Icons.h"

#include <QIconEngine>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QPolygonF>
#include <QtMath>
#include <algorithm>
#include <cmath>
#include <functional>
#include <utility>

#include "app/Theme.h"
#include "gui/theme/ThemeStyle.h"

namespace kestrio::gui::icons {

namespace {

using kestrio::KestrioColors;

// Draws into a square of side 1 at the origin; the engine scales it to the requested size.
using Drawing = std::function<void(QPainter&)>;

class VectorIconEngine final : public QIconEngine {
 public:
  explicit VectorIconEngine(Drawing drawing) : drawing_(std::move(drawing)) {}

  void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State) override {
    const qreal side = std::min(rect.width(), rect.height());
    if (side <= 0) return;
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing, true);
    painter->translate(rect.x() + (rect.width() - side) / 2.0,
                       rect.y() + (rect.height() - side) / 2.0);
    painter->scale(side, side);
    if (mode == QIcon::Disabled) painter->setOpacity(0.4);
    drawing_(*painter);
    painter->restore();
  }

  QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
    return scaledPixmap(size, mode, state, 1.0);
  }

  QPixmap scaledPixmap(const QSize& size, QIcon::Mode mode, QIcon::State state,
                       qreal scale) override {
    if (size.isEmpty()) return {};
    const qreal ratio = scale > 0 ? scale : 1.0;
    QPixmap pixmap(size * ratio);
    pixmap.fill(Qt::transparent);
    {
      QPainter painter(&pixmap);
      paint(&painter, QRect(QPoint(0, 0), pixmap.size()), mode, state);
    }
    pixmap.setDevicePixelRatio(ratio);
    return pixmap;
  }

  QIconEngine* clone() const override { return new VectorIconEngine(drawing_); }
  QString key() const override { return QStringLiteral("KestrioVectorIcon"); }

 private:
  Drawing drawing_;
};

QIcon makeIcon(Drawing drawing) {
  return QIcon(new VectorIconEngine(std::move(drawing)));
}

QColor white() {
  return toQColor(KestrioColors::appForegroundColor());
}
QColor dark() {
  return toQColor(KestrioColors::appBackgroundColor());
}

QPen stroke(const QColor& colour, qreal width) {
  QPen pen(colour, width);
  pen.setCapStyle(Qt::RoundCap);
  pen.setJoinStyle(Qt::RoundJoin);
  return pen;
}

void drawCellular(QPainter& p) {
  p.setPen(Qt::NoPen);
  p.setBrush(white());
  // Four signal bars rising to the right.
  for (int bar = 0; bar < 4; ++bar) {
    const qreal height = 0.25 + 0.2 * bar;
    p.drawRoundedRect(QRectF(0.08 + bar * 0.23, 0.92 - height, 0.16, height), 0.03, 0.03);
  }
}

void drawWifi(QPainter& p) {
  p.setBrush(Qt::NoBrush);
  p.setPen(stroke(white(), 0.1));
  const QPointF centre(0.5, 0.85);
  for (int arc = 1; arc <= 3; ++arc) {
    const qreal radius = 0.22 * arc;
    p.drawArc(QRectF(centre.x() - radius, centre.y() - radius, 2 * radius, 2 * radius), 45 * 16,
              90 * 16);
  }
  p.setPen(Qt::NoPen);
  p.setBrush(white());
  p.drawEllipse(centre, 0.08, 0.08);
}

void drawEdit(QPainter& p) {
  // A pencil lying from the bottom left to the top right.
  p.translate(0.5, 0.5);
  p.rotate(-45);
  p.setPen(stroke(white(), 0.05));
  p.setBrush(Qt::NoBrush);
  p.drawRect(QRectF(-0.22, -0.1, 0.5, 0.2));            // the body
  p.drawLine(QPointF(0.18, -0.1), QPointF(0.18, 0.1));  // where the eraser begins
  QPolygonF tip;
  tip << QPointF(-0.22, -0.1) << QPointF(-0.42, 0) << QPointF(-0.22, 0.1);
  p.drawPolygon(tip);
  p.setBrush(white());
  p.setPen(Qt::NoPen);
  QPolygonF lead;
  lead << QPointF(-0.35, -0.035) << QPointF(-0.43, 0) << QPointF(-0.35, 0.035);
  p.drawPolygon(lead);
}

void drawOk(QPainter& p) {
  p.setPen(Qt::NoPen);
  p.setBrush(toQColor(KestrioColors::progressColor1()));
  p.drawEllipse(QRectF(0.04, 0.04, 0.92, 0.92));
  p.setPen(stroke(dark(), 0.11));
  p.setBrush(Qt::NoBrush);
  QPolygonF check;
  check << QPointF(0.28, 0.52) << QPointF(0.44, 0.68) << QPointF(0.73, 0.35);
  p.drawPolyline(check);
}

void drawCaution(QPainter& p) {
  const QColor yellow = toQColor(KestrioColors::progressColor2());
  QPolygonF triangle;
  triangle << QPointF(0.5, 0.08) << QPointF(0.95, 0.9) << QPointF(0.05, 0.9);
  p.setPen(stroke(yellow, 0.08));
  p.setBrush(yellow);
  p.drawPolygon(triangle);
  p.setPen(stroke(dark(), 0.1));
  p.drawLine(QPointF(0.5, 0.36), QPointF(0.5, 0.6));
  p.setPen(Qt::NoPen);
  p.setBrush(dark());
  p.drawEllipse(QPointF(0.5, 0.76), 0.055, 0.055);
}

void drawDanger(QPainter& p) {
  QPolygonF octagon;
  for (int corner = 0; corner < 8; ++corner) {
    const qreal angle = qDegreesToRadians(22.5 + 45.0 * corner);
    octagon << QPointF(0.5 + 0.47 * std::cos(angle), 0.5 + 0.47 * std::sin(angle));
  }
  p.setPen(Qt::NoPen);
  p.setBrush(toQColor(KestrioColors::progressColor3()));
  p.drawPolygon(octagon);
  p.setPen(stroke(white(), 0.11));
  p.drawLine(QPointF(0.33, 0.33), QPointF(0.67, 0.67));
  p.drawLine(QPointF(0.67, 0.33), QPointF(0.33, 0.67));
}

// A dial: three quarters of a circle with a needle, as on the usage gauge of a counter.
void drawCounters(QPainter& p) {
  p.setBrush(Qt::NoBrush);
  p.setPen(stroke(white(), 0.09));
  p.drawArc(QRectF(0.1, 0.12, 0.8, 0.8), -45 * 16, 270 * 16);
  p.drawLine(QPointF(0.5, 0.52), QPointF(0.72, 0.3));
  p.setPen(Qt::NoPen);
  p.setBrush(white());
  p.drawEllipse(QPointF(0.5, 0.52), 0.08, 0.08);
}

void drawHistory(QPainter& p) {
  p.setBrush(Qt::NoBrush);
  p.setPen(stroke(white(), 0.08));
  p.drawEllipse(QRectF(0.08, 0.08, 0.84, 0.84));
  QPolygonF hands;
  hands << QPointF(0.5, 0.24) << QPointF(0.5, 0.5) << QPointF(0.68, 0.62);
  p.drawPolyline(hands);
}

void drawSettings(QPainter& p) {
  constexpr int kTeeth = 8;
  constexpr qreal kStep = 360.0 / kTeeth;
  const QPointF centre(0.5, 0.5);
  // Each tooth is a flat top at the outer radius followed by a gap at the inner radius.
  const qreal offsets[] = {-0.18, 0.18, 0.32, 0.68};
  const qreal radii[] = {0.46, 0.46, 0.34, 0.34};
  QPolygonF outline;
  for (int tooth = 0; tooth < kTeeth; ++tooth) {
    for (int k = 0; k < 4; ++k) {
      const qreal angle = qDegreesToRadians((tooth + offsets[k]) * kStep);
      outline << QPointF(centre.x() + radii[k] * std::cos(angle),
                         centre.y() + radii[k] * std::sin(angle));
    }
  }
  QPainterPath gear;
  gear.addPolygon(outline);
  gear.closeSubpath();
  gear.addEllipse(centre, 0.14, 0.14);
  gear.setFillRule(Qt::OddEvenFill);
  p.setPen(Qt::NoPen);
  p.setBrush(white());
  p.drawPath(gear);
}

// The application: a dark tile with a three-band dial and a needle well into the green.
void drawApplication(QPainter& p) {
  p.setPen(Qt::NoPen);
  p.setBrush(dark());
  p.drawRoundedRect(QRectF(0.02, 0.02, 0.96, 0.96), 0.2, 0.2);
  const QRectF dial(0.16, 0.2, 0.68, 0.68);
  p.setBrush(Qt::NoBrush);
  QPen band(toQColor(KestrioColors::progressColor1()), 0.1);
  band.setCapStyle(Qt::FlatCap);
  p.setPen(band);
  p.drawArc(dial, 90 * 16, 90 * 16);  // green, the left half of the top
  band.setColor(toQColor(KestrioColors::progressColor2()));
  p.setPen(band);
  p.drawArc(dial, 30 * 16, 60 * 16);
  band.setColor(toQColor(KestrioColors::progressColor3()));
  p.setPen(band);
  p.drawArc(dial, 0, 30 * 16);
  p.setPen(stroke(white(), 0.07));
  p.drawLine(QPointF(0.5, 0.54), QPointF(0.36, 0.32));
  p.setPen(Qt::NoPen);
  p.setBrush(toQColor(KestrioColors::appTintColor()));
  p.drawEllipse(QPointF(0.5, 0.54), 0.08, 0.08);
  // The bar underneath, as on the usage screens.
  p.setBrush(toQColor(KestrioColors::progressBarBackgroundColor()));
  p.drawRect(QRectF(0.16, 0.72, 0.68, 0.1));
  p.setBrush(toQColor(KestrioColors::progressColor1()));
  p.drawRect(QRectF(0.16, 0.72, 0.4, 0.1));
}

}  // namespace

QIcon cellular() {
  return makeIcon(drawCellular);
}
QIcon wifi() {
  return makeIcon(drawWifi);
}
QIcon edit() {
  return makeIcon(drawEdit);
}
QIcon counters() {
  return makeIcon(drawCounters);
}
QIcon history() {
  return makeIcon(drawHistory);
}
QIcon settings() {
  return makeIcon(drawSettings);
}
QIcon application() {
  return makeIcon(drawApplication);
}

QIcon status(const std::string& imageName) {
  if (imageName == "ok.png") return makeIcon(drawOk);
  if (imageName == "caution.png") return makeIcon(drawCaution);
  if (imageName == "danger.png") return makeIcon(drawDanger);
  return {};
}

QIcon trayGauge(double percent, const QColor& band) {
  constexpr int kSize = 64;
  QPixmap pixmap(kSize, kSize);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  const QRectF ring(8, 8, kSize - 16, kSize - 16);
  // The track on a dark disc, so the ring shows on light and dark panels alike.
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(0x20, 0x24, 0x28));
  p.drawEllipse(QRectF(1, 1, kSize - 2, kSize - 2));
  p.setBrush(Qt::NoBrush);
  p.setPen(QPen(QColor(0x80, 0x80, 0x80), 10, Qt::SolidLine, Qt::FlatCap));
  p.drawEllipse(ring);
  const double share = std::clamp(percent, 0.0, 100.0) / 100.0;
  if (share > 0) {
    p.setPen(QPen(band, 10, Qt::SolidLine, Qt::FlatCap));
    // From twelve o'clock, clockwise.
    p.drawArc(ring, 90 * 16, -static_cast<int>(std::lround(share * 360 * 16)));
  }
  if (percent >= 100) {
    p.setPen(QPen(band, 6, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(kSize / 2.0, 22), QPointF(kSize / 2.0, 36));
    p.drawPoint(QPointF(kSize / 2.0, 44));
  }
  p.end();
  return QIcon(pixmap);
}

}  // namespace kestrio::gui::icons
