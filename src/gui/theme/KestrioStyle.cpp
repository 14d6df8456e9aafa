#include "gui/theme/KestrioStyle.h"

#include <QApplication>
#include <QPainter>
#include <QPainterPath>
#include <QStyleFactory>
#include <QStyleOption>

namespace kestrio::gui {

KestrioStyle::KestrioStyle() : QProxyStyle(QStyleFactory::create(QStringLiteral("Fusion"))) {}

void KestrioStyle::install() {
  if (qobject_cast<KestrioStyle*>(QApplication::style())) return;
  QApplication::setStyle(new KestrioStyle);
}

void KestrioStyle::drawPrimitive(PrimitiveElement element, const QStyleOption* option,
                                 QPainter* painter, const QWidget* widget) const {
  const QColor ink = option->palette.color(QPalette::Text);
  switch (element) {
    case PE_IndicatorCheckBox:
    case PE_IndicatorRadioButton: {
      painter->save();
      painter->setRenderHint(QPainter::Antialiasing);
      const bool radio = element == PE_IndicatorRadioButton;
      const bool on = option->state & State_On;
      const bool partly = option->state & State_NoChange;
      const bool enabled = option->state & State_Enabled;
      const QColor frame =
          enabled ? ink : option->palette.color(QPalette::Disabled, QPalette::Text);
      const QRectF box = QRectF(option->rect).adjusted(1, 1, -1, -1);
      painter->setPen(QPen(frame, 2));
      painter->setBrush(on || partly ? option->palette.color(QPalette::Highlight)
                                     : option->palette.color(QPalette::Base));
      if (radio) {
        painter->drawEllipse(box);
      } else {
        painter->drawRoundedRect(box, 2, 2);
      }
      const QColor mark = option->palette.color(QPalette::HighlightedText);
      if (on && radio) {
        painter->setPen(Qt::NoPen);
        painter->setBrush(mark);
        painter->drawEllipse(box.center(), box.width() / 5, box.height() / 5);
      } else if (on) {
        QPainterPath tick;
        tick.moveTo(box.left() + box.width() * 0.22, box.top() + box.height() * 0.52);
        tick.lineTo(box.left() + box.width() * 0.42, box.top() + box.height() * 0.72);
        tick.lineTo(box.left() + box.width() * 0.78, box.top() + box.height() * 0.30);
        painter->setPen(QPen(mark, 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        painter->setBrush(Qt::NoBrush);
        painter->drawPath(tick);
      } else if (partly) {
        painter->setPen(QPen(mark, 2));
        painter->drawLine(QPointF(box.left() + box.width() * 0.25, box.center().y()),
                          QPointF(box.right() - box.width() * 0.25, box.center().y()));
      }
      painter->restore();
      return;
    }
    case PE_FrameFocusRect: {
      painter->save();
      painter->setPen(QPen(ink, 2));
      painter->setBrush(Qt::NoBrush);
      painter->drawRect(QRectF(option->rect).adjusted(1, 1, -1, -1));
      painter->restore();
      return;
    }
    default:
      QProxyStyle::drawPrimitive(element, option, painter, widget);
  }
}

}  // namespace kestrio::gui
