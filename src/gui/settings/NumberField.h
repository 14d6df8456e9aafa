#pragma once

#include <QFocusEvent>
#include <QLineEdit>
#include <QTimer>

namespace kestrio::gui {

// A field holding a number: taking the focus selects the whole number, so what is typed
// replaces it ("5" over "0" is 5, not 50), whether the focus came by Tab, click or tap.
class NumberField : public QLineEdit {
 public:
  using QLineEdit::QLineEdit;

 protected:
  void focusInEvent(QFocusEvent* event) override {
    QLineEdit::focusInEvent(event);
    // After the click that gave the focus has placed the caret.
    QTimer::singleShot(0, this, [this] {
      if (hasFocus()) selectAll();
    });
  }
};

}  // namespace kestrio::gui
