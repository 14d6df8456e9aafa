#include "gui/shell/TabBar.h"

#include <QPainter>
#include <QStyleOptionTab>
#include <QStylePainter>
#include <algorithm>

namespace kestrio::gui::shell {

namespace {

constexpr int kGap = 2;
constexpr int kPadding = 6;

}  // namespace

TabBar::TabBar(QWidget* parent) : QTabBar(parent) {
  setElideMode(Qt::ElideNone);
  setUsesScrollButtons(false);
  setDrawBase(false);
}

void TabBar::setSelectedColor(const QColor& colour) {
  if (colour == selected_) return;
  selected_ = colour;
  update();
}

QSize TabBar::tabSizeHint(int index) const {
  const QSize icon = iconSize();
  const QFontMetrics metrics = fontMetrics();
  const int text = metrics.horizontalAdvance(tabText(index));
  const int width = std::max(icon.width(), text) + 2 * kPadding;
  const int height = icon.height() + kGap + metrics.height() + 2 * kPadding;
  return QSize(std::max(width, kMinimumTouch), std::max(height, kMinimumTouch));
}

QSize TabBar::minimumTabSizeHint(int index) const {
  // A name cut short is no name: the window is never narrower than the names need.
  return tabSizeHint(index);
}

void TabBar::paintEvent(QPaintEvent*) {
  QStylePainter painter(this);
  const QFontMetrics metrics = fontMetrics();
  for (int i = 0; i < count(); ++i) {
    QStyleOptionTab option;
    initStyleOption(&option, i);
    // The style's own text is elided to the room beside the icon; the name goes under it whole.
    const QString text = tabText(i);
    const QIcon icon = option.icon;
    const bool current = i == currentIndex();
    // The style draws the tab's shape (its background and the selected tab's line); the icon and
    // the name are placed here, one over the other.
    option.text.clear();
    option.icon = QIcon();
    painter.drawControl(QStyle::CE_TabBarTabShape, option);

    const QRect rect = option.rect;
    const QSize size = iconSize();
    const int contentHeight = size.height() + kGap + metrics.height();
    const int top = rect.top() + (rect.height() - contentHeight) / 2;
    const QRect iconRect(rect.left() + (rect.width() - size.width()) / 2, top, size.width(),
                         size.height());
    const QIcon::Mode mode = !isTabEnabled(i) ? QIcon::Disabled
                             : current        ? QIcon::Selected
                                              : QIcon::Normal;
    icon.paint(&painter, iconRect, Qt::AlignCenter, mode);
    const QRect textRect(rect.left(), iconRect.bottom() + 1 + kGap, rect.width(), metrics.height());
    const QColor colour =
        current && selected_.isValid() ? selected_ : palette().color(QPalette::WindowText);
    painter.setPen(colour);
    painter.drawText(textRect, Qt::AlignHCenter | Qt::AlignTop, text);

    // The keyboard's place: a frame inside the tab in the bar's own text colour, which stands out
    // whatever the band.
    if (current && hasFocus()) {
      QPen pen(palette().color(QPalette::WindowText), 2);
      painter.setPen(pen);
      painter.setBrush(Qt::NoBrush);
      painter.drawRect(rect.adjusted(3, 4, -3, -3));
    }
  }
}

TabWidget::TabWidget(QWidget* parent) : QTabWidget(parent) {
  setTabBar(new TabBar(this));
}

}  // namespace kestrio::gui::shell
