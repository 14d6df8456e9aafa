#pragma once

#include <QProxyStyle>

namespace kestrio::gui {

// The application's style: Fusion, with what the dark theme needs to be seen. A check box or a
// radio button has a frame in the text's colour (Fusion's own frame is a shade of the window's
// colour, invisible on a dark one), and the keyboard's place is a frame in the text's colour.
class KestrioStyle : public QProxyStyle {
  Q_OBJECT

 public:
  KestrioStyle();

  void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget = nullptr) const override;

  // Makes it the application's style, once.
  static void install();
};

}  // namespace kestrio::gui
