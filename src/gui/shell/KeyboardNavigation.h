#pragma once

#include <QList>
#include <QObject>
#include <QRect>

class QWidget;

namespace kestrio::gui::shell {

// The keyboard the same on every screen of the application's windows: Tab and Shift+Tab move
// through every enabled, visible control of the window in the order it is seen (rows from top
// to bottom, each from left to right), whatever order the widgets were made in and whether or
// not a list would keep Tab for its cells; Return and Enter press the focused button, as Space
// does. Installed once on the application.
class KeyboardNavigation : public QObject {
  Q_OBJECT

 public:
  explicit KeyboardNavigation(QObject* parent = nullptr);

  // The controls Tab visits in `window`, in visual order.
  static QList<QWidget*> tabOrder(QWidget* window);
  // Where a control stands in its window; in a scrolled page, where it stands on the page.
  static QRect placeOf(QWidget* widget, QWidget* window);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
};

}  // namespace kestrio::gui::shell
