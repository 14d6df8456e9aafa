#pragma once

#include <QWidget>

#include "engine/UsageVisualView.h"

namespace kestrio::gui {

// The usage bar of a network's screen: the period's usage filled in the colour of its band, a
// dashed marker at the ideal usage by now, and the usage text. It draws only what it is given:
// the band's letter was decided (and stored) by whoever computed the figures.
class UsageGaugeWidget : public QWidget {
 public:
  explicit UsageGaugeWidget(QWidget* parent = nullptr);

  void setGauge(const kestrio::UsageGauge& gauge);
  const kestrio::UsageGauge& gauge() const { return gauge_; }

  // The dark edge around the white usage text, so it reads on the green and yellow fills too.
  static QColor textOutlineColor();

  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  kestrio::UsageGauge gauge_;
};

}  // namespace kestrio::gui
