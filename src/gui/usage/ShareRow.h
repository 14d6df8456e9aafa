#pragma once

#include <QString>
#include <QWidget>

class QLabel;
class QLayout;

namespace kestrio::gui {

// The parts of the usage screen's lists (its networks, its applications): a label in a theme
// role, and the bar of a row's share of the network's period.

// A plain-text label named `name`, in the theme's `role`, at `pixels` size.
QLabel* makeListLabel(QWidget* parent, const QString& name, const char* role, int pixels,
                      bool bold = false);

// Takes every row out of `rows`; each goes once the event being handled is over (it may be the
// row whose menu led here).
void clearListRows(QLayout* rows);

// A track on the block's background, filled from the left in the network's colour to the share
// (0 to 1).
class ShareBar : public QWidget {
 public:
  ShareBar(float share, const QString& name, QWidget* parent);

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  float share_;
  QWidget* fill_ = nullptr;
};

}  // namespace kestrio::gui
