#include "gui/shell/KeyboardNavigation.h"

#include <QAbstractButton>
#include <QApplication>
#include <QButtonGroup>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QScrollArea>
#include <QTextEdit>
#include <QWidget>
#include <algorithm>
#include <cstdlib>

namespace kestrio::gui::shell {
namespace {

// Buttons of one exclusive group (segments, radio buttons) are one stop, at the chosen one; the
// arrow keys move between them.
bool isOtherSegment(const QWidget* widget) {
  const auto* button = qobject_cast<const QAbstractButton*>(widget);
  const QButtonGroup* group = button ? button->group() : nullptr;
  return group && group->exclusive() && group->checkedButton() && !button->isChecked();
}

bool takesTab(const QWidget* widget, const QWidget* window) {
  return widget->window() == window && !isOtherSegment(widget) && !widget->focusProxy() &&
         (widget->focusPolicy() & Qt::TabFocus) && widget->isEnabled() &&
         widget->isVisibleTo(window);
}

// A text area that uses Tab for itself keeps it.
bool typesTab(const QWidget* widget) {
  if (const auto* text = qobject_cast<const QTextEdit*>(widget)) return !text->tabChangesFocus();
  if (const auto* text = qobject_cast<const QPlainTextEdit*>(widget)) {
    return !text->tabChangesFocus();
  }
  return false;
}

}  // namespace

KeyboardNavigation::KeyboardNavigation(QObject* parent) : QObject(parent) {}

QRect KeyboardNavigation::placeOf(QWidget* widget, QWidget* window) {
  // Inside a scrolled page, where the control stands on the page, as if it were not scrolled:
  // what lies below the visible part comes after what is visible, not after the tab bar.
  for (QWidget* up = widget->parentWidget(); up && up != window; up = up->parentWidget()) {
    auto* area = qobject_cast<QScrollArea*>(up);
    if (!area || !area->widget() || !area->widget()->isAncestorOf(widget)) continue;
    const QPoint page = widget->mapTo(area->widget(), QPoint(0, 0));
    const QPoint origin = area->viewport()->mapTo(window, QPoint(0, 0));
    return {origin + page, widget->size()};
  }
  return {widget->mapTo(window, QPoint(0, 0)), widget->size()};
}

QList<QWidget*> KeyboardNavigation::tabOrder(QWidget* window) {
  struct Placed {
    QWidget* widget;
    QRect rect;
  };
  std::vector<Placed> placed;
  for (QWidget* widget : window->findChildren<QWidget*>()) {
    if (!takesTab(widget, window)) continue;
    placed.push_back({widget, placeOf(widget, window)});
  }
  std::stable_sort(placed.begin(), placed.end(),
                   [](const Placed& a, const Placed& b) { return a.rect.top() < b.rect.top(); });
  // Rows: controls whose middles are level, within half the smaller one's height (a button
  // beside a taller one, a switch beside two lines of text). A list and the controls drawn in
  // its rows are not level: the list comes first, then its rows' controls from the top.
  const auto level = [](const QRect& a, const QRect& b) {
    return std::abs(a.center().y() - b.center().y()) <= std::min(a.height(), b.height()) / 2;
  };
  QList<QWidget*> order;
  std::size_t start = 0;
  while (start < placed.size()) {
    std::size_t end = start + 1;
    while (end < placed.size() && level(placed[start].rect, placed[end].rect)) ++end;
    std::stable_sort(
        placed.begin() + static_cast<std::ptrdiff_t>(start),
        placed.begin() + static_cast<std::ptrdiff_t>(end),
        [](const Placed& a, const Placed& b) { return a.rect.left() < b.rect.left(); });
    for (std::size_t i = start; i < end; ++i) order.append(placed[i].widget);
    start = end;
  }
  return order;
}

bool KeyboardNavigation::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() != QEvent::KeyPress) return QObject::eventFilter(watched, event);
  QWidget* focused = QApplication::focusWidget();
  // Each key press reaches the filter once, addressed to the focused widget.
  if (!focused || watched != focused) return QObject::eventFilter(watched, event);
  const auto* key = static_cast<QKeyEvent*>(event);
  const Qt::KeyboardModifiers mods = key->modifiers() & ~Qt::KeypadModifier;
  if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) && mods == Qt::NoModifier) {
    if (auto* button = qobject_cast<QAbstractButton*>(focused); button && button->isEnabled()) {
      button->click();
      return true;
    }
    return false;
  }
  const bool forward = key->key() == Qt::Key_Tab && mods == Qt::NoModifier;
  const bool backward =
      key->key() == Qt::Key_Backtab || (key->key() == Qt::Key_Tab && mods == Qt::ShiftModifier);
  if ((!forward && !backward) || typesTab(focused)) return false;
  QWidget* window = focused->window();
  const QList<QWidget*> order = tabOrder(window);
  if (order.isEmpty()) return false;
  qsizetype at = order.indexOf(focused);
  qsizetype next = 0;
  if (at < 0) {
    // Focus on a control Tab does not visit: go on from the first one below or after it.
    const int here = placeOf(focused, window).top();
    at = 0;
    while (at < order.size() && placeOf(order[at], window).top() < here) ++at;
    next = forward ? at % order.size() : (at - 1 + order.size()) % order.size();
  } else {
    next = (at + (forward ? 1 : -1) + order.size()) % order.size();
  }
  order[next]->setFocus(forward ? Qt::TabFocusReason : Qt::BacktabFocusReason);
  return true;
}

}  // namespace kestrio::gui::shell
